// Result blocks: layout of a new block, growth, the 64 KB limit, and what
// cmc_free releases and refuses.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "cmc/module.h"
#include "cmc/pool.h"
#include "cmc/session.h"
#include "platform/memory.h"
#include "vkmsg/cmc.h"

namespace {

uint16_t Word(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool AllZero(const void* p, size_t n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i] != 0) return false;
  return true;
}

// A pool that is always released, whatever the test does.
struct Pool {
  vk::ResultPool p{};
  ~Pool() {
    if (p.base != nullptr && vk::PoolIsLiveBlock(p.base)) vk::PoolReleaseBlock(p.base);
  }
};

TEST(PoolInit, NewBlockLayout) {
  Pool pool;
  vk::PoolInit(&pool.p, 1024);
  ASSERT_NE(pool.p.base, nullptr);
  const uintptr_t base = reinterpret_cast<uintptr_t>(pool.p.base);
  EXPECT_EQ(base & 0xFFFF, 0u);
  EXPECT_EQ(pool.p.data, pool.p.base + 8);
  EXPECT_EQ(pool.p.next, pool.p.data);
  EXPECT_EQ(pool.p.committed, 4088u);
  EXPECT_EQ(pool.p.free, 4088u);
  EXPECT_EQ(Word(pool.p.base), 4096u);
  EXPECT_EQ(Word(pool.p.base + 2), static_cast<uint16_t>((base >> 16) & 0xFFFF));
  EXPECT_EQ(0, std::memcmp(pool.p.base + 4, "kvvk", 4));
  EXPECT_TRUE(vk::PoolIsLiveBlock(pool.p.base + 100));
}

TEST(PoolInit, NullPoolAndZeroCommitmentDoNothing) {
  vk::PoolInit(nullptr, 1024);
  Pool pool;
  const int before = vk::PoolLiveBlockCount();
  vk::PoolInit(&pool.p, 0);
  EXPECT_EQ(pool.p.base, nullptr);
  EXPECT_EQ(pool.p.next, nullptr);
  EXPECT_EQ(vk::PoolLiveBlockCount(), before);
  EXPECT_EQ(vk::PoolAlloc(&pool.p, 4), nullptr);
  EXPECT_EQ(vk::PoolTake(&pool.p, 4), nullptr);
}

TEST(PoolAlloc, FirstAllocationIsBasePlusEightAndZero) {
  Pool pool;
  vk::PoolInit(&pool.p, 100);
  unsigned char* a = static_cast<unsigned char*>(vk::PoolAlloc(&pool.p, 40));
  EXPECT_EQ(a, pool.p.base + 8);
  EXPECT_TRUE(AllZero(a, 40));
  unsigned char* b = static_cast<unsigned char*>(vk::PoolAlloc(&pool.p, 3));
  EXPECT_EQ(b, a + 40);  // end to end, no alignment
  EXPECT_EQ(pool.p.free, 4088u - 43u);
}

TEST(PoolAlloc, ZeroBytesGivesNullAndChangesNothing) {
  Pool pool;
  vk::PoolInit(&pool.p, 100);
  const vk::ResultPool before = pool.p;
  EXPECT_EQ(vk::PoolAlloc(&pool.p, 0), nullptr);
  EXPECT_EQ(0, std::memcmp(&before, &pool.p, sizeof before));
}

TEST(PoolAlloc, SmallShortfallGrowsByAPage) {
  Pool pool;
  vk::PoolInit(&pool.p, 1024);
  ASSERT_NE(vk::PoolAlloc(&pool.p, 4088 - 4), nullptr);
  ASSERT_EQ(pool.p.free, 4u);
  unsigned char* p = static_cast<unsigned char*>(vk::PoolAlloc(&pool.p, 10));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p, pool.p.base + 4088 + 4);
  EXPECT_EQ(pool.p.committed, 8192u - 8u);
  EXPECT_EQ(pool.p.free, 8192u - 8u - 4088u - 6u);
  EXPECT_TRUE(AllZero(p, 10));
  std::memset(p, 0xAB, 10);  // committed for writing
}

TEST(PoolAlloc, GrowthWithNothingFree) {
  Pool pool;
  vk::PoolInit(&pool.p, 1024);
  ASSERT_NE(vk::PoolAlloc(&pool.p, 4088), nullptr);
  ASSERT_EQ(pool.p.free, 0u);
  unsigned char* p = static_cast<unsigned char*>(vk::PoolAlloc(&pool.p, 200));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(pool.p.committed, 8184u);
  EXPECT_EQ(pool.p.free, 8184u - 4088u - 200u);
  std::memset(p, 1, 200);
}

TEST(PoolAlloc, LargeRequestCommitsEnoughForAllOfIt) {
  Pool pool;
  vk::PoolInit(&pool.p, 16);
  // 12280 bytes of data need the header's 8 too: a commitment measured
  // from the base without them would fall 8 bytes short.
  unsigned char* p = static_cast<unsigned char*>(vk::PoolAlloc(&pool.p, 12282));
  ASSERT_NE(p, nullptr);
  std::memset(p, 0x5A, 12282);
  EXPECT_GE(pool.p.committed, 12282u);
}

TEST(PoolAlloc, BlockHoldsAtMost65528Bytes) {
  Pool pool;
  vk::PoolInit(&pool.p, 1024);
  std::vector<unsigned char*> pieces;
  uint32_t total = 0;
  while (total + 1000 <= vk::kPoolMaxData) {
    unsigned char* p = static_cast<unsigned char*>(vk::PoolAlloc(&pool.p, 1000));
    ASSERT_NE(p, nullptr) << total;
    std::memset(p, static_cast<int>(pieces.size() & 0x7F) + 1, 1000);
    pieces.push_back(p);
    total += 1000;
  }
  EXPECT_EQ(vk::PoolAlloc(&pool.p, 1000), nullptr);
  const uint32_t rest = vk::kPoolMaxData - total;
  unsigned char* last = static_cast<unsigned char*>(vk::PoolAlloc(&pool.p, rest));
  ASSERT_NE(last, nullptr);
  std::memset(last, 0xEE, rest);
  EXPECT_EQ(last + rest, pool.p.base + 65536);
  EXPECT_EQ(vk::PoolAlloc(&pool.p, 1), nullptr);
  EXPECT_EQ(vk::PoolDupString(&pool.p, "x"), nullptr);
  for (size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(pieces[i][0], static_cast<unsigned char>((i & 0x7F) + 1));
    EXPECT_EQ(pieces[i][999], static_cast<unsigned char>((i & 0x7F) + 1));
  }
}

TEST(PoolAlloc, OversizedInitialCommitmentIsCappedAtTheBlock) {
  Pool pool;
  vk::PoolInit(&pool.p, 65535);
  ASSERT_NE(pool.p.next, nullptr);
  EXPECT_EQ(pool.p.committed, vk::kPoolMaxData);
  EXPECT_NE(vk::PoolAlloc(&pool.p, vk::kPoolMaxData), nullptr);
  EXPECT_EQ(vk::PoolAlloc(&pool.p, 1), nullptr);
}

TEST(PoolStrings, DupAndCopy) {
  Pool pool;
  vk::PoolInit(&pool.p, 64);
  EXPECT_EQ(vk::PoolDupString(&pool.p, nullptr), nullptr);
  char* s = vk::PoolDupString(&pool.p, "hello");
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s, "hello");
  char* e = vk::PoolDupString(&pool.p, "");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e, s + 6);
  EXPECT_STREQ(e, "");
  const unsigned char bytes[3] = {1, 0, 2};
  unsigned char* c = static_cast<unsigned char*>(vk::PoolCopy(&pool.p, bytes, 3));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(0, std::memcmp(c, bytes, 3));
}

TEST(PoolTake, TakesWithinTheCommitmentAndNeverRunsPastIt) {
  Pool pool;
  vk::PoolInit(&pool.p, 64);
  unsigned char* a = static_cast<unsigned char*>(vk::PoolTake(&pool.p, 44));
  EXPECT_EQ(a, pool.p.base + 8);
  EXPECT_EQ(pool.p.free, 4088u - 44u);
  // More than is committed: the block grows instead of handing out memory
  // that is not there.
  unsigned char* b = static_cast<unsigned char*>(vk::PoolTake(&pool.p, 6000));
  ASSERT_NE(b, nullptr);
  std::memset(b, 3, 6000);
  EXPECT_EQ(vk::PoolTake(&pool.p, 65536), nullptr);
}

TEST(PoolInit, CompletesARecordFromItsDataAddress) {
  Pool pool;
  vk::PoolInit(&pool.p, 1024);
  ASSERT_NE(vk::PoolAlloc(&pool.p, 100), nullptr);
  vk::ResultPool again{};
  again.data = pool.p.data;
  again.free = pool.p.free;
  vk::PoolInit(&again, 0);
  EXPECT_EQ(again.base, pool.p.base);
  EXPECT_EQ(again.committed, pool.p.committed);
  EXPECT_EQ(again.next, pool.p.next);
  EXPECT_EQ(again.free, pool.p.free);
}

// cmc_free ------------------------------------------------------------------

class CmcFree : public ::testing::Test {
 protected:
  void SetUp() override { vk::ModuleAttach(nullptr); }
};

TEST_F(CmcFree, NullIsSuccess) { EXPECT_EQ(cmc_free(nullptr), CMC_SUCCESS); }

TEST_F(CmcFree, ReleasesTheWholeResultFromAnyAddressInside) {
  const int before = vk::PoolLiveBlockCount();
  vk::ResultPool pool{};
  vk::PoolInit(&pool, 256);
  void* record = vk::PoolAlloc(&pool, 44);
  vk::PoolDupString(&pool, "one");
  vk::PoolDupString(&pool, "two");
  char* third = vk::PoolDupString(&pool, "three");
  ASSERT_NE(record, nullptr);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(vk::PoolLiveBlockCount(), before + 1);
  EXPECT_EQ(cmc_free(third), CMC_SUCCESS);
  EXPECT_EQ(vk::PoolLiveBlockCount(), before);
  EXPECT_FALSE(vk::PoolIsLiveBlock(record));
}

TEST_F(CmcFree, SecondFreeAndStaleInteriorAddressesAreRefused) {
  vk::ResultPool pool{};
  vk::PoolInit(&pool, 256);
  void* record = vk::PoolAlloc(&pool, 44);
  char* s = vk::PoolDupString(&pool, "text");
  ASSERT_EQ(cmc_free(record), CMC_SUCCESS);
  const int count = vk::PoolLiveBlockCount();
  // The released memory is gone; these must not touch it.
  EXPECT_EQ(cmc_free(record), CMC_E_INVALID_MEMORY);
  EXPECT_EQ(cmc_free(s), CMC_E_INVALID_MEMORY);
  EXPECT_EQ(vk::PoolLiveBlockCount(), count);
}

TEST_F(CmcFree, ForeignAddressesAreRefusedAndLeftAlone) {
  int on_stack = 5;
  EXPECT_EQ(cmc_free(&on_stack), CMC_E_INVALID_MEMORY);
  EXPECT_EQ(on_stack, 5);
  std::unique_ptr<char[]> heap(new char[64]);
  EXPECT_EQ(cmc_free(heap.get()), CMC_E_INVALID_MEMORY);
  // Well-formed looking garbage: a 64 KB aligned foreign buffer carrying the
  // block signature is still not a result of this library.
  std::unique_ptr<unsigned char[]> big(new unsigned char[3 * 65536]);
  unsigned char* aligned = reinterpret_cast<unsigned char*>(
      (reinterpret_cast<uintptr_t>(big.get()) + 0xFFFF) & ~static_cast<uintptr_t>(0xFFFF));
  std::memcpy(aligned + 4, "kvvk", 4);
  EXPECT_EQ(cmc_free(aligned + 8), CMC_E_INVALID_MEMORY);
  aligned[100] = 1;  // still ours
  EXPECT_EQ(0, std::memcmp(aligned + 4, "kvvk", 4));
}

TEST_F(CmcFree, SessionPoolIsNeverReleased) {
  vk::ResultPool& session_pool = vk::Session().pool;
  ASSERT_NE(session_pool.base, nullptr);
  EXPECT_EQ(cmc_free(session_pool.data), CMC_E_INVALID_MEMORY);
  EXPECT_TRUE(vk::PoolIsLiveBlock(session_pool.data));
}

TEST_F(CmcFree, ManyResultsComeAndGo) {
  const int before = vk::PoolLiveBlockCount();
  for (int round = 0; round < 2; ++round) {
    std::vector<void*> results;
    for (int i = 0; i < 200; ++i) {
      vk::ResultPool pool{};
      vk::PoolInit(&pool, 40);
      void* p = vk::PoolAlloc(&pool, 40);
      ASSERT_NE(p, nullptr);
      results.push_back(p);
    }
    EXPECT_EQ(vk::PoolLiveBlockCount(), before + 200);
    // Freed out of order, as a host may.
    for (size_t i = 0; i < results.size(); i += 2) EXPECT_EQ(cmc_free(results[i]), CMC_SUCCESS);
    for (size_t i = 1; i < results.size(); i += 2) EXPECT_EQ(cmc_free(results[i]), CMC_SUCCESS);
    EXPECT_EQ(vk::PoolLiveBlockCount(), before);
  }
}

}  // namespace
