#include "dialogs/listbox.h"

#include <cstddef>

#include "platform/memory.h"
#include "platform/text.h"

namespace vk {

int AddToListBoxUnique(DialogRun* dialog, int listBox, const char* name) {
  if (dialog == nullptr || name == nullptr || name[0] == '\0') return 0;
  int entries = ListCount(dialog, listBox);
  for (int i = 0; i < entries; i++) {
    int length = ListTextLength(dialog, listBox, i);
    if (length < 0) continue;
    char small[64];
    char* text = small;
    GlobalHandle block = nullptr;
    if (length >= static_cast<int>(sizeof small)) {
      block = PlatGlobalAlloc(kGmemMoveable | kGmemZeroInit, static_cast<std::size_t>(length) + 2);
      text = static_cast<char*>(PlatGlobalLock(block));
      if (text == nullptr) {
        if (block != nullptr) PlatGlobalFree(block);
        return 0;
      }
    }
    int size = block != nullptr ? length + 2 : static_cast<int>(sizeof small);
    bool equal = GetListText(dialog, listBox, i, text, size) >= 0 && PlatCompareNoCase(text, name) == 0;
    if (block != nullptr) {
      PlatGlobalUnlock(block);
      PlatGlobalFree(block);
    }
    if (equal) return 0;
  }
  return ListAdd(dialog, listBox, name) >= 0 ? 1 : 0;
}

void FillListBox(DialogRun* dialog, int listBox, const NameList* list) {
  if (dialog == nullptr || list == nullptr) return;
  SetRedraw(dialog, listBox, false);
  ListReset(dialog, listBox);
  for (unsigned i = 0; i < list->count; i++) {
    ListAdd(dialog, listBox, list->slots[i]);
  }
  SetRedraw(dialog, listBox, true);
}

}  // namespace vk
