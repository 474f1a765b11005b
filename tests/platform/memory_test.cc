// Global blocks and reservations; runs on both backends.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/memory.h"

namespace {

using namespace vk;

TEST(PlatMemory, GlobalBlocksAreZeroedAndLockToTheSameMemory) {
  GlobalHandle h = PlatGlobalAlloc(kGmemMoveable | kGmemZeroInit, 1000);
  ASSERT_NE(nullptr, h);
  EXPECT_GE(PlatGlobalSize(h), 1000u);
  unsigned char* p = static_cast<unsigned char*>(PlatGlobalLock(h));
  ASSERT_NE(nullptr, p);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(0, p[i]) << i;
  std::memset(p, 0x5a, 1000);
  EXPECT_EQ(p, PlatGlobalLock(h));
  PlatGlobalUnlock(h);
  PlatGlobalUnlock(h);
  EXPECT_EQ(nullptr, PlatGlobalFree(h));
  EXPECT_EQ(nullptr, PlatGlobalLock(nullptr));
  EXPECT_EQ(0u, PlatGlobalSize(nullptr));
}

TEST(PlatMemory, ReservationsAreAlignedAndGrowInZeroedPagesUpTo64K) {
  void* base = PlatReserve();
  ASSERT_NE(nullptr, base);
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(base) % kReservationSize);
  EXPECT_EQ(0u, PlatCommittedSize(base));
  unsigned char* p = static_cast<unsigned char*>(base);
  ASSERT_TRUE(PlatCommit(base, 1));
  EXPECT_EQ(kPageSize, PlatCommittedSize(base));
  std::memset(p, 0x11, kPageSize);
  // Growing keeps what is there; the new pages read as zero; shrinking
  // commits nothing away.
  ASSERT_TRUE(PlatCommit(base, 3 * kPageSize + 1));
  ASSERT_TRUE(PlatCommit(base, kPageSize));
  EXPECT_EQ(4 * kPageSize, PlatCommittedSize(base));
  EXPECT_EQ(0x11, p[kPageSize - 1]);
  EXPECT_EQ(0, p[4 * kPageSize - 1]);
  EXPECT_FALSE(PlatCommit(base, kReservationSize + 1));
  ASSERT_TRUE(PlatCommit(base, kReservationSize));
  p[kReservationSize - 1] = 1;
  void* other = PlatReserve();
  ASSERT_NE(nullptr, other);
  EXPECT_NE(base, other);
  EXPECT_TRUE(PlatRelease(other));
  EXPECT_TRUE(PlatRelease(base));
}

}  // namespace
