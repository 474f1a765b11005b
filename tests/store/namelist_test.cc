// Name lists: inserts and removals against a plain model, and the limits of
// the 64 KB block.  Copying, clearing, searching and sorting the
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

TEST(NameList, GrowsUpToTheBlockLimitAndThenRefusesKeepingTheList) {
  NameList* list = CreateNameList(1, 0);
  // A name taken from the list itself survives the growth it causes.
  for (int i = 0; i < 16; i++) list = AddName(list, ("self" + std::to_string(i)).c_str(), 0);
  list = InsertName(list, list->slots[3], 0);
  EXPECT_STREQ(list->slots[0], "self3");
  list = InsertName(list, std::string(9000, 'M').c_str(), 1);
  for (std::size_t length : {40000, 70000}) {
    NameList* before = list;
    EXPECT_EQ(InsertName(list, std::string(length, 'H').c_str(), 0), before);
  }
  EXPECT_EQ(InsertName(list, nullptr, 0), list);
  EXPECT_EQ(list->count, 18);
  FreeNameList(list);
  list = CreateNameList(0, 0);
  unsigned stored = 0;
  for (int i = 0; i < 5000; i++) {
    NameList* old = list;
    list = AddName(list, ("user" + std::to_string(1000 + i)).c_str(), 0);
    if (list->count == stored) {
      EXPECT_EQ(list, old);  // refused: the old list, unchanged
      break;
    }
    stored++;
  }
  EXPECT_GT(stored, 1024u);
  EXPECT_LT(stored, 5000u);
  EXPECT_LE(vk::NameListBlockSize(list), vk::kNameListMaxBlock);
  EXPECT_EQ(list->slots[stored - 1], "user" + std::to_string(1000 + stored - 1));
  FreeNameList(list);
}

}  // namespace
