// The select-users dialog (template 1000): all names on the left, the
// chosen ones on the right, the local address book below, and on an
// administrator workstation the way into user administration.
#ifndef VK_ADDRESS_SELECT_USERS_H
#define VK_ADDRESS_SELECT_USERS_H

#include "dialogs/dialog.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// Runs the dialog owned by `owner` on copies of `all` and `chosen` (null:
// nothing chosen yet); neither input changes.  OK answers a new list of
// the names then on the right, sorted, each once (empty, never null, when
// nothing is chosen); Cancel, the close box, a template that cannot be
// shown, a missing `all` or a failed copy answer null.  The caller frees
// the result (FreeNameList).  The dialog opens where the last one closed,
// centred the first time.
NameList* SelectUsersDialog(UiWindow owner, int template_id, const NameList* all, const NameList* chosen);

// The name-entry dialog of the address book: `name` (at least 64 bytes)
// comes in as the suggestion and goes out as typed, at most 63
// characters.  1 after OK with a name, 0 otherwise.
int AddressBookNameDialog(Dialog* parent, char* name);

}  // namespace vk

#endif
