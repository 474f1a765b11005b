// Name lists into the list boxes of the library's dialogs.
#ifndef VKMSG_DIALOGS_LISTBOX_H
#define VKMSG_DIALOGS_LISTBOX_H

#include "dialogs/dialog.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// Appends `name` to the list box unless it is null or empty or the list box
// already holds an equal name; 1 when it was added, 0 otherwise (also when
// the dialog is null or memory fails).
int AddToListBoxUnique(DialogRun* dialog, int listBox, const char* name);

// Replaces the list box's contents with the list's names in list order,
// with redrawing off meanwhile; nothing happens for a null dialog or list.
void FillListBox(DialogRun* dialog, int listBox, const NameList* list);

}  // namespace vk

#endif
