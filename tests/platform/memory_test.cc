// Reservations; runs on both backends.  Global blocks the name-list tests use.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/memory.h"

namespace {

using namespace vk;

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
