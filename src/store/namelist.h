// Name lists: every collection of names in the library (registered users,
// directory scans, header field items, look-up results, list box contents)
// is one NameList, a single locked block of movable, shareable global memory
// that holds its header, the slot array and the packed names.  Because the
// block carries its own handle it can cross the export boundary and be freed
// by the host.
//
// Operations that may enlarge a list take the list and return the list to
// use afterwards: the same address, or a new block after the old one was
// freed.  A list starts within 64 KB and grows past it when it must (its
// 16-bit count and 32-bit free field allow that; a host that reads lists by
// their fields needs nothing more).  When a list cannot grow (65,535 names,
// a name of 64 KB or more, or memory fails) the old list comes back without
// the new name; callers that must know compare the count.
//
// All comparisons (equality, search order, sort order) are the platform's
// case-insensitive comparison, PlatCompareNoCase.
#ifndef VKMSG_STORE_NAMELIST_H
#define VKMSG_STORE_NAMELIST_H

#include <cstddef>
#include <cstdint>

#include "vkmsg/vkmsg.h"

namespace vk {

// Allocation flags of every list block: movable, zero-initialised, shareable.
constexpr unsigned kNameListAllocFlags = 0x2042;
// No list that CreateNameList makes is larger than this; copies, unions
// and growth pass it when their names need more.
constexpr std::size_t kNameListMaxBlock = 65536;

// FindName results besides a position.
constexpr std::uint16_t kNameAbsent = 0xFFFF;   // -1
constexpr std::uint16_t kNamePresent = 0xFFFE;  // -2

// Mode bits.  FindName: kNameModeInsertPos makes an absent name answer its
// insertion position, kNameModeMarkPresent makes a present name answer
// kNamePresent.  AddName: 0 appends; 2 or 3 inserts in sorted position unless
// an equal name is present.  UnionNameLists: either bit merges in sorted
// order, bit 1 also collapses equal names.
constexpr unsigned kNameModeAppend = 0;
constexpr unsigned kNameModeInsertPos = 1;
constexpr unsigned kNameModeMarkPresent = 2;
constexpr unsigned kNameModeSortedUnique = 3;

// Size rule of lists and their slot arrays: need = a + b; need <= current
// keeps current; otherwise the smallest of 16, 32, 64, 256, 1024, 4096,
// 16384, 32768 strictly greater than need; a need of 32768 or more gives
// (need | 0x7FFF) * 2 + 2 (which no list block can take).
std::size_t GrowSize(std::size_t current, std::size_t a, std::size_t b);

// The block size the size rules count with: the block's real size on
// 32-bit targets, less the extra bytes of wider pointers elsewhere.  0 for
// null.
std::size_t NameListBlockSize(const NameList* list);

// A new empty list with GrowSize(0, 0, slots) slots and room for at least
// `textBytes` bytes of names; null when the block would pass
// kNameListMaxBlock or memory fails.  (8, 512) gives 16 slots in 1024 bytes,
// (0, 0) no slots in 64 bytes.
NameList* CreateNameList(unsigned slots, std::size_t textBytes);
// The same, past kNameListMaxBlock when the names need it (a list of
// thousands of users): the same layout in a larger block.  Null only when
// memory fails or more than 65,535 slots are asked for.
NameList* CreateAnyNameList(std::size_t slots, std::size_t bytes);

// Unlocks and frees the list's block; always returns null.  Null is allowed.
NameList* FreeNameList(NameList* list);

// Empties the list in place (count 0, slots null, sorted flag cleared, the
// whole text area free).  Null is allowed and returned.
NameList* ClearNameList(NameList* list);

// A new list holding the first min(n, count) names of `list` in order, where
// n = capacity, or the list's count when capacity is 0.  It is created for n
// slots (which the creation rounds up) and the old text plus 32 bytes per
// slot beyond the count, past 64 KB when that needs more.  The copy is not
// flagged sorted.  Null for a null list or when memory fails.
NameList* CopyNameList(const NameList* list, unsigned capacity);

// Stores a copy of `name` at `position` (0..count; a larger position
// appends).  When the slots or the text area are full the list is copied
// into a larger block by CopyNameList(list, GrowSize(capacity, count, 1))
// (at most 65,535 slots),
// with more text room when a long name needs it, or, when the block that
// rule asks for is too large, into the next slot step with just the text
// needed; the grown list is not flagged sorted.  Otherwise the sorted flag
// stays only while the names remain in order.  A null list or name, or a
// list that cannot grow, is returned unchanged (no name stored).  `name` may
// point into the list itself.
NameList* InsertName(NameList* list, const char* name, std::uint16_t position);

// Mode 0 appends; with bit 1 the name goes to its sorted position unless an
// equal name is present (then the list comes back unchanged).  With bit 0 or
// 1 an unsorted list is sorted first.
NameList* AddName(NameList* list, const char* name, unsigned mode);

// The position of the first equal name, or kNameAbsent.  Mode bit 0: an
// absent name answers its insertion position instead.  Mode bit 1: a
// present name answers kNamePresent instead.  Binary search on a list
// flagged sorted, linear otherwise (insertion position = count).  A null list
// counts as empty.
std::uint16_t FindName(const NameList* list, const char* name, unsigned mode);

// Removes the first equal name, if any.
NameList* RemoveName(NameList* list, const char* name);

// Removes the name at `position`, closing the gap in the slots and the text
// area; the sorted flag stays.  A position at or beyond the count changes
// nothing.
NameList* RemoveNameAt(NameList* list, std::uint16_t position);

// A new list of the items of `text` in order, each stored with
// AddName(mode).  Runs of delimiter characters separate items; there are no
// empty items.  The text is cut in place (its delimiters are overwritten with
// zero bytes), so pass a copy you own.  Null when text or delimiters are null
// or memory fails.
NameList* SplitToNameList(char* text, const char* delimiters, unsigned mode);

// A new list with the names of both lists; neither input is freed.  Mode 0:
// all of a, then all of b.  Mode bit 0 or 1: the inputs are sorted in place
// if needed and merged ascending (equal names a's first); with bit 1 a name
// equal to the one stored before it is dropped.  Both null gives an empty
// list; one null or empty gives a plain copy of the other.  The result may
// pass 64 KB.  Null when memory fails or the names would pass 65,535: never
// a list short of a name.
NameList* UnionNameLists(NameList* a, NameList* b, unsigned mode);

// Sorts the list ascending in place and flags it sorted; null is left alone.
void SortNameList(NameList* list);

// The sorter behind SortNameList: selection sort for up to 8 names, heap
// sort (Floyd's sift-down) above.  Neither is stable.  It does not touch the
// sorted flag.
class NameListSorter {
 public:
  explicit NameListSorter(NameList* list) : list_(list) {}
  NameListSorter(const NameListSorter&) = delete;
  NameListSorter& operator=(const NameListSorter&) = delete;

  virtual void Sort();

 protected:
  // 1-based access to the slots.
  char*& At(unsigned position) { return list_->slots[position - 1]; }
  void SelectionSort(unsigned n);
  void HeapSort(unsigned n);
  void SiftDown(unsigned start, unsigned n, char* t);

  NameList* list_;
};

}  // namespace vk

#endif
