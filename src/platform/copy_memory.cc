#include "platform/copy_memory.h"

#include "platform/memory.h"

namespace vk {

namespace {

// Large chunks: a share answers every request with a round trip.
constexpr unsigned long kCopyBuffer = 1ul << 20;

}  // namespace

int64_t CopyThroughMemory(FileHandle src, FileHandle dst, CopyFailure* failed, void (*set_error)(PlatError)) {
  unsigned long size = kCopyBuffer;
  GlobalHandle block = nullptr;
  while ((block = PlatGlobalAlloc(kGmemMoveable, size)) == nullptr && size > 4096) size /= 2;
  char* buffer = block != nullptr ? static_cast<char*>(PlatGlobalLock(block)) : nullptr;
  if (buffer == nullptr) {
    if (block != nullptr) PlatGlobalFree(block);
    *failed = CopyFailure::kMemory;
    set_error(PlatError::kOther);
    return -1;
  }
  int64_t total = 0;
  for (;;) {
    const long got = PlatRead(src, buffer, size);
    if (got == 0) break;
    if (got < 0) {
      *failed = CopyFailure::kRead;
      total = -1;
      break;
    }
    if (PlatWrite(dst, buffer, static_cast<unsigned long>(got)) != got) {
      *failed = CopyFailure::kWrite;
      total = -1;
      break;
    }
    total += got;
  }
  PlatGlobalUnlock(block);
  PlatGlobalFree(block);
  return total;
}

}  // namespace vk
