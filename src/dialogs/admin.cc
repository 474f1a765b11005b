// The administrator prompt and the administer users dialog.
#include "dialogs/admin.h"

#include <cstring>
#include <new>

#include "dialogs/listbox.h"
#include "dialogs/login.h"
#include "dialogs/place.h"
#include "store/fileprim.h"
#include "store/namelist.h"
#include "users/registry.h"
#include "vkmsg/vkmsg.h"

namespace vk {

namespace {

constexpr int kNameLimit = 8;
constexpr int kPasswordLimit = 32;
constexpr int kNameRead = 64;
constexpr int kPasswordRead = 32;
// Text bytes per name of the list handed to bRemUsers.
constexpr int kRemoveTextPerName = 16;

struct AdministerUsersState {
  Dialog* dialog;
  char name[kNameRead];          // the last text read from the name field
  char password[kPasswordRead];  // the last text read from the password field
  NameList* users;               // registered users, admin never among them
  bool running;
};

AdministerUsersState g_admin;

bool IsRegistered(const AdministerUsersState* s) {
  return s->name[0] != '\0' && FindName(s->users, s->name, 0) != kNameAbsent;
}

void RefreshUserButtons(AdministerUsersState* s) {
  Dialog* d = s->dialog;
  SetDefaultButton(d, kIdOk);
  GetControlText(d, kAdminName, s->name, kNameRead);
  GetControlText(d, kAdminPassword, s->password, kPasswordRead);
  EnableControl(d, kAdminRemove, ListSelCount(d, kAdminUserList) > 0);
  bool registered = IsRegistered(s);
  EnableControl(d, kAdminChangePassword, registered && s->password[0] != '\0');
  EnableControl(d, kAdminAdd, s->name[0] != '\0' && !registered);
}

// Takes a fresh copy of the registry's users when one can be had; false
// when the dialog keeps its old one.
bool ReloadUsers(AdministerUsersState* s) {
  NameList* fresh = lpmnlGetUserList(0);
  if (!fresh) return false;
  FreeNameList(s->users);
  s->users = fresh;
  FillListBox(s->dialog, kAdminUserList, s->users);
  return true;
}

bool AddUserFromFields(AdministerUsersState* s) {
  Dialog* d = s->dialog;
  GetControlText(d, kAdminName, s->name, kNameRead);
  if (s->name[0] == '\0') return false;
  for (char* c = s->name; *c; ++c) {
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
    bool allowed = (*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9') || *c == '_';
    if (!allowed) {
      *c = '\0';
      return false;
    }
  }
  if (FindName(s->users, s->name, 0) != kNameAbsent) return false;
  GetControlText(d, kAdminPassword, s->password, kPasswordRead);
  bool added = bAddUser(s->name, s->password) != 0;
  ShowStatusMessage(d, kAdminStatus, added ? kStrUserAdded : kStrUserNotAdded);
  if (!ReloadUsers(s)) ShowStatusMessage(d, kAdminStatus, kStrNoMemoryUserList);
  ListSetSel(d, kAdminUserList, -1, false);
  SelectAllText(d, kAdminName);
  RefreshUserButtons(s);
  // A refused add keeps what was typed, so it can be corrected.
  return added;
}

// The selected names in one list for bRemUsers; null when it could not be
// built whole.
NameList* SelectedNames(Dialog* d, const int* items, int count) {
  NameList* list = CreateNameList(static_cast<unsigned>(count), static_cast<size_t>(count) * kRemoveTextPerName);
  for (int i = 0; list && i < count; ++i) {
    char text[kNameRead];
    if (GetListText(d, kAdminUserList, items[i], text, sizeof text) < 0) break;
    list = AddName(list, text, 0);
  }
  if (list && list->count != static_cast<unsigned>(count)) list = FreeNameList(list);
  return list;
}

void RemoveSelectedUsers(AdministerUsersState* s) {
  Dialog* d = s->dialog;
  int count = ListSelCount(d, kAdminUserList);
  if (count <= 0) return;
  int* items = new (std::nothrow) int[static_cast<size_t>(count)];
  if (!items) {
    ShowStatusMessage(d, kAdminStatus, kStrNoMemoryUserList);
    return;
  }
  count = ListSelItems(d, kAdminUserList, items, count);
  if (count <= 0) {
    delete[] items;
    return;
  }
  if (NameList* list = SelectedNames(d, items, count)) {
    bool removed = bRemUsers(list) != 0;
    FreeNameList(list);
    ShowStatusMessage(d, kAdminStatus, removed ? kStrUsersRemoved : kStrUsersNotRemoved);
  } else {
    // Short of memory: one at a time.
    for (int i = 0; i < count; ++i) {
      char text[kNameRead];
      if (GetListText(d, kAdminUserList, items[i], text, sizeof text) < 0 || !bRemUser(text))
        ShowStatusMessage(d, kAdminStatus, kStrNoMemoryUserList);
    }
  }
  delete[] items;
  ListSetSel(d, kAdminUserList, -1, false);
  ReloadUsers(s);
  SendCommand(d, kAdminRefresh, kBnClicked);
}

void ChangeUserPassword(AdministerUsersState* s) {
  Dialog* d = s->dialog;
  GetControlText(d, kAdminName, s->name, kNameRead);
  if (s->name[0] == '\0') return;
  GetControlText(d, kAdminPassword, s->password, kPasswordRead);
  bool changed = SetUserPassword(s->name, s->password) != 0;
  ShowStatusMessage(d, kAdminStatus, changed ? kStrPasswordChanged : kStrPasswordNotChanged);
  SetControlText(d, kAdminPassword, "");
  RefreshUserButtons(s);
}

void SelectionChanged(AdministerUsersState* s) {
  Dialog* d = s->dialog;
  int count = ListSelCount(d, kAdminUserList);
  if (count == 1) {
    int item = -1;
    ListSelItems(d, kAdminUserList, &item, 1);
    // Stored before the field is written, so the field's change finds no
    // difference and keeps the selection.
    GetListText(d, kAdminUserList, item, s->name, kNameRead);
    SetControlText(d, kAdminName, s->name);
    SetControlText(d, kAdminPassword, "");
  } else if (count > 1) {
    s->name[0] = '\0';
    SetControlText(d, kAdminName, "");
    SetControlText(d, kAdminPassword, "");
  }
}

void NameChanged(AdministerUsersState* s) {
  char previous[kNameRead];
  CopyBounded(previous, s->name, sizeof previous);
  GetControlText(s->dialog, kAdminName, s->name, kNameRead);
  if (CompareBounded(previous, s->name, 66) != 0) ListSetSel(s->dialog, kAdminUserList, -1, false);
  RefreshUserButtons(s);
}

int Command(AdministerUsersState* s, int id, int code) {
  Dialog* d = s->dialog;
  switch (id) {
    case kAdminUserList:
      if (code == kLbnSelChange) SelectionChanged(s);
      if (code == kLbnDblClk) {
        SetControlText(d, kAdminName, "");
        RefreshUserButtons(s);
      }
      return 1;
    case kAdminName:
      if (code == kEnChange) NameChanged(s);
      return 1;
    case kAdminPassword:
      if (code == kEnChange) RefreshUserButtons(s);
      return 1;
    case kAdminAdd:
      if (AddUserFromFields(s)) {
        SetControlText(d, kAdminName, "");
        SetControlText(d, kAdminPassword, "");
      } else {
        SetControlText(d, kAdminName, s->name);  // lower-cased, or cut
      }
      RefreshUserButtons(s);
      return 1;
    case kAdminRemove:
      RemoveSelectedUsers(s);
      SetControlText(d, kAdminName, "");
      SetControlText(d, kAdminPassword, "");
      RefreshUserButtons(s);
      return 1;
    case kAdminChangePassword:
      ChangeUserPassword(s);
      return 1;
    case kAdminRefresh:
      FillListBox(d, kAdminUserList, s->users);
      RefreshUserButtons(s);
      return 1;
    case kIdOk:
    case kIdCancel:
      EndDialog(d, id);
      return 1;
    default:
      return 0;
  }
}

int AdministerUsersProc(Dialog* d, int event, int id, int code, void* param) {
  AdministerUsersState* s = static_cast<AdministerUsersState*>(param);
  switch (event) {
    case kDlgInit:
      s->dialog = d;
      LimitText(d, kAdminName, kNameLimit);
      LimitText(d, kAdminPassword, kPasswordLimit);
      FillListBox(d, kAdminUserList, s->users);
      PlaceDialog(d, kPlaceCentre);
      // The buttons follow the fields from the start, not only after the
      // first change.
      RefreshUserButtons(s);
      return 1;
    case kDlgClose:
      EndDialog(d, kIdCancel);
      return 1;
    case kDlgCommand:
      return Command(s, id, code);
    default:
      return 0;
  }
}

}  // namespace

bool AskAdminPassword(UiWindow parent) {
  char name[64];
  CopyBounded(name, kAdminUser, sizeof name);
  char password[32] = "";
  return LoginDialog(parent, kAdminPasswordTemplate, name, password) == 1 && bCheckPW(kAdminUser, password);
}

void AdministerUsersDialog(UiWindow parent) {
  AdministerUsersState* s = &g_admin;
  if (s->running) return;
  s->running = true;
  s->dialog = nullptr;
  s->users = lpmnlGetUserList(0);
  s->name[0] = '\0';
  s->password[0] = '\0';
  RunDialog(parent, kAdministerUsersTemplate, AdministerUsersProc, s);
  s->users = FreeNameList(s->users);
  s->dialog = nullptr;
  s->running = false;
}

void AdministerUsersAfterPrompt(UiWindow parent) {
  if (AskAdminPassword(parent)) AdministerUsersDialog(parent);
}

}  // namespace vk
