// The in-memory dialog: a copy of the template's controls that a driver
// plays through the automation interface (automation.cc), as the user
// would play the real one.
#ifndef VKMSG_DIALOGS_DIALOG_MEMORY_H
#define VKMSG_DIALOGS_DIALOG_MEMORY_H

#include <string>
#include <vector>

#include "dialogs/dialog_impl.h"
#include "vkmsg/vkmsg.h"

namespace vk {

struct MemControl {
  int id;
  UiControlKind kind;
  unsigned long style;
  std::string text;
  bool enabled;
  bool visible;
  int limit;  // the most characters the user may type
  std::vector<std::string> items;
  std::vector<char> selected;
};

struct MemDialog {
  std::string caption;
  std::vector<MemControl> controls;  // in template (tab) order
  int left, top;
  int focus;  // the id of the control holding the focus, 0 for none
};

void SetMemoryDialogDriver(VkDialogDriver driver, void* context);

// The running in-memory dialog a driver's handle names, null when it names
// none (the handle outlives its dialog).
DialogRun* LiveMemoryDialog(VkDialog* handle);
// The control of that id, null without one (id -1, the caption, is none).
MemControl* FindMemControl(DialogRun* d, int id);
bool IsMultiSelect(const MemControl& c);
// Sends the control's notification `code`, unless a list box without
// kLbsNotify would keep it to itself.
void NotifyMemControl(DialogRun* d, const MemControl& c, int code);
// Moves the focus to a list box, as a click into it would.
void FocusMemList(DialogRun* d, const MemControl& c);

}  // namespace vk

#endif
