// Name comparison order; runs on both backends.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text.h"

namespace {

using vk::PlatCompareNoCase;

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

TEST(PlatText, CaseIsIgnoredAndNullSortsFirst) {
  EXPECT_EQ(0, PlatCompareNoCase("admin", "ADMIN"));
  EXPECT_EQ(0, PlatCompareNoCase("Mail", "mAIL"));
  EXPECT_EQ(0, PlatCompareNoCase("", ""));
  EXPECT_EQ(0, PlatCompareNoCase(nullptr, nullptr));
  EXPECT_LT(PlatCompareNoCase(nullptr, ""), 0);
  EXPECT_GT(PlatCompareNoCase("", nullptr), 0);
  EXPECT_LT(PlatCompareNoCase("ann", "Bob"), 0);
  EXPECT_GT(PlatCompareNoCase("bob", "ANN"), 0);
  EXPECT_LT(PlatCompareNoCase("ann", "anne"), 0);
  EXPECT_LT(PlatCompareNoCase("", "a"), 0);
}

TEST(PlatText, PunctuationBeforeDigitsBeforeLetters) {
  const char* order[] = {" ", "!", "_", "0", "5", "9", "a", "B", "c", "Z"};
  for (size_t i = 0; i + 1 < sizeof order / sizeof order[0]; ++i) {
    EXPECT_LT(PlatCompareNoCase(order[i], order[i + 1]), 0) << order[i] << " " << order[i + 1];
    EXPECT_GT(PlatCompareNoCase(order[i + 1], order[i]), 0) << order[i] << " " << order[i + 1];
  }
  // Letters after the digits, and after "_", unlike byte order.
  EXPECT_LT(PlatCompareNoCase("user9", "userA"), 0);
  EXPECT_LT(PlatCompareNoCase("a_b", "ab"), 0);
  EXPECT_GT(PlatCompareNoCase("Z", "_"), 0);
}

TEST(PlatText, PunctuationInTheWordSortOrder) {
  const char order[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>0";
  for (size_t i = 0; order[i + 1] != '\0'; ++i) {
    char a[2] = {order[i], 0}, b[2] = {order[i + 1], 0};
    EXPECT_LT(PlatCompareNoCase(a, b), 0) << a << " " << b;
  }
}

TEST(PlatText, HyphensAndApostrophesCountLast) {
  EXPECT_LT(PlatCompareNoCase("coop", "co-op"), 0);
  EXPECT_LT(PlatCompareNoCase("ab", "a-c"), 0);
  EXPECT_GT(PlatCompareNoCase("a-b", "ab"), 0);
  EXPECT_GT(PlatCompareNoCase("don't", "dont"), 0);
  EXPECT_GT(PlatCompareNoCase("co-op", "co'op"), 0);
  EXPECT_EQ(0, PlatCompareNoCase("Co-Op", "cO-oP"));
  EXPECT_LT(PlatCompareNoCase("a b", "ab"), 0);  // a blank is no hyphen
}

TEST(PlatText, SortsANameListConsistently) {
  std::vector<std::string> names = {"carl", "Ann", "bob", "admin", "Bea", "ann2", "zoe"};
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return PlatCompareNoCase(a.c_str(), b.c_str()) < 0; });
  EXPECT_EQ((std::vector<std::string>{"admin", "Ann", "ann2", "Bea", "bob", "carl", "zoe"}), names);
  for (const auto& a : names) {
    for (const auto& b : names) {
      EXPECT_EQ(Sign(PlatCompareNoCase(a.c_str(), b.c_str())), -Sign(PlatCompareNoCase(b.c_str(), a.c_str())));
    }
  }
}

}  // namespace
