// Result blocks: every record a CMC call hands to its caller, with all the
// strings and arrays it points to, is carved out of one 64 KB reservation of
// its own, committed as it fills.  The caller releases it with one cmc_free of
// any address inside it.
//
// A block begins with an 8-byte header: word 0 the offset within the 64 KB at
// which the committed area ended when the block was made, word 1 the high 16
// bits of the data address, words 2 and 3 the signature 0x766B 0x6B76
// ("kvvk" in memory).  Data starts right after it, so the first allocation
// of a new block is base + 8.  Allocations lie end to end, unaligned, and
// read as zero until written; a record goes through PoolAllocRecord or
// PoolDupRecord, which alone see to alignment.
#ifndef VK_CMC_POOL_H
#define VK_CMC_POOL_H

#include <cstddef>
#include <cstdint>

#include "platform/memory.h"

namespace vk {

// The record a builder keeps while it fills a block; start it zeroed.
struct ResultPool {
  unsigned char* base;  // start of the 64 KB reservation
  uint32_t committed;   // committed bytes of the data area (header not counted)
  uint32_t free;        // bytes between next and the end of the committed area
  unsigned char* data;  // start of the data area, past the header
  unsigned char* next;  // next byte to hand out
};

constexpr uint32_t kPoolHeaderSize = 8;
// The most data one block can ever hold.
constexpr uint32_t kPoolMaxData = static_cast<uint32_t>(kReservationSize) - kPoolHeaderSize;
constexpr uint16_t kPoolSignature1 = 0x766B;
constexpr uint16_t kPoolSignature2 = 0x6B76;

// Makes a zeroed pool ready with `initial` bytes committed (the pool is ready
// when `next` is set).  Also completes a partly filled record (see the .cc).
// A new reservation that cannot be committed is released again, leaving the
// pool unusable (next null).
void PoolInit(ResultPool* pool, uint32_t initial);
// `n` fresh zero bytes, growing the commitment as needed; null for n = 0 or
// when the block cannot grow (the 64 KB limit).
void* PoolAlloc(ResultPool* pool, uint32_t n);
// A copy of `n` bytes of `src`; null as PoolAlloc.
void* PoolCopy(ResultPool* pool, const void* src, uint32_t n);
// As PoolAlloc and PoolCopy, at an address fit for every record the library
// hands out; the padding before it stays unused.
void* PoolAllocRecord(ResultPool* pool, uint32_t n);
void* PoolDupRecord(ResultPool* pool, const void* src, uint32_t n);
// A copy of `s` with its terminator; null for a null `s` or no room.
char* PoolDupString(ResultPool* pool, const char* s);
// For space the initial commitment already covers.  Should that not hold,
// it grows like PoolAlloc rather than running past the committed memory, and
// answers null when it cannot.
void* PoolTake(ResultPool* pool, uint32_t n);

// True when `p` lies inside a live result block (made by PoolInit and not yet
// released).
bool PoolIsLiveBlock(const void* p);
// Releases the live block holding `p`; false (nothing released) when `p` is
// in none.
bool PoolReleaseBlock(const void* p);
// The number of live blocks (for tests and diagnostics).
int PoolLiveBlockCount();

}  // namespace vk

#endif
