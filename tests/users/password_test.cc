// The password encoding.  The golden texts below were computed once, outside
// this code, from the frozen table and seed: every passwd file depends on
// them, so any change here is a change of the stored format.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "users/password.h"

namespace {

std::string Encode(const char* name, const char* password) {
  char out[68];
  std::memset(out, 0, sizeof out);
  vk::EncodePassword(name, password, out);
  return out;
}

TEST(PasswordEncoding, GoldenTextsOfTheFrozenTable) {
  EXPECT_EQ(Encode("admin", "zirva"), "0ABF8A6F35F18BFBD5D5A003");
  EXPECT_EQ(Encode("bob", "secret"), "1A1A2636885CDF89B1997FEF");
  EXPECT_EQ(Encode("ann", ""), "F1054A47F634721C");
  EXPECT_EQ(Encode("carl", "carl"), "62BF1BECFF13ECF242014F37");
  EXPECT_EQ(Encode("", ""), "020979ADBF37742E");
  EXPECT_EQ(Encode("x", "abcdefghijklmnopqrstuvwxyz0123456789"),
            "50ACE3D90135B04871A16EF5BD5E19258D3B48113D3BE2CD2FF570F4");
  EXPECT_EQ(Encode("abcdefghij", "abcdefghijklmnopqrstuvw"),
            "6DABEF00B4C7C05608E699FD1E0EB3BA05EDB85273340AD89CF82105D2CD9460");
  EXPECT_EQ(Encode("jos\xe9", "Caf\xc9"), "667B0D4218B3E04FE78140F7");
  EXPECT_EQ(Encode("uuuuuuuuuuuuuuuuuuuu", ""), "75C3FFA1BBCEF05EB430493C24DAC5E485FF1C944364BE67");
}

TEST(PasswordHash, NeverWritesPastTheDigestOrTheCapacity) {
  for (int length = 0; length <= 40; ++length) {
    std::vector<unsigned char> input(static_cast<size_t>(length), 'p');
    const int work = std::min(length, 33);
    const int digest = work <= 6 ? 8 : work >= 27 ? 32 : ((work + 1) | 3) + 1;
    for (int capacity = 0; capacity <= 34; ++capacity) {
      SCOPED_TRACE("length " + std::to_string(length) + ", capacity " + std::to_string(capacity));
      unsigned char out[40];
      std::memset(out, 0xAA, sizeof out);
      const int n = vk::PasswordHash(input.data(), length, out, capacity);
      EXPECT_LE(n, capacity);
      EXPECT_EQ(n % 4, 0);
      if (capacity >= digest) {
        EXPECT_EQ(n, digest);
      }
      for (int i = capacity >= digest ? n : capacity; i < 40; ++i) ASSERT_EQ(out[i], 0xAA) << i;
    }
  }
  unsigned char out[34];
  EXPECT_EQ(vk::PasswordHash(nullptr, 5, out, 34), 8);
  EXPECT_EQ(vk::PasswordHash(out, 5, nullptr, 34), 0);
}

TEST(PasswordEncoding, CaseAndCutsMakeEqualTexts) {
  EXPECT_EQ(Encode("bob", "Secret"), Encode("BOB", "sECRET"));
  // Only the first 23 characters of the password count, and only the
  // concatenation, cut at 33.
  EXPECT_EQ(Encode("bob", "abcdefghijklmnopqrstuvwXYZ"), Encode("bob", "abcdefghijklmnopqrstuvw123"));
  EXPECT_EQ(Encode("cret", "se"), Encode("t", "secre"));
  EXPECT_EQ(Encode(std::string(40, 'n').c_str(), "pw"), Encode((std::string(31, 'n') + "zzz").c_str(), "pw"));
  EXPECT_NE(Encode("x", "\xc9"), Encode("x", "\xe9"));  // only ASCII letters fold
}

}  // namespace
