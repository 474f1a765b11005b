// The select-users dialog and the address book's name entry.
#include "address/select_users.h"

#include <new>

#include "address/local_ab.h"
#include "cmc/session.h"
#include "dialogs/admin.h"
#include "dialogs/listbox.h"
#include "dialogs/place.h"
#include "platform/profile.h"
#include "store/config.h"
#include "store/fileprim.h"
#include "store/namelist.h"

namespace vk {

namespace {

// Names move through the list boxes in buffers of this size.
constexpr int kNameBuffer = 64;
constexpr unsigned kChosenSlots = 16;
constexpr unsigned kChosenBytes = 1024;
// The dialog's result when OK could not rebuild the chosen list.
constexpr int kResultNoMemory = 3;

struct SelectState {
  Dialog* dialog;
  NameList* all;
  NameList* chosen;
};

bool IsAdminWorkstation() { return PlatGetProfileInt(nullptr, kLogonSection, kAdminWorkstationKey, 0) != 0; }

// The selected indices of list `id`, ascending, in a block the caller
// frees; null (count 0) when nothing is selected or memory fails.
int* SelectedItems(Dialog* d, int id, int* count) {
  *count = 0;
  int n = ListSelCount(d, id);
  if (n <= 0) return nullptr;
  int* items = new (std::nothrow) int[static_cast<size_t>(n)];
  if (!items) return nullptr;
  *count = ListSelItems(d, id, items, n);
  return items;
}

// "Remove" serves only names of the address book, the registered users
// are the administrator's.
bool SelectionInAddressBook(Dialog* d) {
  int count = 0;
  int* items = SelectedItems(d, kSelectAll, &count);
  bool any = false;
  char name[kNameBuffer];
  for (int i = 0; i < count && !any; ++i) {
    any = GetListText(d, kSelectAll, items[i], name, sizeof name) >= 0 && IsInAddressBook(name);
  }
  delete[] items;
  return any;
}

void UpdateButtons(Dialog* d) {
  EnableControl(d, kSelectInclude, ListSelCount(d, kSelectAll) > 0);
  EnableControl(d, kSelectExclude, ListSelCount(d, kSelectChosen) > 0);
  EnableControl(d, kSelectBookRemove, SelectionInAddressBook(d));
}

void ClearSelections(Dialog* d) {
  ListSetSel(d, kSelectAll, -1, false);
  ListSetSel(d, kSelectChosen, -1, false);
  UpdateButtons(d);
}

void Include(Dialog* d) {
  int count = 0;
  int* items = SelectedItems(d, kSelectAll, &count);
  if (!items) return;
  char name[kNameBuffer];
  for (int i = 0; i < count; ++i) {
    if (GetListText(d, kSelectAll, items[i], name, sizeof name) >= 0) AddToListBoxUnique(d, kSelectChosen, name);
  }
  delete[] items;
  ClearSelections(d);
}

void Exclude(Dialog* d) {
  int count = 0;
  int* items = SelectedItems(d, kSelectChosen, &count);
  if (!items) return;
  SetRedraw(d, kSelectChosen, false);
  for (int i = count - 1; i >= 0; --i) ListDelete(d, kSelectChosen, items[i]);
  SetRedraw(d, kSelectChosen, true);
  delete[] items;
  ClearSelections(d);
}

// The left list anew from the registered users and the address book; the
// old one stays when the new one cannot be had.
void ReloadAll(SelectState* s) {
  NameList* fresh = LoadAddressList();
  if (!fresh) return;
  FreeNameList(s->all);
  s->all = fresh;
  FillListBox(s->dialog, kSelectAll, s->all);
  UpdateButtons(s->dialog);
}

// The registered users may have changed.
void AdministerUsers(SelectState* s) {
  if (!AskAdminPassword(DialogWindow(s->dialog))) return;
  AdministerUsersDialog(DialogWindow(s->dialog));
  ReloadAll(s);
}

void AddToBook(SelectState* s) {
  char name[kNameBuffer] = "";
  GetControlText(s->dialog, kSelectBookName, name, sizeof name);
  if (!AddressBookNameDialog(s->dialog, name)) return;
  // A name the book refuses could not be delivered to either.
  if (!AddAddressBookName(name)) return;
  AddToListBoxUnique(s->dialog, kSelectChosen, name);
  SetControlText(s->dialog, kSelectBookName, "");
  ReloadAll(s);
}

void RemoveFromBook(SelectState* s) {
  int count = 0;
  int* items = SelectedItems(s->dialog, kSelectAll, &count);
  char name[kNameBuffer];
  for (int i = 0; i < count; ++i) {
    if (GetListText(s->dialog, kSelectAll, items[i], name, sizeof name) >= 0 && IsInAddressBook(name)) {
      RemoveAddressBookName(name);
    }
  }
  delete[] items;
  ReloadAll(s);
}

void RememberPosition(Dialog* d) {
  int left = 0, top = 0;
  if (!GetDialogRect(d, &left, &top, nullptr, nullptr)) return;
  Session().dialog_left = left;
  Session().dialog_top = top;
}

void Finish(SelectState* s) {
  Dialog* d = s->dialog;
  s->chosen = ClearNameList(s->chosen);
  bool complete = true;
  int n = ListCount(d, kSelectChosen);
  char name[kNameBuffer];
  for (int i = 0; i < n && complete; ++i) {
    if (GetListText(d, kSelectChosen, i, name, sizeof name) < 0) continue;
    // A list that cannot grow comes back without the name.
    s->chosen = AddName(s->chosen, name, kNameModeSortedUnique);
    complete = FindName(s->chosen, name, 0) != kNameAbsent;
  }
  RememberPosition(d);
  EndDialog(d, complete ? kIdOk : kResultNoMemory);
}

void Open(SelectState* s, Dialog* d) {
  s->dialog = d;
  bool admin = IsAdminWorkstation();
  ShowControl(d, kSelectAdminister, admin);
  EnableControl(d, kSelectAdminister, admin);
  for (unsigned i = 0; i < s->all->count; ++i) AddToListBoxUnique(d, kSelectAll, s->all->slots[i]);
  for (unsigned i = 0; i < s->chosen->count; ++i) AddToListBoxUnique(d, kSelectChosen, s->chosen->slots[i]);
  LimitText(d, kSelectBookName, kNameBuffer - 1);
  UpdateButtons(d);
  SetFocusControl(d, kSelectAll);
  if (Session().dialog_left == -1 && Session().dialog_top == -1) {
    PlaceDialog(d, kPlaceCentre);
  } else {
    PlaceDialog(d, kPlaceAt, Session().dialog_left, Session().dialog_top);
  }
}

int ListCommand(Dialog* d, int id, int code) {
  int other = id == kSelectAll ? kSelectChosen : kSelectAll;
  switch (code) {
    case kLbnSelChange:
      UpdateButtons(d);
      return 1;
    case kLbnDblClk:
      id == kSelectAll ? Include(d) : Exclude(d);
      return 1;
    case kLbnSetFocus:
      ListSetSel(d, other, -1, false);
      UpdateButtons(d);
      return 1;
    default:
      return 0;
  }
}

int SelectProc(Dialog* d, int event, int id, int code, void* param) {
  SelectState* s = static_cast<SelectState*>(param);
  if (event == kDlgInit) {
    Open(s, d);
    return 1;
  }
  if (event != kDlgCommand) return 0;
  switch (id) {
    case kSelectAll:
    case kSelectChosen:
      return ListCommand(d, id, code);
    case kSelectInclude:
      Include(d);
      return 1;
    case kSelectExclude:
      Exclude(d);
      return 1;
    case kSelectAdminister:
      AdministerUsers(s);
      return 1;
    case kSelectBookAdd:
      AddToBook(s);
      return 1;
    case kSelectBookRemove:
      RemoveFromBook(s);
      return 1;
    case kSelectRefresh:
      ReloadAll(s);
      return 1;
    case kIdOk:
      Finish(s);
      return 1;
    case kIdCancel:
      RememberPosition(d);
      EndDialog(d, kIdCancel);
      return 1;
    default:
      return 0;
  }
}

struct NameEntry {
  char* name;
  int result;
};

int NameEntryProc(Dialog* d, int event, int id, int, void* param) {
  NameEntry* e = static_cast<NameEntry*>(param);
  if (event == kDlgInit) {
    LimitText(d, kNameEntryField, kNameBuffer - 1);
    SetControlText(d, kNameEntryField, e->name);
    EnableControl(d, kIdOk, e->name[0] != '\0');
    SetFocusControl(d, kNameEntryField);
    return 1;
  }
  if (event != kDlgCommand) return 0;
  switch (id) {
    case kNameEntryField:
      EnableControl(d, kIdOk, GetControlText(d, kNameEntryField, nullptr, 0) > 0);
      return 1;
    case kIdOk:
      if (!IsControlEnabled(d, kIdOk)) return 1;
      GetControlText(d, kNameEntryField, e->name, kNameBuffer);
      e->result = 1;
      EndDialog(d, kIdOk);
      return 1;
    case kIdCancel:
      EndDialog(d, kIdCancel);
      return 1;
    default:
      return 0;
  }
}

}  // namespace

int AddressBookNameDialog(Dialog* parent, char* name) {
  if (!name) return 0;
  NameEntry e{name, 0};
  RunDialog(DialogWindow(parent), kNameEntryTemplate, NameEntryProc, &e);
  return e.result && name[0] != '\0';
}

NameList* SelectUsersDialog(UiWindow owner, int template_id, const NameList* all, const NameList* chosen) {
  if (!all) return nullptr;
  SelectState s{nullptr, CopyNameList(all, all->count), nullptr};
  if (!s.all) return nullptr;
  s.chosen = chosen ? CopyNameList(chosen, chosen->count) : CreateNameList(kChosenSlots, kChosenBytes);
  if (!s.chosen) {
    FreeNameList(s.all);
    return nullptr;
  }
  int result = RunDialog(owner, template_id, SelectProc, &s);
  FreeNameList(s.all);
  if (result == kIdOk) return s.chosen;
  FreeNameList(s.chosen);
  return nullptr;
}

}  // namespace vk
