// The change password dialog (template 1004): a user proves his old
// password and types the new one twice.
#ifndef VKMSG_DIALOGS_PASSWORD_H
#define VKMSG_DIALOGS_PASSWORD_H

#include "dialogs/dialog.h"

namespace vk {

// Stores a confirmed new password for a user; 1 when it was stored.
using PasswordStore = int (*)(const char* user, const char* password);

// Runs dialog 1004 for `user`, owned by `parent`.  Answers the new password
// (a buffer of this dialog, valid until its next run) or null when nothing
// was changed; a null user answers null without showing anything.  With a
// `store`, an accepted password is handed to it before the dialog closes;
// when it is refused the dialog says so and stays open.
const char* ChangePasswordDialog(UiWindow parent, const char* user, PasswordStore store = nullptr);

}  // namespace vk

#endif
