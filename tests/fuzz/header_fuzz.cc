// The header reader over an arbitrary file: every field, the values the
// listing and the read take further (dates, item counts, attachment lists),
// and the field replacement that delivery makes.
#include "fuzz_input.h"
#include "read/header.h"
#include "store/fileprim.h"
#include "store/namelist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = vkfuzz::AsFile(data, size);
  for (uint32_t value_size : {2u, 512u, 1024u}) {
    vk::BufferedFile* reader = vk::OpenPathBuffered(path, vk::kModeReadShared, vk::kBufferedCapacity);
    if (reader == nullptr) return 0;
    char value[1024];
    for (int id = vk::kFieldUnknown; id != vk::kFieldEnd;) {
      if (vk::ReadHeaderField(reader, &id, value, value_size) != CMC_SUCCESS) break;
      CMC_time t;
      vk::ParseDatePosted(value, &t);
      vk::CountListItems(value);
    }
    vk::CloseBuffered(reader);
  }
  vk::FileHandle h = vk::OpenFileMode(path, vk::kModeCreateReadWrite);
  if (h == vk::kNoFile) return 0;
  vk::FreeNameList(vk::GetHeaderFieldList(h, "Attachment", ", \r\n"));
  vk::ReplaceHeaderField(h, "Attachment", "Attachment: KWZ0001\r\n");
  vk::CloseFile(h);
  return 0;
}
