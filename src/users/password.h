// The password encoding of the user registry.  No plain password is stored:
// the passwd file holds, per user, upper-case hexadecimal text computed from
// the password and the user name together, and checking a password means
// computing the same text again and comparing exactly.
//
// The text depends on PasswordHashTable and PasswordHashSeed.  Every passwd
// file ever written holds texts made with them, and a workstation can check
// only texts made with the very same values, so they are frozen: changing a
// single bit locks every existing user out of every existing mail tree.  Both
// backends use the same values, so a passwd file written on a Windows
// workstation is checked on a Linux one.
#ifndef VKMSG_USERS_PASSWORD_H
#define VKMSG_USERS_PASSWORD_H

#include <cstddef>
#include <cstdint>

namespace vk {

extern const uint32_t PasswordHashTable[256];
extern const uint32_t PasswordHashSeed;

// The most input bytes PasswordHash takes, and the room its callers give it.
constexpr int kPasswordHashMaxInput = 33;
constexpr int kPasswordDigestSize = 34;
// Encoded text: at most 64 digits and the terminator.
constexpr int kEncodedPasswordMin = 65;

// The hexadecimal digit ("0"-"9", "A"-"F") of the high nibble of `byte` when
// `high` is non-zero, else of the low nibble.
char HexDigit(unsigned char byte, int high);

// Hashes `length` bytes of `input` (at most 33 are taken) into `out`, which
// has room for `capacity` bytes; returns the number of digest bytes written
// (8 to 32, a multiple of four; fewer only when the capacity is smaller).
// The output is not terminated.
int PasswordHash(const unsigned char* input, int length, unsigned char* out, int capacity);

// Writes the encoded text of the pair into `out` (at least 65 characters):
// the password's first 23 characters followed by the name, cut to 33
// characters and lower-cased, hashed and written as hexadecimal.  A null
// name adds nothing; with a null password or a null output nothing is
// written.
void EncodePassword(const char* name, const char* password, char* out);

}  // namespace vk

#endif
