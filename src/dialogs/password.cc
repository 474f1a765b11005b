// The change password dialog: the old password is checked as at logon, the
// new one must be typed twice alike and be at least 6 characters long.
#include "dialogs/password.h"

#include <cstring>

#include "dialogs/place.h"
#include "platform/text.h"
#include "vkmsg/vkmsg.h"

namespace vk {

namespace {

constexpr int kFieldLimit = 32;
constexpr int kShortest = 6;

struct ChangePasswordState {
  const char* user;
  char new_password[36];
  UiWindow parent;
  PasswordStore store;
  bool changed;
};

ChangePasswordState g_change;

// Refusals leave every field as typed and the dialog open.
void Change(Dialog* d, ChangePasswordState* s) {
  char old_password[32];
  GetControlText(d, kChangeOld, old_password, sizeof old_password);
  if (!bCheckPW(s->user, old_password)) {
    ShowStatusMessage(d, kChangeStatus, kStrOldPasswordWrong);
    return;
  }
  // The repeat is read two characters longer, so a new password longer
  // than the 31 that are kept never matches its repeat.
  char again[34];
  GetControlText(d, kChangeNew, s->new_password, 32);
  GetControlText(d, kChangeAgain, again, sizeof again);
  if (PlatCompareNoCase(s->new_password, again) != 0) {
    ShowStatusMessage(d, kChangeStatus, kStrNewPasswordsDiffer);
    return;
  }
  if (std::strlen(again) < kShortest) {
    ShowStatusMessage(d, kChangeStatus, kStrNewPasswordShort);
    return;
  }
  if (s->store && !s->store(s->user, s->new_password)) {
    ShowStatusMessage(d, kChangeStatus, kStrPasswordNotChanged);
    return;
  }
  s->changed = true;
  EndDialog(d, kIdOk);
}

int ChangePasswordProc(Dialog* d, int event, int id, int code, void* param) {
  ChangePasswordState* s = static_cast<ChangePasswordState*>(param);
  if (event == kDlgInit) {
    LimitText(d, kChangeOld, kFieldLimit);
    LimitText(d, kChangeNew, kFieldLimit);
    LimitText(d, kChangeAgain, kFieldLimit);
    PlaceDialog(d, kPlaceCentre);
    return 1;
  }
  if (event == kDlgClose || (event == kDlgCommand && id == kIdCancel)) {
    EndDialog(d, kIdCancel);
    return 1;
  }
  if (event == kDlgCommand && id == kIdOk && code == kBnClicked) {
    Change(d, s);
    return 1;
  }
  return 0;
}

}  // namespace

const char* ChangePasswordDialog(UiWindow parent, const char* user, PasswordStore store) {
  ChangePasswordState* s = &g_change;
  s->user = user;
  s->parent = parent;
  s->store = store;
  std::memset(s->new_password, 0, sizeof s->new_password);
  s->changed = false;
  if (!user) return nullptr;
  RunDialog(parent, kChangePasswordTemplate, ChangePasswordProc, s);
  return s->changed ? s->new_password : nullptr;
}

}  // namespace vk
