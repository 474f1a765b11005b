// Memory of the platform: movable global blocks (name lists, work buffers)
// and 64 KB address-space reservations committed page by page (result blocks).
#ifndef VKMSG_PLATFORM_MEMORY_H
#define VKMSG_PLATFORM_MEMORY_H

#include <cstddef>
#include <cstdint>

namespace vk {

constexpr unsigned kGmemMoveable = 0x0002;
constexpr unsigned kGmemZeroInit = 0x0040;
constexpr unsigned kGmemDdeShare = 0x2000;

using GlobalHandle = void*;
// A new block of `bytes` bytes (zero-filled with kGmemZeroInit); null on
// failure.
GlobalHandle PlatGlobalAlloc(unsigned flags, size_t bytes);
// The block's address while locked; null for a null handle.
void* PlatGlobalLock(GlobalHandle h);
// Undoes one lock; true for a valid handle (Win32: GlobalUnlock's FALSE
// with no error, the last lock undone, counts as true).
bool PlatGlobalUnlock(GlobalHandle h);
// Frees the block; null on success (the Win32 convention), the handle when
// freeing failed.
GlobalHandle PlatGlobalFree(GlobalHandle h);
// The block's size in bytes, 0 for an invalid handle.
size_t PlatGlobalSize(GlobalHandle h);

constexpr size_t kReservationSize = 65536;
constexpr size_t kPageSize = 4096;
// Reserves 64 KB of address space on a 64 KB boundary, nothing committed;
// null on failure.
void* PlatReserve();
// Commits the first `bytes` bytes (rounded up to whole pages) of a
// reservation for reading and writing; fails when they pass its end.  Newly
// committed memory reads as zero.
bool PlatCommit(void* base, size_t bytes);
// The number of committed bytes from the reservation's start (whole pages).
size_t PlatCommittedSize(void* base);
// Releases a whole reservation by its base.
bool PlatRelease(void* base);

// A zeroed work buffer of movable memory, locked while the object lives and
// freed when it goes.  `bytes` is null when the block could not be had.
class WorkBuffer {
 public:
  explicit WorkBuffer(size_t size) {
    handle_ = PlatGlobalAlloc(kGmemMoveable | kGmemZeroInit, size);
    if (handle_ != nullptr) bytes = static_cast<char*>(PlatGlobalLock(handle_));
  }
  ~WorkBuffer() {
    if (handle_ == nullptr) return;
    if (bytes != nullptr) PlatGlobalUnlock(handle_);
    PlatGlobalFree(handle_);
  }
  WorkBuffer(const WorkBuffer&) = delete;
  WorkBuffer& operator=(const WorkBuffer&) = delete;

  char* bytes = nullptr;

 private:
  GlobalHandle handle_ = nullptr;
};

}  // namespace vk

#endif
