#include "address/namelist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory.h"
#include "platform/text.h"
#include "vkmsg/vkmsg.h"

namespace {

using vk::AddName;
using vk::CreateNameList;
using vk::FindName;
using vk::FreeNameList;
using vk::InsertName;
using Strings = std::vector<std::string>;

constexpr std::size_t kHeader = offsetof(NameList, slots);
constexpr std::size_t kSlot = sizeof(char*);

// The size the growth rules count with (the real block size on 32-bit).
std::size_t BlockSize(const NameList* list) { return vk::NameListBlockSize(list); }

Strings Names(const NameList* list) {
  Strings names;
  for (unsigned i = 0; i < list->count; i++) names.emplace_back(list->slots[i]);
  return names;
}

bool Sorted(const NameList* list) { return (list->flags & VK_NAMELIST_SORTED) != 0; }

void FreeAll(std::initializer_list<NameList*> lists) {
  for (NameList* list : lists) FreeNameList(list);
}

// The layout every operation must leave behind: names packed from the start
// of the text area in storage order, `free` 4 below the true space left,
// unused slots null.
void ExpectConsistent(const NameList* list) {
  ASSERT_NE(list, nullptr);
  const char* base = reinterpret_cast<const char*>(list);
  const char* text = base + kHeader + kSlot * list->capacity;
  std::size_t size = vk::PlatGlobalSize(list->handle);
  ASSERT_LE(list->count, list->capacity);
  std::size_t used = 0;
  for (unsigned i = 0; i < list->count; i++) {
    ASSERT_NE(list->slots[i], nullptr);
    ASSERT_GE(list->slots[i], text);
    ASSERT_LT(list->slots[i], list->next);
    used += std::strlen(list->slots[i]) + 1;
  }
  for (unsigned i = list->count; i < list->capacity; i++) EXPECT_EQ(list->slots[i], nullptr) << "slot " << i;
  EXPECT_EQ(list->next, text + used);
  EXPECT_EQ(static_cast<std::size_t>(list->next - base) + list->free + 4, size);
  EXPECT_EQ(vk::PlatGlobalLock(list->handle), static_cast<const void*>(list));
  vk::PlatGlobalUnlock(list->handle);
}

NameList* ListOf(const Strings& names, unsigned mode = 0) {
  NameList* list = CreateNameList(4, 64);
  for (const std::string& name : names) list = AddName(list, name.c_str(), mode);
  return list;
}

TEST(GrowSize, StepsThroughTheTableWithStrictComparison) {
  struct {
    std::size_t current, a, b, want;
  } cases[] = {{0, 0, 0, 0},       {0, 0, 15, 16},       {0, 0, 16, 32},        {0, 10, 6, 32},
               {0, 0, 64, 256},    {0, 0, 32767, 32768}, {0, 0, 32768, 131072}, {0, 40000, 0, 131072},
               {20, 10, 10, 20},   {16, 15, 1, 16},      {16, 16, 1, 32}};  // a need that fits keeps the size
  for (const auto& c : cases) {
    EXPECT_EQ(vk::GrowSize(c.current, c.a, c.b), c.want) << c.current << "," << c.a << "," << c.b;
  }
}

TEST(CreateNameList, SizesFollowTheGrowthRuleUpTo64K) {
  struct {
    unsigned slots;
    std::size_t bytes;
    unsigned capacity;
    std::size_t block;
  } cases[] = {{8, 512, 16, 1024}, {32, 1024, 64, 4096}, {16, 1024, 32, 4096}, {0, 0, 0, 64}, {0, 32000, 0, 32768}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.slots) + "," + std::to_string(c.bytes));
    NameList* list = CreateNameList(c.slots, c.bytes);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->capacity, c.capacity);
    EXPECT_EQ(BlockSize(list), c.block);
    ExpectConsistent(list);
    FreeNameList(list);
  }
  EXPECT_EQ(CreateNameList(0, 40000), nullptr);
  EXPECT_EQ(CreateNameList(0, 32768), nullptr);
  EXPECT_EQ(CreateNameList(16384, 0), nullptr);
  EXPECT_EQ(CreateNameList(100000, 0), nullptr);
}

TEST(NameList, NullListsAreAccepted) {
  EXPECT_EQ(FreeNameList(nullptr), nullptr);
  vk_free_name_list(nullptr);
  EXPECT_EQ(vk::ClearNameList(nullptr), nullptr);
  EXPECT_EQ(vk::CopyNameList(nullptr, 0), nullptr);
  vk::SortNameList(nullptr);
  EXPECT_EQ(InsertName(nullptr, "x", 0), nullptr);
  EXPECT_EQ(FindName(nullptr, "x", 0), vk::kNameAbsent);
}

TEST(InsertName, StoresAtPositionAndShiftsTheSlots) {
  NameList* list = CreateNameList(8, 512);
  const std::pair<const char*, std::uint16_t> steps[] = {{"b", 0}, {"d", 1}, {"a", 0}, {"c", 2}, {"e", 4}, {"z", 999}};
  for (const auto& [name, at] : steps) list = InsertName(list, name, at);  // 999: past the end appends
  EXPECT_EQ(Names(list), Strings({"a", "b", "c", "d", "e", "z"}));
  // Text is packed in storage order, not list order.
  EXPECT_STREQ(reinterpret_cast<char*>(list) + kHeader + kSlot * list->capacity, "b");
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(InsertName, GrowsTheTextAreaWhenFull) {
  NameList* list = CreateNameList(8, 512);
  Strings expected;
  while (BlockSize(list) == 1024) {
    ASSERT_LT(list->count, 16);
    expected.push_back(std::string(100, 'x') + std::to_string(list->count));
    list = InsertName(list, expected.back().c_str(), list->count);
    ExpectConsistent(list);
  }
  // Nine names of 102 bytes fill the text area; the copy keeps 16 slots
  // with 32 text bytes for each unused one, and the creation rounds the
  // slots up.
  EXPECT_EQ(list->count, 10);
  EXPECT_EQ(BlockSize(list), 4096u);
  EXPECT_EQ(list->capacity, 32);
  EXPECT_EQ(Names(list), expected);
  FreeNameList(list);
}

TEST(InsertName, NameFillingTheLastBytesNeverUnderflowsFree) {
  for (std::size_t fill = 0; fill < 12; fill++) {
    NameList* list = CreateNameList(8, 512);
    // Leave exactly `fill` bytes counted free, then add names of every
    // length around it, including empty ones.
    list = InsertName(list, std::string(list->free - fill - 1, 'q').c_str(), 0);
    ASSERT_EQ(list->free, fill);
    for (std::size_t len = 0; len < 14; len++) {
      list = InsertName(list, std::string(len, 'a').c_str(), list->count);
      ASSERT_LT(list->free, BlockSize(list));
      ExpectConsistent(list);
    }
    EXPECT_EQ(list->count, 15);
    FreeNameList(list);
  }
}

TEST(InsertName, LongNamesGetRoomUntilNoBlockCanHoldThem) {
  NameList* list = CreateNameList(0, 0);
  const std::string long3000(3000, 'L'), long9000(9000, 'M');
  list = InsertName(list, long3000.c_str(), 0);
  list = InsertName(list, "short", 0);
  list = InsertName(list, long9000.c_str(), 1);
  EXPECT_EQ(Names(list), Strings({"short", long9000, long3000}));
  ExpectConsistent(list);
  NameList* before = list;
  for (std::size_t length : {40000, 70000}) {
    EXPECT_EQ(InsertName(list, std::string(length, 'H').c_str(), 0), before);
  }
  EXPECT_EQ(InsertName(list, nullptr, 0), before);
  EXPECT_EQ(list->count, 3);
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(InsertName, GrowsTheSlotsWhenFullKeepingANameFromTheListItself) {
  NameList* list = CreateNameList(1, 0);
  ASSERT_EQ(list->capacity, 16);
  ASSERT_EQ(BlockSize(list), 256u);
  Strings expected;
  for (int i = 0; i < 16; i++) {
    expected.push_back("self" + std::to_string(i));
    NameList* before = list;
    EXPECT_EQ(InsertName(list, expected.back().c_str(), list->count), before) << "no growth needed for " << i;
  }
  list = InsertName(list, list->slots[3], 0);
  expected.insert(expected.begin(), "self3");
  // The copy asks for 32 slots, which the creation rounds up.
  EXPECT_EQ(list->capacity, 64);
  EXPECT_EQ(BlockSize(list), 1024u);
  EXPECT_EQ(Names(list), expected);
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(InsertName, ListsGrowPast256And1024NamesUpToTheBlockLimit) {
  NameList* list = CreateNameList(0, 0);
  unsigned stored = 0;
  std::vector<unsigned> capacities;
  for (int i = 0; i < 5000; i++) {
    char name[16];
    std::snprintf(name, sizeof name, "user%04d", i);
    NameList* old = list;
    list = AddName(list, name, 0);
    if (list->count == stored) {
      EXPECT_EQ(list, old);  // refused: the old list, unchanged
      break;
    }
    if (capacities.empty() || capacities.back() != list->capacity) capacities.push_back(list->capacity);
    stored++;
  }
  // The first insertion into (0, 0) copies into 16 slots, rounded up to 32.
  EXPECT_EQ(capacities, std::vector<unsigned>({32, 256, 1024, 4096}));
  // 4096 slots and 9-byte names in a 32 KB block.
  EXPECT_EQ(stored, (32768u - 24 - 4 * 4096) / 9);
  EXPECT_EQ(BlockSize(list), 32768u);
  EXPECT_STREQ(list->slots[stored - 1], "user1816");
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(AddName, SortedModeInsertsInOrderAndOnlyOnce) {
  NameList* list = ListOf({"bob", "Alice", "carol"}, 3);
  EXPECT_EQ(Names(list), Strings({"Alice", "bob", "carol"}));
  EXPECT_TRUE(Sorted(list));
  NameList* before = list;
  EXPECT_EQ(AddName(list, "ALICE", 3), before);
  EXPECT_EQ(AddName(list, "BOB", 2), before);
  EXPECT_EQ(Names(list), Strings({"Alice", "bob", "carol"}));
  ExpectConsistent(list);
  // The exported release takes a list the way the host receives one.
  vk_free_name_list(list);

  // Appending keeps duplicates and order; a sorted add sorts first.
  list = ListOf({"dave", "bob", "carol", "BOB"});
  EXPECT_EQ(Names(list), Strings({"dave", "bob", "carol", "BOB"}));
  EXPECT_FALSE(Sorted(list));
  list = AddName(list, "ann", 3);
  EXPECT_EQ(Names(list), Strings({"ann", "bob", "BOB", "carol", "dave"}));
  EXPECT_TRUE(Sorted(list));
  FreeNameList(list);
}

TEST(AddName, AppendingOutOfOrderDropsTheSortedFlag) {
  NameList* list = ListOf({"ann", "carl"}, 3);
  list = AddName(list, "dora", 0);  // still in order
  EXPECT_TRUE(Sorted(list));
  list = AddName(list, "bob", 0);
  EXPECT_FALSE(Sorted(list));
  // Searching must still find every name.
  EXPECT_EQ(FindName(list, "bob", 0), 3);
  EXPECT_EQ(FindName(list, "carl", 0), 1);
  FreeNameList(list);
}

TEST(AddName, GrowthDropsTheSortedFlagUntilTheNextSortedAdd) {
  NameList* list = CreateNameList(1, 0);
  for (int i = 0; i < 16; i++) list = AddName(list, ("m" + std::to_string(10 + i)).c_str(), 3);
  ASSERT_EQ(list->count, list->capacity);
  ASSERT_TRUE(Sorted(list));
  list = InsertName(list, "zz", list->count);
  EXPECT_EQ(list->capacity, 64);
  EXPECT_FALSE(Sorted(list));
  list = AddName(list, "a", 3);
  EXPECT_TRUE(Sorted(list));
  EXPECT_STREQ(list->slots[0], "a");
  EXPECT_STREQ(list->slots[17], "zz");
  FreeNameList(list);
}

TEST(FindName, AnswersPositionsAndMarksSortedOrNot) {
  struct {
    const char* name;
    unsigned mode;
    std::uint16_t sorted, unsorted;
  } cases[] = {{"Bo", 1, 1, 4},      {"Bo", 0, vk::kNameAbsent, vk::kNameAbsent},
               {"BOB", 0, 1, 2},     {"BOB", 2, vk::kNamePresent, vk::kNamePresent},
               {"alice", 1, 0, 1},   {"BOB", 3, vk::kNamePresent, vk::kNamePresent},
               {"CAROL", 0, 2, 0},   {"zed", 2, vk::kNameAbsent, vk::kNameAbsent},
               {"aaa", 1, 0, 4},     {"zed", 1, 3, 4}};
  NameList* sorted = ListOf({"bob", "Alice", "carol"}, 3);
  NameList* unsorted = ListOf({"carol", "Alice", "bob", "ALICE"});
  ASSERT_TRUE(Sorted(sorted));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(c.mode));
    EXPECT_EQ(FindName(sorted, c.name, c.mode), c.sorted);
    EXPECT_EQ(FindName(unsorted, c.name, c.mode), c.unsorted);
  }
  NameList* empty = CreateNameList(0, 0);
  EXPECT_EQ(FindName(empty, "x", 0), vk::kNameAbsent);
  EXPECT_EQ(FindName(empty, "x", 1), 0);
  FreeAll({sorted, unsorted, empty});
}

TEST(FindName, BinarySearchFindsEveryNameOfALargeList) {
  NameList* list = CreateNameList(0, 0);
  for (int i = 999; i >= 0; i -= 2) list = AddName(list, ("u" + std::to_string(1000 + i)).c_str(), 3);
  ASSERT_EQ(list->count, 500);
  for (int i = 0; i < 1000; i++) {
    std::string name = "U" + std::to_string(1000 + i);
    // Present names answer their position, absent ones where they would go.
    ASSERT_EQ(FindName(list, name.c_str(), 1), i / 2) << name;
    ASSERT_EQ(FindName(list, name.c_str(), i % 2 == 1 ? 2 : 0), i % 2 == 1 ? vk::kNamePresent : vk::kNameAbsent)
        << name;
  }
  FreeNameList(list);
}

TEST(RemoveName, ClosesTheGapAndKeepsTheSortedFlag) {
  NameList* list = ListOf({"Alice", "bob", "carol"}, 3);
  list = vk::RemoveName(list, "BOB");
  EXPECT_EQ(Names(list), Strings({"Alice", "carol"}));
  EXPECT_TRUE(Sorted(list));
  ExpectConsistent(list);
  EXPECT_EQ(vk::RemoveName(list, "dave"), list);
  EXPECT_EQ(list->count, 2);
  FreeNameList(list);
}

// Random positions store names out of list order, so removals move text
// stored after the removed name while its slot sits anywhere in the list.
TEST(RemoveNameAt, RandomInsertsAndRemovalsStayConsistent) {
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
    if (step % 25 == 0) ExpectConsistent(list);
  }
  // Positions at or beyond the count change nothing.
  for (std::uint16_t at : {static_cast<std::uint16_t>(model.size()), std::uint16_t{0xFFFF}}) {
    EXPECT_EQ(Names(vk::RemoveNameAt(list, at)), model);
  }
  while (list->count > 0) list = vk::RemoveNameAt(list, 0);
  EXPECT_EQ(vk::RemoveNameAt(list, 0)->count, 0);
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(CopyNameList, CopiesNamesInOrderWithoutTheSortedFlagAndClearEmptiesInPlace) {
  NameList* list = ListOf({"carl", "ann", "bob"}, 3);
  NameList* same = vk::CopyNameList(list, 0);
  NameList* first = vk::CopyNameList(list, 2);
  NameList* wider = vk::CopyNameList(list, 40);
  EXPECT_EQ(Names(same), Names(list));
  EXPECT_EQ(same->capacity, 16);
  EXPECT_FALSE(Sorted(same));
  EXPECT_EQ(Names(first), Strings({"ann", "bob"}));
  EXPECT_EQ(wider->capacity, 64);
  EXPECT_EQ(Names(wider), Names(list));
  for (const NameList* copy : {same, first, wider}) ExpectConsistent(copy);
  EXPECT_EQ(vk::ClearNameList(list), list);
  EXPECT_EQ(list->count, 0);
  EXPECT_FALSE(Sorted(list));
  ExpectConsistent(list);
  list = AddName(list, "carl", 0);
  EXPECT_EQ(Names(list), Strings({"carl"}));
  FreeAll({same, first, wider, list});
}

TEST(SplitToNameList, CutsOnRunsOfDelimiters) {
  char text[] = "a, b,,c";
  NameList* list = vk::SplitToNameList(text, ", ", 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Names(list), Strings({"a", "b", "c"}));
  EXPECT_EQ(text[1], '\0');  // cut in place
  ExpectConsistent(list);
  FreeNameList(list);

  char sorted[] = ";;carl;ann;bob;ANN;;";
  list = vk::SplitToNameList(sorted, ";", 3);
  EXPECT_EQ(Names(list), Strings({"ann", "bob", "carl"}));
  EXPECT_TRUE(Sorted(list));
  FreeNameList(list);

  char blanks[] = "   ";
  list = vk::SplitToNameList(blanks, " ", 0);
  EXPECT_EQ(list->count, 0);
  FreeNameList(list);

  // Many items outgrow the slots the text length suggests.
  std::string many;
  for (int i = 0; i < 600; i++) many += "item" + std::to_string(i) + ",";
  list = vk::SplitToNameList(&many[0], ",", 0);
  ASSERT_EQ(list->count, 600);
  EXPECT_STREQ(list->slots[599], "item599");
  ExpectConsistent(list);
  FreeNameList(list);

  EXPECT_EQ(vk::SplitToNameList(nullptr, ",", 0), nullptr);
  EXPECT_EQ(vk::SplitToNameList(blanks, nullptr, 0), nullptr);
}

TEST(UnionNameLists, MergesOrAppendsAndLeavesTheInputs) {
  NameList* a = ListOf({"Alice", "bob"});
  NameList* b = ListOf({"BOB", "carol"});
  NameList* merged = vk::UnionNameLists(a, b, 3);
  EXPECT_EQ(Names(merged), Strings({"Alice", "bob", "carol"}));
  EXPECT_TRUE(Sorted(merged));
  ExpectConsistent(merged);
  NameList* both = vk::UnionNameLists(a, b, 0);
  EXPECT_EQ(Names(both), Strings({"Alice", "bob", "BOB", "carol"}));
  EXPECT_FALSE(Sorted(both));
  NameList* keepDuplicates = vk::UnionNameLists(a, b, 1);
  EXPECT_EQ(Names(keepDuplicates), Strings({"Alice", "bob", "BOB", "carol"}));
  EXPECT_EQ(Names(a), Strings({"Alice", "bob"}));
  EXPECT_EQ(Names(b), Strings({"BOB", "carol"}));
  // Null or empty inputs give copies.
  NameList* none = vk::UnionNameLists(nullptr, nullptr, 3);
  NameList* onlyA = vk::UnionNameLists(a, nullptr, 3);
  NameList* onlyB = vk::UnionNameLists(none, b, 3);
  EXPECT_EQ(Names(none), Strings());
  EXPECT_EQ(Names(onlyA), Names(a));
  EXPECT_EQ(Names(onlyB), Names(b));
  FreeAll({merged, both, keepDuplicates, a, b, none, onlyA, onlyB});
}

TEST(UnionNameLists, SortsUnsortedInputsAndCollapsesDuplicates) {
  NameList* a = ListOf({"dave", "Bob", "ann", "bob"});
  NameList* b = ListOf({"ANN", "carl", "eve", "Carl"});
  NameList* merged = vk::UnionNameLists(a, b, 3);
  ASSERT_EQ(merged->count, 5);
  for (unsigned i = 1; i < merged->count; i++) {
    EXPECT_LT(vk::PlatCompareNoCase(merged->slots[i - 1], merged->slots[i]), 0);
  }
  EXPECT_STREQ(merged->slots[0], "ann");  // a's spelling first
  EXPECT_TRUE(Sorted(a));
  EXPECT_TRUE(Sorted(b));
  FreeAll({merged, a, b});
}

TEST(UnionNameLists, TwoLargeListsStillMerge) {
  NameList* a = CreateNameList(0, 0);
  NameList* b = CreateNameList(0, 0);
  const std::string pad(60, 'p');
  for (int i = 0; i < 200; i++) {
    a = AddName(a, ("a" + pad + std::to_string(i)).c_str(), 0);
    b = AddName(b, ("b" + pad + std::to_string(i)).c_str(), 0);
  }
  ASSERT_GE(BlockSize(a) + BlockSize(b), 32768u);
  NameList* merged = vk::UnionNameLists(a, b, 3);
  ASSERT_NE(merged, nullptr);
  EXPECT_EQ(merged->count, 400);
  ExpectConsistent(merged);
  FreeAll({merged, a, b});
}

TEST(SortNameList, SelectionSortUpToEightHeapSortAbove) {
  struct {
    Strings in, out;
  } cases[] = {
      {{}, {}},
      {{"b", "A"}, {"A", "b"}},
      // The earliest of equal names wins each round: not stable.
      {{"B", "b", "a"}, {"a", "b", "B"}},
      {{"hank", "Gil", "fay", "Eve", "dan", "Cy", "bo", "Al"}, {"Al", "bo", "Cy", "dan", "Eve", "fay", "Gil", "hank"}},
      {{"ivy", "hank", "Gil", "fay", "Eve", "dan", "Cy", "bo", "Al"},
       {"Al", "bo", "Cy", "dan", "Eve", "fay", "Gil", "hank", "ivy"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in.size());
    NameList* list = ListOf(c.in);
    vk::SortNameList(list);
    EXPECT_EQ(Names(list), c.out);
    EXPECT_TRUE(Sorted(list));
    FreeNameList(list);
  }
}

TEST(SortNameList, EverySizeAndShuffleComesOutAscending) {
  std::mt19937 random(11);
  const char* pool[] = {"ann", "ANN", "bob", "Bob", "carl", "dora", "eve", "fred", "gus",
                        "hal", "ida", "a",   "b",   "zz",  "Zz",   "m-1",  "m 1", "m1"};
  for (unsigned n = 0; n <= 40; n++) {
    for (int round = 0; round < 5; round++) {
      Strings names;
      for (unsigned i = 0; i < n; i++) names.push_back(pool[random() % 18]);
      NameList* list = ListOf(names);
      vk::NameListSorter(list).Sort();
      for (unsigned i = 1; i < list->count; i++) {
        ASSERT_LE(vk::PlatCompareNoCase(list->slots[i - 1], list->slots[i]), 0) << "n=" << n;
      }
      Strings got = Names(list);
      std::sort(got.begin(), got.end());
      std::sort(names.begin(), names.end());
      ASSERT_EQ(got, names) << "the sort lost or duplicated a name, n=" << n;
      FreeNameList(list);
    }
  }
}

}  // namespace
