// What every fuzz target shares: the input as a zero-terminated text, or
// as the contents of a scratch file the library can open.
#ifndef VKMSG_TESTS_FUZZ_FUZZ_INPUT_H
#define VKMSG_TESTS_FUZZ_FUZZ_INPUT_H

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vkfuzz {

inline std::string Text(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size).c_str();
}

// The input written to one scratch file of this process (removed at exit);
// its path.
inline const char* AsFile(const uint8_t* data, size_t size) {
  static const struct Scratch {
    std::string path = "/tmp/vkmsg-fuzz-" + std::to_string(getpid());
    ~Scratch() { std::remove(path.c_str()); }
  } scratch;
  const std::string& path = scratch.path;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return nullptr;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return path.c_str();
}

}  // namespace vkfuzz

#endif
