// The item counter that sizes the recipient and attachment arrays: none for
// an empty text, and never more items than commas plus one.
#include <algorithm>
#include <cstdlib>

#include "fuzz_input.h"
#include "read/header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = vkfuzz::Text(data, size);
  const uint32_t n = vk::CountListItems(text.c_str());
  if ((n == 0) != text.empty() || n > std::count(text.begin(), text.end(), ',') + 1u) std::abort();
  return 0;
}
