// Result blocks: growth, the 64 KB limit, and what cmc_free releases and
// refuses.
#include "cmc/pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "cmc/module.h"
#include "cmc/session.h"
#include "vkmsg/cmc.h"

namespace {

// A pool that is always released, whatever the test does.
struct Pool {
  explicit Pool(uint32_t initial) { vk::PoolInit(&p, initial); }
  ~Pool() {
    if (p.base != nullptr && vk::PoolIsLiveBlock(p.base)) vk::PoolReleaseBlock(p.base);
  }
  unsigned char* Alloc(uint32_t n) { return static_cast<unsigned char*>(vk::PoolAlloc(&p, n)); }
  vk::ResultPool p{};
};

TEST(Pool, BlockHoldsAtMost65528Bytes) {
  Pool pool(1024);
  uint32_t total = 0;
  for (; total + 1000 <= vk::kPoolMaxData; total += 1000) ASSERT_NE(pool.Alloc(1000), nullptr) << total;
  EXPECT_EQ(pool.Alloc(1000), nullptr);
  const uint32_t rest = vk::kPoolMaxData - total;
  unsigned char* last = pool.Alloc(rest);
  ASSERT_NE(last, nullptr);
  std::memset(last, 0xEE, rest);  // committed to the block's last byte
  EXPECT_EQ(last + rest, pool.p.base + 65536);
  EXPECT_EQ(pool.Alloc(1), nullptr);
  EXPECT_EQ(vk::PoolDupString(&pool.p, "x"), nullptr);
  // An oversized initial commitment is capped at the block.
  Pool capped(65535);
  ASSERT_NE(capped.p.next, nullptr);
  EXPECT_NE(capped.Alloc(vk::kPoolMaxData), nullptr);
  EXPECT_EQ(capped.Alloc(1), nullptr);
}

TEST(Pool, TakeNeverRunsPastTheCommitment) {
  Pool pool(64);
  EXPECT_EQ(vk::PoolTake(&pool.p, 44), pool.p.data);
  // More than is committed: the block grows instead of handing out memory
  // that is not there.
  unsigned char* b = static_cast<unsigned char*>(vk::PoolTake(&pool.p, 6000));
  ASSERT_NE(b, nullptr);
  std::memset(b, 3, 6000);
  EXPECT_EQ(vk::PoolTake(&pool.p, 65536), nullptr);
}

TEST(CmcFree, ReleasesTheWholeResultOnceFromAnyAddressInside) {
  vk::ModuleAttach(nullptr);
  const int before = vk::PoolLiveBlockCount();
  vk::ResultPool pool{};
  vk::PoolInit(&pool, 256);
  void* record = vk::PoolAlloc(&pool, 44);
  char* one = vk::PoolDupString(&pool, "one");
  char* last = vk::PoolDupString(&pool, "three");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(cmc_free(last), CMC_SUCCESS);
  EXPECT_EQ(vk::PoolLiveBlockCount(), before);
  EXPECT_FALSE(vk::PoolIsLiveBlock(record));
  // The released memory is gone; a second free of any of it must not touch it.
  EXPECT_EQ(cmc_free(record), CMC_E_INVALID_MEMORY);
  EXPECT_EQ(cmc_free(one), CMC_E_INVALID_MEMORY);
  EXPECT_EQ(vk::PoolLiveBlockCount(), before);
}

TEST(CmcFree, ForeignAddressesAndTheSessionPoolAreRefusedAndLeftAlone) {
  vk::ModuleAttach(nullptr);
  EXPECT_EQ(cmc_free(nullptr), CMC_SUCCESS);
  // Well-formed looking garbage: a 64 KB aligned foreign buffer carrying the
  // block signature is still not a result of this library, and not a byte
  // of it may change.
  std::unique_ptr<unsigned char[]> big(new unsigned char[3 * 65536]);
  unsigned char* aligned = reinterpret_cast<unsigned char*>((reinterpret_cast<uintptr_t>(big.get()) + 0xFFFF) &
                                                            ~static_cast<uintptr_t>(0xFFFF));
  for (size_t i = 0; i < 65536; ++i) aligned[i] = static_cast<unsigned char>(i * 7);
  std::memcpy(aligned, "\xF8\x0F\x00\x00kvvk", 8);
  const std::vector<unsigned char> before(aligned, aligned + 65536);
  EXPECT_EQ(cmc_free(aligned + 8), CMC_E_INVALID_MEMORY);
  EXPECT_EQ(cmc_free(big.get()), CMC_E_INVALID_MEMORY);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), aligned));
  vk::ResultPool& session_pool = vk::Session().pool;
  ASSERT_NE(session_pool.base, nullptr);
  EXPECT_EQ(cmc_free(session_pool.data), CMC_E_INVALID_MEMORY);
  EXPECT_TRUE(vk::PoolIsLiveBlock(session_pool.data));
}

}  // namespace
