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

// The hash written out step by step, independently of the library's loops.
std::vector<unsigned char> ReferenceHash(const std::vector<unsigned char>& input) {
  size_t length = std::min<size_t>(input.size(), 33);
  std::vector<unsigned char> work(34, 0);
  std::copy(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(length), work.begin());
  size_t n = std::max<size_t>(((length + 1) | 3) + 1, 8);
  n = std::min<size_t>(n, 32);
  std::vector<unsigned char> out(n, 0);
  uint32_t acc = vk::PasswordHashSeed;
  uint32_t prev = 0;
  for (size_t round = 1; round < n; ++round) {
    for (size_t i = 0; i < n; ++i) {
      acc = vk::PasswordHashTable[work[i]] * acc + vk::PasswordHashTable[prev];
      out[i] = static_cast<unsigned char>((acc >> 3) & 0xFF);
      prev = out[i];
    }
    std::vector<unsigned char> mixed(n);
    for (size_t k = 0; k < n; k += 4) {
      mixed[k] = static_cast<unsigned char>((out[k + 2] & 0xF0) | (out[k] >> 4));
      mixed[k + 1] = static_cast<unsigned char>((out[k + 2] << 4) | (out[k] & 0x0F));
      mixed[k + 2] = static_cast<unsigned char>((out[k + 3] & 0xF0) | (out[k + 1] >> 4));
      mixed[k + 3] = static_cast<unsigned char>((out[k + 3] << 4) | (out[k + 1] & 0x0F));
    }
    std::rotate(mixed.begin(), mixed.begin() + 1, mixed.end());
    out = mixed;
    std::copy(out.begin(), out.end(), work.begin());
  }
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

TEST(PasswordEncoding, TableAndSeedAreTheFrozenValues) {
  EXPECT_EQ(vk::PasswordHashSeed, 0x2CCEA280u);
  EXPECT_EQ(vk::PasswordHashTable[0], 0xB50AC0D3u);
  EXPECT_EQ(vk::PasswordHashTable[128], 0xB36DF993u);
  EXPECT_EQ(vk::PasswordHashTable[255], 0x39FC5F01u);
  uint32_t sum = 0;
  for (uint32_t word : vk::PasswordHashTable) {
    EXPECT_EQ(word & 1u, 1u);
    sum = sum * 31u + word;
  }
  EXPECT_EQ(sum, 0x1A3DD982u);
}

TEST(PasswordHash, MatchesTheStepByStepReferenceForEveryLength) {
  for (size_t length = 0; length <= 40; ++length) {
    std::vector<unsigned char> input(length);
    for (size_t i = 0; i < length; ++i) input[i] = static_cast<unsigned char>(i * 37 + 200);
    unsigned char out[34];
    std::memset(out, 0xAA, sizeof out);
    int n = vk::PasswordHash(input.data(), static_cast<int>(length), out, 34);
    std::vector<unsigned char> expected = ReferenceHash(input);
    ASSERT_EQ(static_cast<size_t>(n), expected.size()) << "length " << length;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out)) << "length " << length;
    for (int i = n; i < 34; ++i) EXPECT_EQ(out[i], 0xAA) << "written past the digest, length " << length;
  }
}

TEST(PasswordHash, OnlyTheFirst32BytesTakePart) {
  unsigned char a[33], b[33];
  std::memset(a, 'k', sizeof a);
  std::memcpy(b, a, sizeof b);
  b[32] = 'z';
  unsigned char da[34], db[34];
  ASSERT_EQ(vk::PasswordHash(a, 33, da, 34), 32);
  ASSERT_EQ(vk::PasswordHash(b, 33, db, 34), 32);
  EXPECT_EQ(0, std::memcmp(da, db, 32));
  // The 32nd byte does take part.
  b[31] = 'z';
  vk::PasswordHash(b, 33, db, 34);
  EXPECT_NE(0, std::memcmp(da, db, 32));
}

TEST(PasswordHash, SmallCapacityNeverOverruns) {
  unsigned char input[20];
  std::memset(input, 'p', sizeof input);
  for (int capacity = 0; capacity <= 34; ++capacity) {
    unsigned char out[40];
    std::memset(out, 0xAA, sizeof out);
    int n = vk::PasswordHash(input, 20, out, capacity);
    EXPECT_LE(n, capacity);
    EXPECT_EQ(n % 4, 0);
    for (int i = capacity; i < 40; ++i) ASSERT_EQ(out[i], 0xAA) << "capacity " << capacity;
  }
  unsigned char out[34];
  EXPECT_EQ(vk::PasswordHash(nullptr, 5, out, 34), 8);
  EXPECT_EQ(vk::PasswordHash(input, 5, nullptr, 34), 0);
}

TEST(PasswordEncoding, CaseAndCutsMakeEqualTexts) {
  EXPECT_EQ(Encode("bob", "Secret"), Encode("BOB", "sECRET"));
  // Only the first 23 characters of the password count.
  EXPECT_EQ(Encode("bob", "abcdefghijklmnopqrstuvwXYZ"), Encode("bob", "abcdefghijklmnopqrstuvw123"));
  EXPECT_NE(Encode("bob", "abcdefghijklmnopqrstuv1"), Encode("bob", "abcdefghijklmnopqrstuv2"));
  // Only the concatenation counts.
  EXPECT_EQ(Encode("cret", "se"), Encode("t", "secre"));
  EXPECT_EQ(Encode("bob", ""), Encode(nullptr, "bob"));
  // The name is part of the input.
  EXPECT_NE(Encode("ann", "secret"), Encode("bob", "secret"));
  // Only ASCII letters fold.
  EXPECT_NE(Encode("x", "\xc9"), Encode("x", "\xe9"));
  // The work text is cut at 33 characters.
  std::string long_name(40, 'n');
  EXPECT_EQ(Encode(long_name.c_str(), "pw"), Encode((long_name.substr(0, 31) + "zzz").c_str(), "pw"));
}

TEST(PasswordEncoding, TextIsUpperCaseHexOfTheDigestLength) {
  for (int length = 0; length <= 40; ++length) {
    std::string password(static_cast<size_t>(std::min(length, 23)), 'a');
    std::string name(static_cast<size_t>(length - static_cast<int>(password.size())), 'B');
    std::string text = Encode(name.c_str(), password.c_str());
    int work = std::min(length, 33);
    size_t digits = work <= 6 ? 16 : work >= 27 ? 64 : static_cast<size_t>(((work + 1) | 3) + 1) * 2;
    EXPECT_EQ(text.size(), digits) << "length " << length;
    EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos) << text;
  }
}

TEST(PasswordEncoding, NullPasswordOrOutputWritesNothing) {
  char out[68];
  std::memset(out, '#', sizeof out);
  vk::EncodePassword("bob", nullptr, out);
  for (char c : out) EXPECT_EQ(c, '#');
  vk::EncodePassword("bob", "pw", nullptr);  // must not crash
}

}  // namespace
