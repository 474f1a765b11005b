// The profile parser over an arbitrary file: every section and key read
// back, then one key written into it.
#include <cstring>

#include "fuzz_input.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* file = vkfuzz::AsFile(data, size);
  static char sections[4096], keys[4096], value[256];
  vk::PlatGetProfileString(file, nullptr, nullptr, "", sections, sizeof sections);
  for (const char* s = sections; *s; s += std::strlen(s) + 1) {
    vk::PlatGetProfileString(file, s, nullptr, "", keys, sizeof keys);
    for (const char* k = keys; *k; k += std::strlen(k) + 1) vk::PlatGetProfileString(file, s, k, "", value, 8);
  }
  vk::PlatWriteProfileString(file, "Server", "admin", "x");
  return 0;
}
