#include "store/namelist.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/memory.h"
#include "platform/text.h"

namespace vk {

namespace {

// The block layout: the header, `capacity` slots, then the text area.  The
// size rules count with the 32-bit layout the host knows (a 20-byte header,
// 4-byte slots); where pointers are wider the block is enlarged by exactly
// the difference, so every target grows, refuses and reports `free` alike.
constexpr std::size_t kHeaderSize = offsetof(NameList, slots);
constexpr std::size_t kSlotSize = sizeof(char*);
constexpr std::size_t kModelHeaderSize = 20;
constexpr std::size_t kModelSlotSize = 4;
// `free` is kept this many bytes below the true space left, so a stored
// name and its zero byte can never reach the end of the block.
constexpr std::size_t kFreeReserve = 4;
// What a creation asks for beyond slots and text (header and slack).
constexpr std::size_t kCreateOverhead = 56;
// Text bytes a copy adds for every slot it adds beyond the count.
constexpr std::size_t kTextPerNewSlot = 32;

// The host reads and writes lists by these offsets.
static_assert(sizeof(void*) != 4 || (offsetof(NameList, count) == 4 && offsetof(NameList, capacity) == 6 &&
                                     offsetof(NameList, flags) == 8 && offsetof(NameList, free) == 12 &&
                                     offsetof(NameList, next) == 16 && offsetof(NameList, slots) == 20),
              "name list layout of 32-bit targets");

std::size_t Widening(std::size_t capacity) {
  return (kHeaderSize - kModelHeaderSize) + (kSlotSize - kModelSlotSize) * capacity;
}

char* TextStart(const NameList* list) {
  return const_cast<char*>(reinterpret_cast<const char*>(list)) + kHeaderSize + kSlotSize * list->capacity;
}

std::size_t BlockSize(const NameList* list) { return NameListBlockSize(list); }

bool IsSorted(const NameList* list) { return (list->flags & VK_NAMELIST_SORTED) != 0; }

bool Fits(const NameList* list, std::size_t length) {
  // Strictly below `free`: the name's zero byte is taken from it too, and
  // `free` must never go below zero.
  return list->count < list->capacity && length < list->free;
}

// Stores the name at `position` in a list known to have room for it.
void StoreName(NameList* list, const char* name, std::size_t length, std::uint16_t position) {
  if (IsSorted(list)) {
    bool inOrder = (position == 0 || PlatCompareNoCase(list->slots[position - 1], name) <= 0) &&
                   (position == list->count || PlatCompareNoCase(name, list->slots[position]) <= 0);
    if (!inOrder) list->flags &= ~VK_NAMELIST_SORTED;
  }
  std::memmove(&list->slots[position + 1], &list->slots[position], kSlotSize * (list->count - position));
  char* text = list->next;
  std::memcpy(text, name, length + 1);
  list->slots[position] = text;
  list->next += length + 1;
  list->free -= static_cast<CMC_uint32>(length + 1);
  list->count++;
}

// An empty list in a new block of `size` bytes (widened for the platform's
// slot pointers) with `capacity` slots and `text_room` bytes for names.
NameList* AllocateNameList(std::size_t capacity, std::size_t size, std::size_t text_room) {
  GlobalHandle handle = PlatGlobalAlloc(kNameListAllocFlags, size + Widening(capacity));
  if (handle == nullptr) return nullptr;
  auto* list = static_cast<NameList*>(PlatGlobalLock(handle));
  if (list == nullptr) {
    PlatGlobalFree(handle);
    return nullptr;
  }
  list->handle = handle;
  list->count = 0;
  list->capacity = static_cast<CMC_uint16>(capacity);
  list->flags = 0;
  list->next = TextStart(list);
  list->free = static_cast<CMC_uint32>(text_room);
  return list;
}

// A list past the 64 KB that CreateNameList keeps to, as the registry makes
// for thousands of users: the same layout, for `slots` rounded up by the
// growth rule as far as the 16-bit count allows, and `bytes` of text; the
// 32-bit `free` field counts any size.
NameList* CreateLargeNameList(std::size_t slots, std::size_t bytes) {
  std::size_t capacity = GrowSize(0, 0, slots);
  if (capacity > 0xFFFF) capacity = slots;
  if (capacity > 0xFFFF || bytes > 0x7FFFFFFF) return nullptr;
  const std::size_t size = kModelHeaderSize + kModelSlotSize * capacity + bytes + kFreeReserve;
  return AllocateNameList(capacity, size, bytes);
}

// A new list of (slots, bytes) holding the first names of `list`.
NameList* CopyNames(const NameList* list, std::size_t slots, std::size_t bytes) {
  NameList* copy = CreateAnyNameList(slots, bytes);
  if (copy == nullptr) return nullptr;
  std::size_t keep = slots < list->count ? slots : list->count;
  for (std::size_t i = 0; i < keep; i++) {
    const char* name = list->slots[i];
    std::size_t length = std::strlen(name);
    if (!Fits(copy, length)) return FreeNameList(copy);
    StoreName(copy, name, length, copy->count);
  }
  return copy;
}

// CopyNameList with `room` more text bytes than the growth rule gives.
NameList* CopyWithRoom(const NameList* list, unsigned capacity, std::size_t room) {
  if (list == nullptr) return nullptr;
  std::size_t n = capacity != 0 ? capacity : list->count;
  std::size_t extra = n > list->count ? kTextPerNewSlot * (n - list->count) : 0;
  std::size_t bytes = BlockSize(list) - list->free - kModelSlotSize * list->count + extra + room;
  return CopyNames(list, n, bytes);
}

std::size_t UsedText(const NameList* list) { return static_cast<std::size_t>(list->next - TextStart(list)); }

// Appends `name` to a union under construction; false when it should have
// been stored and could not be (a union never comes back short of a name).
bool AppendForUnion(NameList** list, const char* name, unsigned mode) {
  NameList* l = *list;
  if ((mode & kNameModeMarkPresent) && l->count > 0 && PlatCompareNoCase(l->slots[l->count - 1], name) == 0) {
    return true;
  }
  const unsigned before = l->count;
  *list = InsertName(l, name, l->count);
  return (*list)->count != before;
}

}  // namespace

NameList* CreateAnyNameList(std::size_t slots, std::size_t bytes) {
  if (slots > 0xFFFF) return nullptr;
  if (NameList* list = CreateNameList(static_cast<unsigned>(slots), bytes)) return list;
  return CreateLargeNameList(slots, bytes);
}

std::size_t NameListBlockSize(const NameList* list) {
  if (list == nullptr) return 0;
  std::size_t size = PlatGlobalSize(list->handle);
  std::size_t widening = Widening(list->capacity);
  return size > widening ? size - widening : 0;
}

std::size_t GrowSize(std::size_t current, std::size_t a, std::size_t b) {
  static const std::size_t kSteps[] = {16, 32, 64, 256, 1024, 4096, 16384, 32768};
  std::size_t need = a + b;
  if (need <= current) return current;
  for (std::size_t step : kSteps) {
    if (step > need) return step;
  }
  return (need | 0x7FFF) * 2 + 2;
}

NameList* CreateNameList(unsigned slots, std::size_t textBytes) {
  std::size_t capacity = GrowSize(0, 0, slots);
  if (capacity > 0xFFFF || textBytes > kNameListMaxBlock) return nullptr;
  std::size_t size = GrowSize(0, 0, kModelSlotSize * capacity + textBytes + kCreateOverhead);
  if (size > kNameListMaxBlock) return nullptr;
  return AllocateNameList(capacity, size, size - (kModelSlotSize * capacity + kModelHeaderSize + kFreeReserve));
}

NameList* FreeNameList(NameList* list) {
  if (list == nullptr) return nullptr;
  GlobalHandle handle = list->handle;
  PlatGlobalUnlock(handle);
  PlatGlobalFree(handle);
  return nullptr;
}

NameList* ClearNameList(NameList* list) {
  if (list == nullptr) return nullptr;
  std::memset(list->slots, 0, kSlotSize * list->capacity);
  list->count = 0;
  list->flags &= ~VK_NAMELIST_SORTED;
  list->next = TextStart(list);
  list->free =
      static_cast<CMC_uint32>(BlockSize(list) - kModelHeaderSize - kFreeReserve - kModelSlotSize * list->capacity);
  return list;
}

NameList* CopyNameList(const NameList* list, unsigned capacity) { return CopyWithRoom(list, capacity, 0); }

NameList* InsertName(NameList* list, const char* name, std::uint16_t position) {
  if (list == nullptr || name == nullptr) return list;
  std::size_t length = std::strlen(name);
  if (length >= kNameListMaxBlock) return list;
  if (position > list->count) position = list->count;
  if (Fits(list, length)) {
    StoreName(list, name, length, position);
    return list;
  }
  if (list->count >= 0xFFFF) return list;
  std::size_t capacity = GrowSize(list->capacity, list->count, 1);
  if (capacity > 0xFFFF) capacity = 0xFFFF;
  NameList* grown = CopyNameList(list, static_cast<unsigned>(capacity));
  if (grown != nullptr && !Fits(grown, length)) {
    // The growth rule only adds a little text room per slot; a long name
    // gets a block with room for itself.
    FreeNameList(grown);
    grown = CopyWithRoom(list, static_cast<unsigned>(capacity), length + 1);
  }
  if (grown == nullptr || !Fits(grown, length)) {
    // The growth rule jumps to 4 times the slots with 32 text bytes each,
    // which a list of 256 or 1024 names can no longer take although its
    // names would fit.  Before refusing, try the next slot step with just
    // the text the names need.
    FreeNameList(grown);
    std::size_t slots = list->count > 0 ? list->count : 1;
    grown = CopyNames(list, slots, UsedText(list) + length + 1);
  }
  if (grown == nullptr || !Fits(grown, length)) {
    FreeNameList(grown);
    return list;
  }
  // The name may live in the old block: store it before that goes.
  StoreName(grown, name, length, position);
  FreeNameList(list);
  return grown;
}

NameList* AddName(NameList* list, const char* name, unsigned mode) {
  if (list == nullptr || name == nullptr) return list;
  if ((mode & (kNameModeInsertPos | kNameModeMarkPresent)) && !IsSorted(list)) {
    SortNameList(list);
  }
  if (mode & kNameModeMarkPresent) {
    std::uint16_t position = FindName(list, name, kNameModeSortedUnique);
    if (position == kNamePresent) return list;
    return InsertName(list, name, position);
  }
  return InsertName(list, name, list->count);
}

std::uint16_t FindName(const NameList* list, const char* name, unsigned mode) {
  int found = -1;
  int insertAt = 0;
  if (list != nullptr && IsSorted(list) && list->count > 0) {
    int low = 0;
    int high = list->count - 1;
    while (low <= high) {
      int middle = (low + high) / 2;
      int order = PlatCompareNoCase(name, list->slots[middle]);
      if (order == 0) {
        found = middle;
        break;
      }
      if (order < 0) {
        high = middle - 1;
      } else {
        low = middle + 1;
      }
    }
    insertAt = low;
  } else if (list != nullptr) {
    for (int i = 0; i < list->count; i++) {
      if (PlatCompareNoCase(name, list->slots[i]) == 0) {
        found = i;
        break;
      }
    }
    insertAt = list->count;
  }
  if (found >= 0) {
    return (mode & kNameModeMarkPresent) ? kNamePresent : static_cast<std::uint16_t>(found);
  }
  return (mode & kNameModeInsertPos) ? static_cast<std::uint16_t>(insertAt) : kNameAbsent;
}

NameList* RemoveName(NameList* list, const char* name) {
  if (list == nullptr) return nullptr;
  std::uint16_t position = FindName(list, name, 0);
  if (position == kNameAbsent) return list;
  return RemoveNameAt(list, position);
}

NameList* RemoveNameAt(NameList* list, std::uint16_t position) {
  if (list == nullptr || position >= list->count) return list;
  char* gone = list->slots[position];
  std::size_t length = std::strlen(gone) + 1;
  char* after = gone + length;
  list->count--;
  std::memmove(&list->slots[position], &list->slots[position + 1], kSlotSize * (list->count - position));
  std::memmove(gone, after, static_cast<std::size_t>(list->next - after));
  for (unsigned i = 0; i < list->count; i++) {
    if (list->slots[i] > gone) list->slots[i] -= length;
  }
  list->slots[list->count] = nullptr;
  list->next -= length;
  list->free += static_cast<CMC_uint32>(length);
  return list;
}

NameList* SplitToNameList(char* text, const char* delimiters, unsigned mode) {
  if (text == nullptr || delimiters == nullptr) return nullptr;
  std::size_t length = std::strlen(text);
  if (length / 8 > 0xFFFF) return nullptr;
  NameList* list = CreateNameList(static_cast<unsigned>(length / 8), length);
  if (list == nullptr) return nullptr;
  auto isDelimiter = [delimiters](char c) { return c != '\0' && std::strchr(delimiters, c) != nullptr; };
  char* p = text;
  for (;;) {
    while (isDelimiter(*p)) p++;
    if (*p == '\0') break;
    char* item = p;
    while (*p != '\0' && !isDelimiter(*p)) p++;
    if (*p != '\0') *p++ = '\0';
    list = AddName(list, item, mode);
  }
  return list;
}

NameList* UnionNameLists(NameList* a, NameList* b, unsigned mode) {
  if (a == nullptr && b == nullptr) return CreateNameList(1, 100);
  if (a == nullptr) return CopyNameList(b, b->count);
  if (b == nullptr) return CopyNameList(a, a->count);
  if (a->count == 0) return CopyNameList(b, b->count);
  if (b->count == 0) return CopyNameList(a, a->count);

  std::size_t slots = static_cast<std::size_t>(a->count) + b->count;
  NameList* list =
      slots <= 0xFFFF ? CreateNameList(static_cast<unsigned>(slots), BlockSize(a) + BlockSize(b)) : nullptr;
  if (list == nullptr) {
    // Two large blocks may together pass the limit while their names fit.
    list = CreateAnyNameList(slots, UsedText(a) + UsedText(b));
  }
  if (list == nullptr) return nullptr;

  bool whole = true;
  if ((mode & (kNameModeInsertPos | kNameModeMarkPresent)) == 0) {
    for (unsigned i = 0; whole && i < a->count; i++) whole = AppendForUnion(&list, a->slots[i], 0);
    for (unsigned j = 0; whole && j < b->count; j++) whole = AppendForUnion(&list, b->slots[j], 0);
    return whole ? list : FreeNameList(list);
  }

  list->flags |= VK_NAMELIST_SORTED;
  if (!IsSorted(a)) SortNameList(a);
  if (!IsSorted(b)) SortNameList(b);
  unsigned i = 0;
  unsigned j = 0;
  while (whole && i < a->count && j < b->count) {
    int order = PlatCompareNoCase(a->slots[i], b->slots[j]);
    if (order <= 0) whole = AppendForUnion(&list, a->slots[i++], mode);
    if (whole && order >= 0) whole = AppendForUnion(&list, b->slots[j++], mode);
  }
  while (whole && i < a->count) whole = AppendForUnion(&list, a->slots[i++], mode);
  while (whole && j < b->count) whole = AppendForUnion(&list, b->slots[j++], mode);
  return whole ? list : FreeNameList(list);
}

void SortNameList(NameList* list) {
  if (list == nullptr) return;
  NameListSorter sorter(list);
  sorter.Sort();
  list->flags |= VK_NAMELIST_SORTED;
}

void NameListSorter::Sort() {
  if (list_ == nullptr) return;
  unsigned n = list_->count;
  if (n < 2) return;
  if (n == 2) {
    if (PlatCompareNoCase(At(2), At(1)) < 0) std::swap(At(1), At(2));
  } else if (n <= 8) {
    SelectionSort(n);
  } else {
    HeapSort(n);
  }
}

void NameListSorter::SelectionSort(unsigned n) {
  for (unsigned i = 1; i < n; i++) {
    unsigned smallest = i;
    for (unsigned k = i + 1; k <= n; k++) {
      if (PlatCompareNoCase(At(k), At(smallest)) < 0) smallest = k;
    }
    if (smallest != i) std::swap(At(i), At(smallest));
  }
}

void NameListSorter::HeapSort(unsigned n) {
  for (unsigned start = n / 2; start >= 1; start--) SiftDown(start, n, At(start));
  while (n > 1) {
    char* t = At(n);
    At(n) = At(1);
    n--;
    if (n >= 2) {
      SiftDown(1, n, t);
    } else {
      At(1) = t;
    }
  }
}

// Floyd's sift-down: the hole goes all the way to a leaf along the larger
// children, then `t` climbs back up to where it belongs.
void NameListSorter::SiftDown(unsigned start, unsigned n, char* t) {
  unsigned hole = start;
  for (unsigned child = 2 * hole; child <= n; child = 2 * hole) {
    if (child < n && PlatCompareNoCase(At(child), At(child + 1)) < 0) child++;
    At(hole) = At(child);
    hole = child;
  }
  while (hole > start && PlatCompareNoCase(t, At(hole / 2)) > 0) {
    At(hole) = At(hole / 2);
    hole /= 2;
  }
  At(hole) = t;
}

}  // namespace vk

extern "C" CMC_EXPORT void vk_free_name_list(NameList* list) { vk::FreeNameList(list); }
