// Creating a new mail tree, and the entry point of the dialog that locates
// an existing one.
#include <cstring>

#include "platform/profile.h"
#include "store/config.h"
#include "store/fileprim.h"
#include "users/registry.h"
#include "vkmsg/vkmsg.h"

namespace vk {
namespace {

constexpr const char* kAdminPassword = "zirva";

// The longest path setup and the administrator's directories need below the
// root: MHS/MAIL/USERS/<8 characters>/IPARCEL/.  A root that leaves no room
// for it would have its paths cut, and a cut path names some other
// directory, so such a root is refused before anything is made.
constexpr size_t kLongestTreePath = 9 + 6 + 8 + 1 + 8;

bool MakeBelow(const char* base, const char* rel) {
  char path[kPathMax];
  CopyBounded(path, base, kPathMax);
  AppendBounded(path, rel, kPathMax);
  return MakeDir(path) == 1;
}

}  // namespace
}  // namespace vk

int CMC_CALL bSetupMHSDirs(const char* root) {
  using namespace vk;
  if (root == nullptr || *root == '\0' || !DirExists(root)) return 0;
  size_t len = std::strlen(root);
  bool has_sep = root[len - 1] == kPathSep || root[len - 1] == '\\';
  if (len + (has_sep ? 0 : 1) + kLongestTreePath + 1 > kPathMax) return 0;

  // Setup may run before any configuration exists (from the locate dialog,
  // or a host preparing a share), so the tree is set up from the root given
  // alone.
  char* mail = g_mail_config.mail_dir;
  CopyBounded(mail, root, kPathMax);
  // The stored mail directory is absolute and spelled as the file system
  // has it, as when it is read from WIN.INI.
  if (!CanonicalDir(mail) || std::strlen(mail) + kLongestTreePath + 1 > kPathMax) {
    mail[0] = '\0';
    return 0;
  }

  if (!MakeBelow(mail, kMhsDir)) return 8;
  if (!MakeBelow(mail, kMhsMailDir)) return 8;
  AppendBounded(mail, kMhsMailDir, kPathMax);
  if (!PlatWriteProfileString(nullptr, "Mail", "VeskMailPath", mail)) return 0;

  char* passwd = g_mail_config.passwd_path;
  CopyBounded(passwd, mail, kPathMax);
  AppendBounded(passwd, kPasswdRel, kPathMax);

  const char* dirs[] = {kPublicDir, kUsersDir, kSndDir, kParcelDir};
  for (const char* d : dirs) {
    if (!MakeBelow(mail, d)) return 8;
  }

  if (OpenFileMode(passwd, kModeExist) != 1) {
    FileHandle h = OpenFileMode(passwd, kModeCreateReadWrite);
    if (h == kNoFile) return 0;
    CloseFile(h);
    // Without the hidden attribute the file goes again; the profile writes
    // below make it anew, plainly.
    if (!SetHidden(passwd)) OpenFileMode(passwd, kModeDelete);
  }

  // A tree whose passwd file did not take its keys or its administrator
  // is no tree: nobody could log on to administer it.
  if (!PlatWriteProfileString(passwd, "Server", "ServerName", "VESK") ||
      !PlatWriteProfileString(passwd, "Server", "ServerDescription", "VESK_MSG"))
    return 0;
  PlatWriteProfileString(passwd, nullptr, nullptr, nullptr);
  if (!bAddUser(kAdminUser, kAdminPassword)) return 0;

  return PlatWriteProfileString(nullptr, "MAIL", "IsVeskAdmin", "1") ? 1 : 0;
}

// The locate dialog is not there yet: answer as if the user had pressed
// Offline, so a workstation without a usable tree is told the user
// cancelled.
int CMC_CALL bInitServerDlg(char* buffer, int size) {
  (void)buffer;
  (void)size;
  return 0;
}
