// Result blocks carved by bumping a pointer through a 64 KB reservation.
#include "cmc/pool.h"

#include <cstring>

#include "cmc/cmc_types.h"
#include "platform/memory.h"

namespace vk {

namespace {

// Bases of the reservations that are live result blocks.  cmc_free looks an
// address up here instead of trusting whatever lies at its 64 KB boundary, so
// a stale, foreign or twice-freed pointer is never dereferenced.
constexpr int kMaxLiveBlocks = 8192;
unsigned char* g_live_blocks[kMaxLiveBlocks];
int g_live_count = 0;

bool RegisterBlock(unsigned char* base) {
  if (g_live_count >= kMaxLiveBlocks) return false;
  g_live_blocks[g_live_count++] = base;
  return true;
}

int FindBlock(const void* p) {
  const uintptr_t a = reinterpret_cast<uintptr_t>(p);
  for (int i = 0; i < g_live_count; ++i) {
    const uintptr_t b = reinterpret_cast<uintptr_t>(g_live_blocks[i]);
    if (a >= b && a - b < kReservationSize) return i;
  }
  return -1;
}

// The strictest alignment among the records handed out.
constexpr uintptr_t kRecordAlign = [] {
  const uintptr_t each[] = {alignof(CMC_message),         alignof(CMC_recipient),         alignof(CMC_attachment),
                            alignof(CMC_message_summary), alignof(CMC_message_reference), alignof(CMC_extension)};
  uintptr_t most = 1;
  for (uintptr_t a : each) most = a > most ? a : most;
  return most;
}();

void PutWord(unsigned char* at, uint16_t v) {
  at[0] = static_cast<unsigned char>(v & 0xFF);
  at[1] = static_cast<unsigned char>(v >> 8);
}

uint16_t GetWord(const unsigned char* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

unsigned char* RoundDownToBlock(unsigned char* p) {
  return reinterpret_cast<unsigned char*>(reinterpret_cast<uintptr_t>(p) & ~(uintptr_t{kReservationSize} - 1));
}

bool HasSignature(const unsigned char* at) {
  return GetWord(at) == kPoolSignature1 && GetWord(at + 2) == kPoolSignature2;
}

// Skips to the next address fit for a record; false when the block is full.
bool AlignForRecord(ResultPool* pool) {
  const uint32_t pad =
      static_cast<uint32_t>((kRecordAlign - reinterpret_cast<uintptr_t>(pool->next) % kRecordAlign) % kRecordAlign);
  return pad == 0 || PoolAlloc(pool, pad) != nullptr;
}

// Commits more of the block so that at least `shortfall` more bytes are free;
// the new free count, 0 on failure.
uint32_t Grow(ResultPool* pool, uint32_t shortfall) {
  const uint32_t increase = shortfall < 128 ? 128 : (shortfall + 63) / 64 * 64;
  // The data area starts past the header, so the range to commit reaches from
  // the base over the header and the grown data area.
  const size_t header = static_cast<size_t>(pool->data - pool->base);
  const size_t want = header + static_cast<size_t>(pool->committed) + increase;
  if (want > kReservationSize) return 0;
  if (!PlatCommit(pool->base, want)) return 0;
  pool->free = 0;
  pool->committed = 0;
  pool->data = nullptr;
  PoolInit(pool, 0);
  if (pool->data + kPoolHeaderSize <= pool->base + kReservationSize && HasSignature(pool->data + 4)) {
    pool->data += kPoolHeaderSize;
    pool->committed -= kPoolHeaderSize;
  }
  return pool->free;
}

}  // namespace

void PoolInit(ResultPool* pool, uint32_t initial) {
  if (pool == nullptr) return;
  bool is_new = false;
  if (pool->base == nullptr && pool->data == nullptr) {
    if (initial == 0) return;
    if (initial > kPoolMaxData) initial = kPoolMaxData;
    unsigned char* base = static_cast<unsigned char*>(PlatReserve());
    if (base == nullptr) return;
    // A reservation the pool cannot use is handed back at once rather than
    // kept with nothing to release it later.
    if (!PlatCommit(base, static_cast<size_t>(initial) + kPoolHeaderSize) || !RegisterBlock(base)) {
      PlatRelease(base);
      return;
    }
    pool->base = base;
    is_new = true;
  }
  if (pool->base == nullptr) pool->base = RoundDownToBlock(pool->data);
  if (pool->data == nullptr) pool->data = pool->base;
  if (pool->committed == 0) {
    // Measured from the data area, so a record completed from its data
    // address (past the header) agrees with the one that filled the block.
    const size_t region = PlatCommittedSize(pool->base);
    const size_t skip = static_cast<size_t>(pool->data - pool->base);
    pool->committed = region > skip ? static_cast<uint32_t>(region - skip) : 0;
  }
  if (pool->next == nullptr) {
    if (pool->free != 0) {
      pool->next = pool->data + pool->committed - pool->free;
    } else {
      pool->next = pool->data;
      pool->free = pool->committed;
    }
  }
  if (pool->free == 0) pool->free = pool->committed - static_cast<uint32_t>(pool->next - pool->data);
  if (is_new) {
    unsigned char* header = pool->data;
    pool->data += kPoolHeaderSize;
    pool->next += kPoolHeaderSize;
    pool->committed -= kPoolHeaderSize;
    pool->free -= kPoolHeaderSize;
    const uintptr_t data = reinterpret_cast<uintptr_t>(pool->data);
    PutWord(header, static_cast<uint16_t>((pool->committed + data) & 0xFFFF));
    PutWord(header + 2, static_cast<uint16_t>((data >> 16) & 0xFFFF));
    PutWord(header + 4, kPoolSignature1);
    PutWord(header + 6, kPoolSignature2);
  }
}

void* PoolAlloc(ResultPool* pool, uint32_t n) {
  if (pool == nullptr || pool->next == nullptr || n == 0) return nullptr;
  if (n > pool->free) {
    if (Grow(pool, n - pool->free) == 0) return nullptr;
    if (n > pool->free) return nullptr;
  }
  void* result = pool->next;
  pool->free -= n;
  pool->next += n;
  return result;
}

void* PoolCopy(ResultPool* pool, const void* src, uint32_t n) {
  if (src == nullptr) return nullptr;
  void* p = PoolAlloc(pool, n);
  if (p != nullptr) std::memcpy(p, src, n);
  return p;
}

void* PoolAllocRecord(ResultPool* pool, uint32_t n) {
  if (pool == nullptr || pool->next == nullptr || n == 0 || !AlignForRecord(pool)) return nullptr;
  return PoolAlloc(pool, n);
}

void* PoolDupRecord(ResultPool* pool, const void* src, uint32_t n) {
  if (src == nullptr) return nullptr;
  void* p = PoolAllocRecord(pool, n);
  if (p != nullptr) std::memcpy(p, src, n);
  return p;
}

char* PoolDupString(ResultPool* pool, const char* s) {
  if (s == nullptr) return nullptr;
  const size_t len = std::strlen(s);
  if (len >= kPoolMaxData) return nullptr;
  return static_cast<char*>(PoolCopy(pool, s, static_cast<uint32_t>(len + 1)));
}

void* PoolTake(ResultPool* pool, uint32_t n) {
  if (pool == nullptr || pool->next == nullptr) return nullptr;
  if (n > pool->free) return PoolAlloc(pool, n);
  void* result = pool->next;
  pool->next += n;
  pool->free -= n;
  return result;
}

bool PoolIsLiveBlock(const void* p) { return p != nullptr && FindBlock(p) >= 0; }

bool PoolReleaseBlock(const void* p) {
  if (p == nullptr) return false;
  const int i = FindBlock(p);
  if (i < 0) return false;
  unsigned char* base = g_live_blocks[i];
  g_live_blocks[i] = g_live_blocks[--g_live_count];
  g_live_blocks[g_live_count] = nullptr;
  PlatRelease(base);
  return true;
}

int PoolLiveBlockCount() { return g_live_count; }

}  // namespace vk
