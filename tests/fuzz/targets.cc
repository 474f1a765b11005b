// libFuzzer targets, one per executable (VKMSG_FUZZ_TARGET): header reader,
// date parser, list-item counter, profile parser, name-list splitting.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/profile.h"
#include "read/header.h"
#include "store/fileprim.h"
#include "store/namelist.h"

namespace {

// The input in one scratch file of this process, removed at exit.
const char* AsFile(const uint8_t* data, size_t size) {
  static const struct Scratch {
    std::string path = "/tmp/vkmsg-fuzz-" + std::to_string(getpid());
    ~Scratch() { std::remove(path.c_str()); }
  } scratch;
  std::FILE* f = std::fopen(scratch.path.c_str(), "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
  return scratch.path.c_str();
}

void Header(const char* path) {
  for (uint32_t value_size : {2u, 512u, 1024u}) {
    vk::BufferedFile* reader = vk::OpenPathBuffered(path, vk::kModeReadShared, vk::kBufferedCapacity);
    if (reader == nullptr) return;
    char value[1024];
    CMC_time t;
    for (int id = vk::kFieldUnknown; id != vk::kFieldEnd && vk::ReadHeaderField(reader, &id, value, value_size) == 0;)
      vk::ParseDatePosted(value, &t);
    vk::CloseBuffered(reader);
  }
  const vk::FileHandle h = vk::OpenFileMode(path, vk::kModeCreateReadWrite);
  vk::FreeNameList(vk::GetHeaderFieldList(h, "Attachment", ", \r\n"));
  vk::ReplaceHeaderField(h, "Attachment", "Attachment: KWZ0001\r\n");
  vk::CloseFile(h);
}

void Profile(const char* file) {
  static char sections[4096], keys[4096], value[8];
  vk::PlatGetProfileString(file, nullptr, nullptr, "", sections, sizeof sections);
  for (const char* s = sections; *s; s += std::strlen(s) + 1) {
    vk::PlatGetProfileString(file, s, nullptr, "", keys, sizeof keys);
    for (const char* k = keys; *k; k += std::strlen(k) + 1) vk::PlatGetProfileString(file, s, k, "", value, 8);
  }
  vk::PlatWriteProfileString(file, "Server", "admin", "x");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = std::string(reinterpret_cast<const char*>(data), size).c_str();
  CMC_time t;
  const int target = VKMSG_FUZZ_TARGET;
  if (target == 0) Header(AsFile(data, size));
  if (target == 1) vk::ParseDatePosted(text.c_str(), &t);
  // The counter sizes the record arrays: none for nothing, never more than commas + 1.
  const uint32_t n = target == 2 ? vk::CountListItems(text.c_str()) : 0;
  if (target == 2 && ((n == 0) != text.empty() || n > std::count(text.begin(), text.end(), ',') + 1u)) std::abort();
  if (target == 3) Profile(AsFile(data, size));
  static const char* const kDelimiters[] = {",", ", \r\n", ";", " \t"};  // the first byte picks them
  for (unsigned mode = 0; target == 4 && size > 0 && mode < 4; ++mode) {
    std::string items = text.empty() ? text : text.substr(1);
    vk::FreeNameList(vk::SplitToNameList(&items[0], kDelimiters[data[0] % 4], mode));
  }
  return 0;
}
