#include "address/namelist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/text.h"
#include "vkmsg/vkmsg.h"

namespace {

using vk::AddName;
using vk::CopyNameList;
using vk::CreateNameList;
using vk::FindName;
using vk::FreeNameList;
using vk::InsertName;

constexpr std::size_t kHeader = offsetof(NameList, slots);
constexpr std::size_t kSlot = sizeof(char*);

// The size the growth rules count with (the real block size on 32-bit).
std::size_t BlockSize(const NameList* list) { return vk::NameListBlockSize(list); }

std::vector<std::string> Names(const NameList* list) {
  std::vector<std::string> names;
  for (unsigned i = 0; i < list->count; i++) names.emplace_back(list->slots[i]);
  return names;
}

bool Sorted(const NameList* list) {
  return (list->flags & VK_NAMELIST_SORTED) != 0;
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
  for (unsigned i = list->count; i < list->capacity; i++) {
    EXPECT_EQ(list->slots[i], nullptr) << "slot " << i;
  }
  EXPECT_EQ(list->next, text + used);
  EXPECT_EQ(static_cast<std::size_t>(list->next - base) + list->free + 4, size);
  EXPECT_EQ(list->handle != nullptr ? vk::PlatGlobalLock(list->handle) : nullptr,
            static_cast<const void*>(list));
  if (list->handle != nullptr) vk::PlatGlobalUnlock(list->handle);
}

NameList* ListOf(const std::vector<std::string>& names, unsigned mode = 0) {
  NameList* list = CreateNameList(4, 64);
  for (const std::string& name : names) list = AddName(list, name.c_str(), mode);
  return list;
}

using Strings = std::vector<std::string>;

TEST(GrowSize, StepsThroughTheTableWithStrictComparison) {
  EXPECT_EQ(vk::GrowSize(0, 0, 0), 0u);
  EXPECT_EQ(vk::GrowSize(0, 0, 1), 16u);
  EXPECT_EQ(vk::GrowSize(0, 0, 15), 16u);
  EXPECT_EQ(vk::GrowSize(0, 0, 16), 32u);
  EXPECT_EQ(vk::GrowSize(0, 10, 6), 32u);
  EXPECT_EQ(vk::GrowSize(0, 0, 56), 64u);
  EXPECT_EQ(vk::GrowSize(0, 0, 64), 256u);
  EXPECT_EQ(vk::GrowSize(0, 0, 1023), 1024u);
  EXPECT_EQ(vk::GrowSize(0, 0, 16383), 16384u);
  EXPECT_EQ(vk::GrowSize(0, 0, 32767), 32768u);
  EXPECT_EQ(vk::GrowSize(0, 0, 32768), 131072u);
  EXPECT_EQ(vk::GrowSize(0, 40000, 0), 131072u);
  // A need that fits keeps the current size, whatever it is.
  EXPECT_EQ(vk::GrowSize(20, 10, 10), 20u);
  EXPECT_EQ(vk::GrowSize(16, 15, 1), 16u);
  EXPECT_EQ(vk::GrowSize(16, 16, 1), 32u);
}

TEST(CreateNameList, SizesFollowTheGrowthRule) {
  struct Case {
    unsigned slots;
    std::size_t bytes;
    unsigned capacity;
    std::size_t block;
  } cases[] = {{8, 512, 16, 1024}, {32, 1024, 64, 4096}, {16, 1024, 32, 4096},
               {0, 0, 0, 64}};
  for (const Case& c : cases) {
    NameList* list = CreateNameList(c.slots, c.bytes);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->capacity, c.capacity) << c.slots << "," << c.bytes;
    EXPECT_EQ(BlockSize(list), c.block) << c.slots << "," << c.bytes;
    EXPECT_EQ(list->count, 0);
    EXPECT_EQ(list->flags, 0u);
    EXPECT_EQ(list->free, c.block - 24 - 4 * c.capacity);
    ExpectConsistent(list);
    FreeNameList(list);
  }
}

TEST(CreateNameList, RefusesBlocksAbove64K) {
  EXPECT_EQ(CreateNameList(0, 40000), nullptr);
  EXPECT_EQ(CreateNameList(0, 32768), nullptr);
  EXPECT_EQ(CreateNameList(16384, 0), nullptr);
  EXPECT_EQ(CreateNameList(100000, 0), nullptr);
  NameList* largest = CreateNameList(0, 32000);
  ASSERT_NE(largest, nullptr);
  EXPECT_EQ(BlockSize(largest), 32768u);
  FreeNameList(largest);
}

TEST(FreeNameList, AcceptsNullAndFreesThroughTheHandle) {
  EXPECT_EQ(FreeNameList(nullptr), nullptr);
  vk_free_name_list(nullptr);
  NameList* list = ListOf({"ann", "bob"});
  EXPECT_EQ(FreeNameList(list), nullptr);
  // The exported release takes a list the way the host receives one.
  NameList* handed = ListOf({"ann", "bob", "carl"}, vk::kNameModeSortedUnique);
  vk_free_name_list(handed);
}

TEST(InsertName, FirstInsertionIntoAnEmptyListCopiesIntoCapacity32) {
  NameList* list = CreateNameList(0, 0);
  ASSERT_NE(list, nullptr);
  list = InsertName(list, "ann", 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->capacity, 32);
  EXPECT_EQ(BlockSize(list), 1024u);
  EXPECT_EQ(Names(list), Strings({"ann"}));
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(InsertName, StoresAtPositionAndShiftsTheSlots) {
  NameList* list = CreateNameList(8, 512);
  list = InsertName(list, "b", 0);
  list = InsertName(list, "d", 1);
  list = InsertName(list, "a", 0);
  list = InsertName(list, "c", 2);
  list = InsertName(list, "e", 4);
  list = InsertName(list, "z", 999);  // past the end appends
  EXPECT_EQ(Names(list), Strings({"a", "b", "c", "d", "e", "z"}));
  // Text is packed in storage order, not list order.
  EXPECT_STREQ(reinterpret_cast<char*>(list) + kHeader + kSlot * list->capacity, "b");
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(InsertName, GrowsTheSlotsWhenFull) {
  NameList* list = CreateNameList(1, 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->capacity, 16);
  EXPECT_EQ(BlockSize(list), 256u);
  Strings expected;
  for (int i = 0; i < 16; i++) {
    std::string name = "n" + std::to_string(10 + i);
    expected.push_back(name);
    NameList* before = list;
    list = InsertName(list, name.c_str(), list->count);
    EXPECT_EQ(list, before) << "no growth needed for name " << i;
  }
  // The copy asks for 32 slots, which the creation rounds up.
  list = InsertName(list, "n99", list->count);
  expected.push_back("n99");
  EXPECT_EQ(list->capacity, 64);
  EXPECT_EQ(BlockSize(list), 1024u);
  EXPECT_EQ(Names(list), expected);
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(InsertName, GrowsTheTextAreaWhenFull) {
  NameList* list = CreateNameList(8, 512);
  const std::string long100(100, 'x');
  Strings expected;
  while (BlockSize(list) == 1024) {
    ASSERT_LT(list->count, 16);
    std::string name = long100 + std::to_string(list->count);
    expected.push_back(name);
    list = InsertName(list, name.c_str(), list->count);
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
    std::string big(list->free - fill - 1, 'q');
    list = InsertName(list, big.c_str(), 0);
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

TEST(InsertName, LongNamesGetTheRoomTheyNeed) {
  NameList* list = CreateNameList(0, 0);
  std::string long3000(3000, 'L');
  list = InsertName(list, long3000.c_str(), 0);
  list = InsertName(list, "short", 0);
  std::string long9000(9000, 'M');
  list = InsertName(list, long9000.c_str(), 1);
  EXPECT_EQ(Names(list), Strings({"short", long9000, long3000}));
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(InsertName, NamesTooLongForAnyBlockAreRefused) {
  NameList* list = ListOf({"ann"});
  NameList* before = list;
  std::string huge(40000, 'H');
  list = InsertName(list, huge.c_str(), 0);
  EXPECT_EQ(list, before);
  EXPECT_EQ(Names(list), Strings({"ann"}));
  std::string enormous(70000, 'H');
  list = InsertName(list, enormous.c_str(), 0);
  EXPECT_EQ(list, before);
  EXPECT_EQ(InsertName(list, nullptr, 0), before);
  EXPECT_EQ(InsertName(nullptr, "x", 0), nullptr);
  EXPECT_EQ(list->count, 1);
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(InsertName, NameFromTheListItselfSurvivesGrowth) {
  NameList* list = CreateNameList(1, 0);
  for (int i = 0; i < 16; i++) {
    list = InsertName(list, ("self" + std::to_string(i)).c_str(), list->count);
  }
  ASSERT_EQ(list->count, list->capacity);
  list = InsertName(list, list->slots[3], 0);
  EXPECT_EQ(list->count, 17);
  EXPECT_STREQ(list->slots[0], "self3");
  EXPECT_STREQ(list->slots[4], "self3");
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
    unsigned before = list->count;
    NameList* old = list;
    list = AddName(list, name, 0);
    ASSERT_NE(list, nullptr);
    if (list->count == before) {
      EXPECT_EQ(list, old);  // refused: the old list, unchanged
      break;
    }
    if (capacities.empty() || capacities.back() != list->capacity)
      capacities.push_back(list->capacity);
    stored++;
  }
  EXPECT_EQ(capacities, std::vector<unsigned>({32, 256, 1024, 4096}));
  // 4096 slots and 9-byte names in a 32 KB block.
  EXPECT_EQ(stored, (32768u - 24 - 4 * 4096) / 9);
  EXPECT_EQ(BlockSize(list), 32768u);
  EXPECT_STREQ(list->slots[stored - 1], "user1816");
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(AddName, SortedModeInsertsInOrderAndOnlyOnce) {
  NameList* list = CreateNameList(8, 512);
  list = AddName(list, "bob", 3);
  list = AddName(list, "Alice", 3);
  list = AddName(list, "carol", 3);
  EXPECT_EQ(Names(list), Strings({"Alice", "bob", "carol"}));
  EXPECT_TRUE(Sorted(list));
  NameList* before = list;
  list = AddName(list, "ALICE", 3);
  EXPECT_EQ(list, before);
  EXPECT_EQ(Names(list), Strings({"Alice", "bob", "carol"}));
  list = AddName(list, "BOB", 2);
  EXPECT_EQ(list->count, 3);
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(AddName, AppendModeKeepsDuplicatesAndOrder) {
  NameList* list = ListOf({"bob", "Alice", "bob", "BOB"});
  EXPECT_EQ(Names(list), Strings({"bob", "Alice", "bob", "BOB"}));
  EXPECT_FALSE(Sorted(list));
  FreeNameList(list);
}

TEST(AddName, SortedModeSortsAnUnsortedListFirst) {
  NameList* list = ListOf({"dave", "bob", "carol"});
  list = AddName(list, "ann", 3);
  EXPECT_EQ(Names(list), Strings({"ann", "bob", "carol", "dave"}));
  EXPECT_TRUE(Sorted(list));
  FreeNameList(list);
}

TEST(AddName, AppendingOutOfOrderDropsTheSortedFlag) {
  NameList* list = ListOf({"ann", "carl"}, 3);
  ASSERT_TRUE(Sorted(list));
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
  for (int i = 0; i < 16; i++) {
    list = AddName(list, ("m" + std::to_string(10 + i)).c_str(), 3);
  }
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

TEST(FindName, SortedListAnswersPositionsAndMarks) {
  NameList* list = ListOf({"bob", "Alice", "carol"}, 3);
  ASSERT_TRUE(Sorted(list));
  EXPECT_EQ(FindName(list, "Bo", 1), 1);
  EXPECT_EQ(FindName(list, "Bo", 0), vk::kNameAbsent);
  EXPECT_EQ(FindName(list, "BOB", 2), vk::kNamePresent);
  EXPECT_EQ(FindName(list, "BOB", 3), vk::kNamePresent);
  EXPECT_EQ(FindName(list, "BOB", 0), 1);
  EXPECT_EQ(FindName(list, "alice", 1), 0);
  EXPECT_EQ(FindName(list, "CAROL", 0), 2);
  EXPECT_EQ(FindName(list, "aaa", 1), 0);
  EXPECT_EQ(FindName(list, "zed", 1), 3);
  EXPECT_EQ(FindName(list, "zed", 2), vk::kNameAbsent);
  FreeNameList(list);
}

TEST(FindName, UnsortedListSearchesLinearly) {
  NameList* list = ListOf({"carol", "Alice", "bob", "ALICE"});
  EXPECT_EQ(FindName(list, "alice", 0), 1);
  EXPECT_EQ(FindName(list, "Bo", 1), 4);
  EXPECT_EQ(FindName(list, "Bo", 0), vk::kNameAbsent);
  EXPECT_EQ(FindName(list, "carol", 2), vk::kNamePresent);
  FreeNameList(list);
  NameList* empty = CreateNameList(0, 0);
  EXPECT_EQ(FindName(empty, "x", 0), vk::kNameAbsent);
  EXPECT_EQ(FindName(empty, "x", 1), 0);
  FreeNameList(empty);
}

TEST(FindName, BinarySearchFindsEveryNameOfALargeList) {
  NameList* list = CreateNameList(0, 0);
  for (int i = 999; i >= 0; i -= 2) {
    list = AddName(list, ("u" + std::to_string(1000 + i)).c_str(), 3);
  }
  ASSERT_EQ(list->count, 500);
  vk::SortNameList(list);
  for (int i = 0; i < 1000; i++) {
    std::string name = "U" + std::to_string(1000 + i);
    std::uint16_t at = FindName(list, name.c_str(), 1);
    if (i % 2 == 1) {
      ASSERT_EQ(at, i / 2) << name;
      ASSERT_EQ(FindName(list, name.c_str(), 2), vk::kNamePresent);
    } else {
      ASSERT_EQ(at, i / 2) << name;  // insertion position
      ASSERT_EQ(FindName(list, name.c_str(), 0), vk::kNameAbsent);
    }
  }
  FreeNameList(list);
}

TEST(RemoveName, ClosesTheGapAndKeepsTheSortedFlag) {
  NameList* list = ListOf({"Alice", "bob", "carol"}, 3);
  std::uint32_t freeBefore = list->free;
  list = vk::RemoveName(list, "BOB");
  EXPECT_EQ(Names(list), Strings({"Alice", "carol"}));
  EXPECT_TRUE(Sorted(list));
  EXPECT_EQ(list->free, freeBefore + 4);
  EXPECT_EQ(list->slots[1], list->slots[0] + 6);
  EXPECT_EQ(list->slots[2], nullptr);
  ExpectConsistent(list);
  NameList* before = list;
  list = vk::RemoveName(list, "dave");
  EXPECT_EQ(list, before);
  EXPECT_EQ(list->count, 2);
  FreeNameList(list);
}

TEST(RemoveNameAt, MovesNamesStoredLaterAndIgnoresBadPositions) {
  // Stored order differs from list order, so the removed text sits between
  // names before and after it in the list.
  NameList* list = CreateNameList(8, 512);
  list = InsertName(list, "mid", 0);
  list = InsertName(list, "first", 0);
  list = InsertName(list, "last", 2);
  list = InsertName(list, "zero", 0);
  list = vk::RemoveNameAt(list, 2);  // "mid", stored first
  EXPECT_EQ(Names(list), Strings({"zero", "first", "last"}));
  ExpectConsistent(list);
  list = vk::RemoveNameAt(list, 3);
  list = vk::RemoveNameAt(list, 0xFFFF);
  EXPECT_EQ(list->count, 3);
  while (list->count > 0) list = vk::RemoveNameAt(list, 0);
  ExpectConsistent(list);
  list = vk::RemoveNameAt(list, 0);
  EXPECT_EQ(list->count, 0);
  FreeNameList(list);
}

TEST(RemoveNameAt, RandomInsertsAndRemovalsStayConsistent) {
  std::mt19937 random(7);
  NameList* list = CreateNameList(0, 0);
  std::vector<std::string> model;
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
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(ClearNameList, EmptiesInPlace) {
  EXPECT_EQ(vk::ClearNameList(nullptr), nullptr);
  NameList* list = ListOf({"ann", "bob"}, 3);
  std::size_t size = BlockSize(list);
  NameList* cleared = vk::ClearNameList(list);
  EXPECT_EQ(cleared, list);
  EXPECT_EQ(list->count, 0);
  EXPECT_FALSE(Sorted(list));
  EXPECT_EQ(list->free, size - 24 - 4 * list->capacity);
  ExpectConsistent(list);
  list = AddName(list, "carl", 0);
  EXPECT_EQ(Names(list), Strings({"carl"}));
  FreeNameList(list);
}

TEST(CopyNameList, CopiesNamesInOrderWithoutTheSortedFlag) {
  EXPECT_EQ(CopyNameList(nullptr, 0), nullptr);
  NameList* list = ListOf({"carl", "ann", "bob"}, 3);
  NameList* same = CopyNameList(list, 0);
  EXPECT_EQ(Names(same), Names(list));
  EXPECT_EQ(same->capacity, 16);
  EXPECT_FALSE(Sorted(same));
  ExpectConsistent(same);
  NameList* first = CopyNameList(list, 2);
  EXPECT_EQ(Names(first), Strings({"ann", "bob"}));
  ExpectConsistent(first);
  NameList* wider = CopyNameList(list, 40);
  EXPECT_EQ(wider->capacity, 64);
  EXPECT_EQ(Names(wider), Names(list));
  FreeNameList(same);
  FreeNameList(first);
  FreeNameList(wider);
  FreeNameList(list);
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
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count, 0);
  FreeNameList(list);

  char none[] = "one";
  EXPECT_EQ(vk::SplitToNameList(nullptr, ",", 0), nullptr);
  EXPECT_EQ(vk::SplitToNameList(none, nullptr, 0), nullptr);
}

TEST(SplitToNameList, LongTextOfManyItems) {
  std::string text;
  for (int i = 0; i < 600; i++) text += "item" + std::to_string(i) + ",";
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  NameList* list = vk::SplitToNameList(buffer.data(), ",", 0);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count, 600);
  EXPECT_STREQ(list->slots[599], "item599");
  ExpectConsistent(list);
  FreeNameList(list);
}

TEST(UnionNameLists, MergesOrAppends) {
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
  // The inputs survive.
  EXPECT_EQ(Names(a), Strings({"Alice", "bob"}));
  EXPECT_EQ(Names(b), Strings({"BOB", "carol"}));
  FreeNameList(merged);
  FreeNameList(both);
  FreeNameList(keepDuplicates);
  FreeNameList(a);
  FreeNameList(b);
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
  FreeNameList(merged);
  FreeNameList(a);
  FreeNameList(b);
}

TEST(UnionNameLists, NullAndEmptyInputs) {
  NameList* none = vk::UnionNameLists(nullptr, nullptr, 3);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->count, 0);
  NameList* a = ListOf({"bob", "ann"});
  NameList* onlyA = vk::UnionNameLists(a, nullptr, 3);
  EXPECT_EQ(Names(onlyA), Strings({"bob", "ann"}));
  NameList* onlyA2 = vk::UnionNameLists(none, a, 3);
  EXPECT_EQ(Names(onlyA2), Strings({"bob", "ann"}));
  NameList* emptyToo = vk::UnionNameLists(none, nullptr, 0);
  ASSERT_NE(emptyToo, nullptr);
  EXPECT_EQ(emptyToo->count, 0);
  for (NameList* l : {none, a, onlyA, onlyA2, emptyToo}) FreeNameList(l);
}

TEST(UnionNameLists, TwoLargeListsStillMerge) {
  NameList* a = CreateNameList(0, 0);
  NameList* b = CreateNameList(0, 0);
  std::string pad(60, 'p');
  for (int i = 0; i < 200; i++) {
    a = AddName(a, ("a" + pad + std::to_string(i)).c_str(), 0);
    b = AddName(b, ("b" + pad + std::to_string(i)).c_str(), 0);
  }
  ASSERT_EQ(a->count, 200);
  ASSERT_GE(BlockSize(a) + BlockSize(b), 32768u);
  NameList* merged = vk::UnionNameLists(a, b, 3);
  ASSERT_NE(merged, nullptr);
  EXPECT_EQ(merged->count, 400);
  ExpectConsistent(merged);
  FreeNameList(merged);
  FreeNameList(a);
  FreeNameList(b);
}

bool Ascending(const NameList* list) {
  for (unsigned i = 1; i < list->count; i++) {
    if (vk::PlatCompareNoCase(list->slots[i - 1], list->slots[i]) > 0) return false;
  }
  return true;
}

TEST(SortNameList, SmallListsBySelectionSort) {
  vk::SortNameList(nullptr);
  NameList* two = ListOf({"b", "A"});
  vk::SortNameList(two);
  EXPECT_EQ(Names(two), Strings({"A", "b"}));
  EXPECT_TRUE(Sorted(two));
  FreeNameList(two);

  // The earliest of equal names wins each round: not stable.
  NameList* three = ListOf({"B", "b", "a"});
  vk::SortNameList(three);
  EXPECT_EQ(Names(three), Strings({"a", "b", "B"}));
  FreeNameList(three);

  NameList* eight = ListOf({"hank", "Gil", "fay", "Eve", "dan", "Cy", "bo", "Al"});
  vk::SortNameList(eight);
  EXPECT_EQ(Names(eight),
            Strings({"Al", "bo", "Cy", "dan", "Eve", "fay", "Gil", "hank"}));
  FreeNameList(eight);

  NameList* empty = CreateNameList(0, 0);
  vk::SortNameList(empty);
  EXPECT_TRUE(Sorted(empty));
  FreeNameList(empty);
}

TEST(SortNameList, LargerListsByHeapSort) {
  NameList* nine = ListOf({"ivy", "hank", "Gil", "fay", "Eve", "dan", "Cy", "bo", "Al"});
  vk::SortNameList(nine);
  EXPECT_EQ(Names(nine),
            Strings({"Al", "bo", "Cy", "dan", "Eve", "fay", "Gil", "hank", "ivy"}));
  FreeNameList(nine);
}

TEST(SortNameList, EverySizeAndShuffleComesOutAscending) {
  std::mt19937 random(11);
  const char* pool[] = {"ann", "ANN", "bob", "Bob", "carl", "dora", "eve", "fred",
                        "gus", "hal", "ida", "a", "b", "zz", "Zz", "m-1", "m 1", "m1"};
  for (unsigned n = 0; n <= 40; n++) {
    for (int round = 0; round < 5; round++) {
      std::vector<std::string> names;
      for (unsigned i = 0; i < n; i++) names.push_back(pool[random() % 18]);
      NameList* list = ListOf(names);
      vk::NameListSorter sorter(list);
      sorter.Sort();
      ASSERT_TRUE(Ascending(list)) << "n=" << n;
      std::vector<std::string> got = Names(list);
      std::sort(got.begin(), got.end());
      std::sort(names.begin(), names.end());
      ASSERT_EQ(got, names) << "the sort lost or duplicated a name, n=" << n;
      FreeNameList(list);
    }
  }
}

}  // namespace
