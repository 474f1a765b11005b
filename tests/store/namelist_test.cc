// Name lists: inserts and removals against a plain model, growth past the
// 64 KB block and the limits that stay.  Copying, clearing, searching and sorting the
// select-users, look-up and registry tests reach through the public calls.
#include "store/namelist.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace {

using vk::AddName;
using vk::CreateNameList;
using vk::FreeNameList;
using vk::InsertName;
using Strings = std::vector<std::string>;

Strings Names(const NameList* list) {
  Strings names;
  for (unsigned i = 0; i < list->count; i++) names.emplace_back(list->slots[i]);
  return names;
}

// Random positions store names out of list order, so growth and removals
// move text stored anywhere while its slot sits anywhere in the list.
TEST(NameList, RandomInsertsAndRemovalsMatchAModel) {
  std::mt19937 random(7);
  NameList* list = CreateNameList(0, 0);
  Strings model;
  for (int step = 0; step < 2000; step++) {
    if (model.empty() || random() % 3 != 0) {
      std::string name(random() % 20, static_cast<char>('a' + random() % 26));
      name += std::to_string(step);
      std::uint16_t at = static_cast<std::uint16_t>(random() % (model.size() + 1));
      list = InsertName(list, name.c_str(), at);
      model.insert(model.begin() + at, name);
    } else {
      std::uint16_t at = static_cast<std::uint16_t>(random() % model.size());
      list = vk::RemoveNameAt(list, at);
      model.erase(model.begin() + at);
    }
    ASSERT_EQ(Names(list), model) << "step " << step;
  }
  // Positions at or beyond the count change nothing.
  for (std::uint16_t at : {static_cast<std::uint16_t>(model.size()), std::uint16_t{0xFFFF}}) {
    EXPECT_EQ(Names(vk::RemoveNameAt(list, at)), model);
  }
  FreeNameList(list);
}

TEST(NameList, NameFillingTheLastBytesNeverUnderflowsFree) {
  for (std::size_t fill = 0; fill < 12; fill++) {
    NameList* list = CreateNameList(8, 512);
    // Leave exactly `fill` bytes counted free, then add names of every
    // length around it, including empty ones.
    list = InsertName(list, std::string(list->free - fill - 1, 'q').c_str(), 0);
    ASSERT_EQ(list->free, fill);
    for (std::size_t len = 0; len < 14; len++) {
      list = InsertName(list, std::string(len, 'a').c_str(), list->count);
      ASSERT_LT(list->free, vk::NameListBlockSize(list));
    }
    EXPECT_EQ(list->count, 15);
    FreeNameList(list);
  }
}

TEST(NameList, GrowsPastTheBlockLimitWholeAndRefusesKeepingTheList) {
  NameList* list = CreateNameList(1, 0);
  // A name taken from the list itself survives the growth it causes.
  for (int i = 0; i < 16; i++) list = AddName(list, ("self" + std::to_string(i)).c_str(), 0);
  list = InsertName(list, list->slots[3], 0);
  EXPECT_STREQ(list->slots[0], "self3");
  list = InsertName(list, std::string(40000, 'M').c_str(), 1);
  NameList* before = list;
  EXPECT_EQ(InsertName(list, std::string(70000, 'H').c_str(), 0), before);
  EXPECT_EQ(InsertName(list, nullptr, 0), list);
  EXPECT_EQ(list->count, 18);
  FreeNameList(list);
  // Ten thousand users, their copies and unions: every name, in one list.
  list = CreateNameList(0, 0);
  for (int i = 0; i < 10000; i++) list = AddName(list, ("user" + std::to_string(10000 + i)).c_str(), 0);
  ASSERT_EQ(list->count, 10000);
  EXPECT_GT(vk::NameListBlockSize(list), vk::kNameListMaxBlock);
  NameList* copy = vk::CopyNameList(list, 0);
  const struct {
    NameList* made;
    unsigned count;
  } kWhole[] = {{copy, 10000},
                {vk::UnionNameLists(list, copy, 0), 20000},
                {vk::UnionNameLists(list, copy, vk::kNameModeSortedUnique), 10000}};
  for (const auto& row : kWhole) {
    ASSERT_NE(row.made, nullptr);
    EXPECT_EQ(row.made->count, row.count);
    EXPECT_STREQ(row.made->slots[row.count - 1], "user19999");
    FreeNameList(row.made);
  }
  FreeNameList(list);
}

}  // namespace
