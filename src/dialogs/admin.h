// Administration of the user registry from the dialogs: the administrator
// password prompt (template 1007) and the administer users dialog (1005),
// reached from the login dialog and from the select users dialog.
#ifndef VKMSG_DIALOGS_ADMIN_H
#define VKMSG_DIALOGS_ADMIN_H

#include "dialogs/dialog.h"

namespace vk {

// Asks for the password of user admin in dialog 1007, owned by `parent`.
// True only when the user confirmed and bCheckPW accepts admin with what
// he typed; a cancelled or wrong password shows nothing further.
bool AskAdminPassword(UiWindow parent);

// Runs dialog 1005 owned by `parent` on its own copy of the registered
// users; every change is written to the registry at once, and its outcome
// shown in the dialog's status line.  The caller refreshes its own views
// of the users afterwards.
void AdministerUsersDialog(UiWindow parent);

// The prompt, then the administer users dialog when it was passed: what
// the "Administer Users" buttons do.
void AdministerUsersAfterPrompt(UiWindow parent);

}  // namespace vk

#endif
