// Creating a new mail tree.  The dialog that locates an existing one, with
// its entry point bInitServerDlg, is with the other dialogs.
#include <cstring>
#include <string>

#include "cmc/guard.h"
#include "platform/profile.h"
#include "store/config.h"
#include "store/fileprim.h"
#include "users/registry.h"
#include "vkmsg/vkmsg.h"

namespace vk {
namespace {

constexpr size_t Length(const char* text) { return std::char_traits<char>::length(text); }

// The longest path setup and the administrator's directories need below the
// root: MHS/MAIL/USERS/<8 characters>/IPARCEL/.  A root that leaves no room
// for it would have its paths cut, and a cut path names some other
// directory, so such a root is refused before anything is made.
constexpr size_t kUserDirRoom = 8;  // a user directory's name, an 8.3 name part
constexpr size_t kLongestTreePath =
    Length(kMhsMailDir) + Length(kUsersDir) + kUserDirRoom + Length(VK_SEP) + Length(kUserParcelDir);
static_assert(kLongestTreePath == 9 + 6 + 8 + 1 + 8, "the tree's longest path below the root");

bool MakeBelow(const char* base, const char* rel) {
  char path[kPathMax];
  CopyBounded(path, base, kPathMax);
  AppendBounded(path, rel, kPathMax);
  return MakeDir(path) == 1;
}

}  // namespace

int SetupMailTree(const char* root) {
  if (root == nullptr || *root == '\0' || !DirExists(root)) return 0;
  size_t len = std::strlen(root);
  bool has_sep = root[len - 1] == kPathSep || root[len - 1] == '\\';
  if (len + (has_sep ? 0 : 1) + kLongestTreePath + 1 > kPathMax) return 0;

  // Setup may run before any configuration exists (from the locate dialog,
  // or a host preparing a share), so the tree is set up from the root given
  // alone.
  char* mail = g_mail_config.mail_dir;
  CopyBounded(mail, root, kPathMax);
  // Stored as when it is read from WIN.INI.
  if (!CanonicalDir(mail) || std::strlen(mail) + kLongestTreePath + 1 > kPathMax) {
    mail[0] = '\0';
    return 0;
  }

  if (!MakeBelow(mail, kMhsDir)) return kSetupMakeDirFailed;
  if (!MakeBelow(mail, kMhsMailDir)) return kSetupMakeDirFailed;
  AppendBounded(mail, kMhsMailDir, kPathMax);
  if (!PlatWriteProfileString(nullptr, kMailPathSection, kMailPathKey, mail)) return 0;

  char* passwd = g_mail_config.passwd_path;
  CopyBounded(passwd, mail, kPathMax);
  AppendBounded(passwd, kPasswdRel, kPathMax);

  const char* dirs[] = {kPublicDir, kUsersDir, kSndDir, kParcelDir};
  for (const char* d : dirs) {
    if (!MakeBelow(mail, d)) return kSetupMakeDirFailed;
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
  if (!PlatWriteProfileString(passwd, kServerSection, kServerNameKey, kSetupServerName) ||
      !PlatWriteProfileString(passwd, kServerSection, kServerDescriptionKey, kSetupServerDescription))
    return 0;
  PlatWriteProfileString(passwd, nullptr, nullptr, nullptr);
  if (!bAddUser(kAdminUser, kSetupAdminPassword)) return 0;

  return PlatWriteProfileString(nullptr, kLogonSection, kAdminWorkstationKey, "1") ? 1 : 0;
}
}  // namespace vk

int CMC_CALL bSetupMHSDirs(const char* root) {
  return vk::Guarded(0, [&] { return vk::SetupMailTree(root); });
}
