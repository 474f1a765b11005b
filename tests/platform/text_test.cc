// Name comparison order; runs on both backends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace {

using vk::PlatCompareNoCase;

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

TEST(PlatText, CaseIsIgnoredNullSortsFirstHyphensAndApostrophesCountLast) {
  const struct {
    const char *a, *b;
    int sign;
  } cases[] = {
      {"admin", "ADMIN", 0}, {"", "", 0},         {nullptr, nullptr, 0},  {nullptr, "", -1},
      {"ann", "Bob", -1},    {"ann", "anne", -1}, {"user9", "userA", -1}, {"a_b", "ab", -1},
      {"coop", "co-op", -1}, {"ab", "a-c", -1},   {"don't", "dont", 1},   {"co-op", "co'op", 1},
      {"Co-Op", "cO-oP", 0}, {"a-b", "ab", 1},    {"", "a", -1},          {"a b", "ab", -1},  // a blank is no hyphen
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a ? c.a : "(null)") + " | " + (c.b ? c.b : "(null)"));
    EXPECT_EQ(Sign(PlatCompareNoCase(c.a, c.b)), c.sign);
    EXPECT_EQ(Sign(PlatCompareNoCase(c.b, c.a)), -c.sign);
  }
}

TEST(PlatText, PunctuationBeforeDigitsBeforeLetters) {
  // Unlike byte order: "_" before the digits, the letters after them.
  const char order[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>059aBcZ";
  for (size_t i = 0; order[i + 1] != '\0'; ++i) {
    char a[2] = {order[i], 0}, b[2] = {order[i + 1], 0};
    EXPECT_LT(PlatCompareNoCase(a, b), 0) << a << " " << b;
    EXPECT_GT(PlatCompareNoCase(b, a), 0) << a << " " << b;
  }
}

}  // namespace
