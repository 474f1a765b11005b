// The locate dialog, the setup confirmation, and the configuration's fall
// back on them.
#include "dialogs/locate.h"

#include <cctype>
#include <cstring>

#include "cmc/guard.h"
#include "dialogs/place.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "store/config.h"
#include "store/fileprim.h"
#include "store/paths.h"
#include "vkmsg/vkmsg.h"

namespace vk {

namespace {

char g_chosen[kPathMax];

struct Browser {
  char current[kPathMax];
  bool chosen;
  bool moving;  // our own write into 1088 is no request to move
};

bool IsRoot(const char* dir) {
  size_t n = std::strlen(dir);
  if (n == 1) return IsPathSep(dir[0]);
  return n == 3 && dir[1] == ':' && IsPathSep(dir[2]);
}

void FillDirectories(Dialog* d, const char* dir) {
  SetRedraw(d, kLocateDirList, false);
  ListReset(d, kLocateDirList);
  if (!IsRoot(dir)) ListAdd(d, kLocateDirList, "..");
  char pattern[kPathMax];
  CopyBounded(pattern, dir, kPathMax);
  if (PathFits(pattern, "*.*")) {
    AppendBounded(pattern, "*.*", kPathMax);
    DirEntry e;
    SearchHandle h = PlatFindFirst(pattern, &e);
    for (bool more = h != nullptr; more; more = PlatFindNext(h, &e)) {
      if ((e.attributes & kAttrDirectory) && !(e.attributes & (kAttrHidden | kAttrSystem))) {
        ListAdd(d, kLocateDirList, e.long_name);
      }
    }
    if (h) PlatFindClose(h);
  }
  SetRedraw(d, kLocateDirList, true);
}

// An empty name is no directory (callers empty one too long to hold).
void UpdateButtons(Dialog* d, const char* dir) {
  bool tree = dir[0] != '\0' && isVeskMsgDir(dir) != 0;
  EnableControl(d, kIdOk, tree);
  EnableControl(d, kLocateSetup, dir[0] != '\0' && !tree);
}

// What 1088 shows, into `out` (kPathMax); empty when it is too long to hold.
const char* Shown(Dialog* d, char* out) {
  if (GetControlText(d, kLocateDirectory, out, kPathMax) >= static_cast<int>(kPathMax)) out[0] = '\0';
  return out;
}

// The buttons follow what 1088 shows.
void UpdateFromShown(Dialog* d) {
  char shown[kPathMax];
  UpdateButtons(d, Shown(d, shown));
}

// The directory OK and Setup take: the platform's browser shows it in 1088;
// the library's own keeps it.
const char* Current(Dialog* d, Browser* b) {
  if (DialogIsPlatformBrowser(d)) Shown(d, b->current);
  return b->current;
}

// Moves the browser to `dir` when it is an existing directory; the
// buttons follow `dir` either way.  What the user is typing into 1088 stays
// as typed.
void MoveTo(Dialog* d, Browser* b, const char* dir, bool typed) {
  char next[kPathMax];
  CopyBounded(next, dir, kPathMax);
  if (next[0] != '\0' && DirExists(next) && CanonicalDir(next)) {
    CopyBounded(b->current, next, kPathMax);
    if (!typed) {
      b->moving = true;
      SetControlText(d, kLocateDirectory, b->current);
      b->moving = false;
    }
    FillDirectories(d, b->current);
  }
  UpdateButtons(d, next);
}

int LocateSetup(UiWindow parent, const char* directory) {
  return ConfirmSetup(parent, directory) == 1 && bSetupMHSDirs(directory) == 1 ? 1 : 0;
}

void Enter(Dialog* d, Browser* b, int index) {
  char name[kPathMax];
  if (GetListText(d, kLocateDirList, index, name, sizeof name) < 0) return;
  char next[kPathMax];
  CopyBounded(next, b->current, kPathMax);
  if (std::strcmp(name, "..") == 0) {
    StripSlash(next);
    char* cut = next + std::strlen(next);
    while (cut > next && !IsPathSep(cut[-1])) --cut;
    *cut = '\0';
  } else {
    if (!PathFits(next, name)) return;
    AppendBounded(next, name, kPathMax);
  }
  MoveTo(d, b, next, false);
}

void Choose(Dialog* d, Browser* b) {
  CopyBounded(g_chosen, Current(d, b), kPathMax);
  b->chosen = true;
  EndDialog(d, kIdOk);
}

// Written once for both browsers.  The platform's moves by itself and tells
// of it (kDlgBrowse); what the procedure handles, the hook keeps from it.
int BrowserProc(Dialog* d, int event, int id, int code, void* param) {
  Browser* b = static_cast<Browser*>(param);
  const bool platform = DialogIsPlatformBrowser(d);
  if (event == kDlgInit) {
    if (platform) {
      UpdateButtons(d, Current(d, b));
    } else {
      ShowControl(d, kLocateDrives, false);
      ShowControl(d, kLocateDrivesLabel, false);
      MoveTo(d, b, b->current, false);
    }
    if (!isVeskMsgDir(b->current)) {
      SetDefaultButton(d, kLocateOffline);
      SetFocusControl(d, kLocateOffline);
    }
    PlaceDialog(d, kPlaceCentre);
    return 1;
  }
  if (event == kDlgBrowse) {
    UpdateFromShown(d);
    return 1;
  }
  if (event != kDlgCommand) return 0;
  switch (id) {
    case kLocateDirectory:
      if (platform) return 0;
      if (code == kEnChange && !b->moving) {
        char typed[kPathMax];
        GetControlText(d, kLocateDirectory, typed, sizeof typed);
        MoveTo(d, b, typed, true);
      }
      return 1;
    case kLocateDirList:
      // The platform's browser may not have shown the new directory yet.
      if (code == kLbnSetFocus) {
        PostCommand(d, kLocateUpdate, kBnClicked);
        return 1;
      }
      if (platform) return 0;
      if (code == kLbnDblClk) {
        int index = -1;
        if (ListSelItems(d, kLocateDirList, &index, 1) == 1) Enter(d, b, index);
      }
      return 1;
    case kLocateUpdate:
      UpdateFromShown(d);
      return 1;
    case kIdOk:
      if (IsControlEnabled(d, kIdOk)) Choose(d, b);
      return 1;
    case kLocateSetup:
      if (IsControlEnabled(d, kLocateSetup) && LocateSetup(DialogWindow(d), Current(d, b))) {
        UpdateButtons(d, b->current);
        Choose(d, b);
      }
      return 1;
    case kLocateOffline:
    case kIdCancel:
      EndDialog(d, 0);
      return 1;
    default:
      return 0;
  }
}

struct Confirm {
  const char* directory;
};

int ConfirmProc(Dialog* d, int event, int id, int, void* param) {
  if (event == kDlgInit) {
    SetControlText(d, kConfirmPath, static_cast<Confirm*>(param)->directory);
    PlaceDialog(d, kPlaceCentre);
    return 1;
  }
  if (event != kDlgCommand || (id != kIdOk && id != kIdCancel)) return 0;
  EndDialog(d, id);
  return 1;
}

bool HoldsMhsMail(const char* path) {
  const size_t want = std::strlen(kMhsMailDir);
  for (size_t i = 0; path[i] != '\0'; ++i) {
    size_t k = 0;
    while (k < want && path[i + k] != '\0' &&
           (IsPathSep(kMhsMailDir[k]) ? IsPathSep(path[i + k])
                                      : std::toupper(static_cast<unsigned char>(path[i + k])) == kMhsMailDir[k])) {
      ++k;
    }
    if (k == want) return true;
  }
  return false;
}

}  // namespace

const char* LocateDialog(UiWindow parent, const char* initial, int template_id) {
  Browser b{};
  if (initial) CopyBounded(b.current, initial, kPathMax);
  if (b.current[0] == '\0' || !DirExists(b.current)) CopyBounded(b.current, ".", kPathMax);
  g_chosen[0] = '\0';
  RunBrowseDialog(parent, template_id, b.current, BrowserProc, &b);
  return b.chosen ? g_chosen : nullptr;
}

int ConfirmSetup(UiWindow parent, const char* directory) {
  Confirm c{directory ? directory : ""};
  return RunDialog(parent, kConfirmSetupTemplate, ConfirmProc, &c) == kIdOk ? 1 : 0;
}

int InitServerDialog(char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  const char* chosen = LocateDialog(nullptr, buffer, kLocateTemplate);
  if (!chosen) return 0;
  const size_t room = static_cast<size_t>(size);
  CopyBounded(buffer, chosen, room);
  if (kNamesFoldCase) {
    for (char* p = buffer; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
  size_t n = std::strlen(buffer);
  if (n > 0 && !IsPathSep(buffer[n - 1]) && n + 1 < room) AppendBounded(buffer, VK_SEP, room);
  if (!HoldsMhsMail(buffer)) {
    AppendBounded(buffer, kMhsMailDir, room);
    if (!kNamesFoldCase) {
      char native[kPathMax];
      PlatNativePath(buffer, native, sizeof native);
      CopyBounded(buffer, native, room);
    }
  }
  return chosen[0] != '\0' ? 1 : 0;
}

int LocateMailDir() {
  MailConfig& c = g_mail_config;
  if (!bInitServerDlg(c.mail_dir, static_cast<int>(kPathMax))) return CMC_E_USER_CANCEL;
  if (std::strlen(c.mail_dir) + 2 > kPathMax || !CanonicalDir(c.mail_dir)) {
    c.mail_dir[0] = '\0';
    return CMC_E_USER_CANCEL;
  }
  PlatWriteProfileString(nullptr, kMailPathSection, kMailPathKey, c.mail_dir);
  CopyBounded(c.passwd_path, c.mail_dir, kPathMax);
  AppendBounded(c.passwd_path, kPasswdRel, kPathMax);
  return CMC_SUCCESS;
}

}  // namespace vk

int CMC_CALL bInitServerDlg(char* buffer, int size) {
  return vk::Guarded(0, [&] { return vk::InitServerDialog(buffer, size); });
}
