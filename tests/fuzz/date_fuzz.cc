// The "Date-posted" parser over any text.
#include "fuzz_input.h"
#include "read/header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CMC_time t;
  vk::ParseDatePosted(vkfuzz::Text(data, size).c_str(), &t);
  return 0;
}
