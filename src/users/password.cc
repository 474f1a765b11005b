#include "users/password.h"

namespace vk {

const uint32_t PasswordHashTable[256] = {};
const uint32_t PasswordHashSeed = 0;

char HexDigit(unsigned char byte, int high) {
  unsigned nibble = high ? (byte >> 4) : (byte & 0x0Fu);
  return static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + (nibble - 10));
}

int PasswordHash(const unsigned char*, int, unsigned char*, int) { return 0; }

void EncodePassword(const char*, const char*, char*) {}

}  // namespace vk
