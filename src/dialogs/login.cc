// The login dialog and the administrator password prompt, one procedure
// for templates 1001, 1006 and 1007.
#include "dialogs/login.h"

#include "dialogs/admin.h"
#include "dialogs/password.h"
#include "dialogs/place.h"
#include "platform/profile.h"
#include "store/config.h"
#include "users/registry.h"
#include "vkmsg/vkmsg.h"

namespace vk {

namespace {

// The field texts are read into 64 and 32 characters.
constexpr int kNameRead = 64;
constexpr int kPasswordRead = 32;
constexpr int kNameLimit = 8;
constexpr int kPasswordLimit = 32;

LoginDialogState* g_current = nullptr;

bool IsAdminWorkstation() { return PlatGetProfileInt(nullptr, kLogonSection, kAdminWorkstationKey, 0) != 0; }

void LowerCase(char* s) {
  for (; *s; ++s) {
    if (*s >= 'A' && *s <= 'Z') *s = static_cast<char>(*s - 'A' + 'a');
  }
}

void RefreshLoginButton(LoginDialogState* s) {
  EnableControl(s->dialog, kIdOk, GetControlText(s->dialog, kLoginName, nullptr, 0) > 0);
}

int LoginProc(Dialog* d, int event, int id, int, void* param) {
  LoginDialogState* s = static_cast<LoginDialogState*>(param);
  switch (event) {
    case kDlgInit:
      s->dialog = d;
      s->has_name_field = HasControl(d, kLoginName);
      if (HasControl(d, kLoginAdminister)) {
        bool admin = IsAdminWorkstation();
        ShowControl(d, kLoginAdminister, admin);
        EnableControl(d, kLoginAdminister, admin);
      }
      if (s->has_name_field) {
        LimitText(d, kLoginName, kNameLimit);
        SetControlText(d, kLoginName, s->name);
      }
      SetControlText(d, kLoginPassword, s->password);
      LimitText(d, kLoginPassword, kPasswordLimit);
      PlaceDialog(d, kPlaceCentre);
      return 1;
    case kDlgClose:
      EndDialog(d, kIdCancel);
      return 1;
    case kDlgCommand:
      break;
    default:
      return 0;
  }
  switch (id) {
    case kLoginName:
      RefreshLoginButton(s);
      return 1;
    case kIdOk:
      // The default button answers the Enter key even while disabled.
      if (!IsControlEnabled(d, kIdOk)) return 1;
      if (s->has_name_field) GetControlText(d, kLoginName, s->name, kNameRead);
      GetControlText(d, kLoginPassword, s->password, kPasswordRead);
      s->result = 1;
      EndDialog(d, kIdOk);
      return 1;
    case kIdCancel:
      s->result = 0;
      EndDialog(d, kIdCancel);
      return 1;
    case kLoginChangePassword:
      if (s->has_name_field) GetControlText(d, kLoginName, s->name, kNameRead);
      // The dialog stores the new password itself, so that a refused write
      // is said while the user can still retry.
      ChangePasswordDialog(DialogWindow(d), s->name, SetUserPassword);
      return 1;
    case kLoginAdminister:
      AdministerUsersAfterPrompt(DialogWindow(d));
      return 1;
    default:
      return 0;
  }
}

}  // namespace

int LoginDialog(UiWindow parent, int template_id, char* name, char* password) {
  if (!name || !password) return 0;
  LoginDialogState s;
  s.template_id = template_id;
  s.name = name;
  s.password = password;
  s.parent = parent;
  s.dialog = nullptr;
  s.has_name_field = false;
  s.result = 0;
  s.previous = g_current;
  g_current = &s;
  RunDialog(parent, template_id, LoginProc, &s);
  LowerCase(name);
  LowerCase(password);
  g_current = s.previous;
  return s.result;
}

const LoginDialogState* CurrentLoginDialog() { return g_current; }

int LogonTemplate() { return IsAdminWorkstation() ? kLoginAdminTemplate : kLoginTemplate; }

}  // namespace vk
