#include "address/namelist.h"

namespace vk {

std::size_t GrowSize(std::size_t, std::size_t, std::size_t) { return 0; }
NameList* CreateNameList(unsigned, std::size_t) { return nullptr; }
NameList* FreeNameList(NameList*) { return nullptr; }
NameList* ClearNameList(NameList* list) { return list; }
NameList* CopyNameList(const NameList*, unsigned) { return nullptr; }
NameList* InsertName(NameList* list, const char*, std::uint16_t) { return list; }
NameList* AddName(NameList* list, const char*, unsigned) { return list; }
std::uint16_t FindName(const NameList*, const char*, unsigned) { return kNameAbsent; }
NameList* RemoveName(NameList* list, const char*) { return list; }
NameList* RemoveNameAt(NameList* list, std::uint16_t) { return list; }
NameList* SplitToNameList(char*, const char*, unsigned) { return nullptr; }
NameList* UnionNameLists(NameList*, NameList*, unsigned) { return nullptr; }
void SortNameList(NameList*) {}
void NameListSorter::Sort() {}
void NameListSorter::SelectionSort(unsigned) {}
void NameListSorter::HeapSort(unsigned) {}
void NameListSorter::SiftDown(unsigned, unsigned, char*) {}
int AddToListBoxUnique(ListBoxHandle, const char*) { return 0; }
void FillListBox(ListBoxHandle, const NameList*) {}

}  // namespace vk

extern "C" CMC_EXPORT void vk_free_name_list(NameList* list) { vk::FreeNameList(list); }
