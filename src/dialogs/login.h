// The login dialog: user name and password at logon (templates 1001 and
// 1006) and the administrator password prompt (template 1007).
#ifndef VKMSG_DIALOGS_LOGIN_H
#define VKMSG_DIALOGS_LOGIN_H

#include "dialogs/dialog.h"

namespace vk {

// The record of one running LoginDialog; runs nest (the administrator prompt
// runs inside a login dialog) and each remembers the one it replaced.
struct LoginDialogState {
  int template_id;  // 1001, 1006 or 1007
  char* name;       // caller's buffer, at least 64 characters
  char* password;   // caller's buffer, at least 32 characters
  UiWindow parent;
  Dialog* dialog;  // the running dialog (its fields are 1501, 1502, 1)
  bool has_name_field;
  int result;  // 1 once "&Login" / "OK" was pressed
  LoginDialogState* previous;
};

// Runs the dialog `template_id` owned by `parent`.  1 when the user
// confirmed, 0 when he cancelled or closed it (or a buffer is null, in
// which case nothing is shown).  On return both buffers are lower-cased.
// The confirmed name holds at most 63 characters, the password at most 31.
int LoginDialog(UiWindow parent, int template_id, char* name, char* password);

// The innermost running login dialog, null when none runs.
const LoginDialogState* CurrentLoginDialog();

// The template a logon shows: 1001 on an administrator workstation
// (WIN.INI [MAIL] IsVeskAdmin non-zero), else 1006.
int LogonTemplate();

}  // namespace vk

#endif
