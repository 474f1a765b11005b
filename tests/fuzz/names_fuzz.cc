// Splitting a text into a name list, in every mode, with the first byte
// choosing the delimiters.
#include "fuzz_input.h"
#include "store/namelist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const kDelimiters[] = {",", ", \r\n", ";", " \t"};
  for (unsigned mode = 0; mode < 4; ++mode) {
    std::string text = vkfuzz::Text(data + 1, size - 1);
    vk::FreeNameList(vk::SplitToNameList(&text[0], kDelimiters[data[0] % 4], mode));
  }
  return 0;
}
