// The workstation's configuration: where the mail tree is (WIN.INI "Mail"
// VeskMailPath), the server keys of the passwd file, loading and unloading
// the configuration, the paths built from the mail directory, and the test
// that tells whether a directory holds a complete tree.  The tree's layout
// and the small path operations are in store/paths.h.
#ifndef VK_STORE_CONFIG_H
#define VK_STORE_CONFIG_H

#include <cstddef>

#include "platform/file.h"
#include "store/fileprim.h"
#include "store/paths.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// The workstation's settings in WIN.INI.  Section names compare without
// regard to case, so the two spellings are one section; each is kept as its
// writers have always spelled it.
constexpr const char* kMailPathSection = "Mail";
constexpr const char* kMailPathKey = "VeskMailPath";  // the mail directory
constexpr const char* kLogonSection = "MAIL";
constexpr const char* kAdminWorkstationKey = "IsVeskAdmin";  // 1 on an administrator workstation
constexpr const char* kLastUserKey = "MHS_USER";             // the last user who logged on

// The server keys of the passwd file, and what setup writes into a new tree:
// those keys and the password of the administrator it starts with.
constexpr const char* kServerSection = "Server";
constexpr const char* kServerNameKey = "ServerName";
constexpr const char* kServerDescriptionKey = "ServerDescription";
constexpr const char* kSetupServerName = "VESK";
constexpr const char* kSetupServerDescription = "VESK_MSG";
constexpr const char* kSetupAdminPassword = "zirva";
// What bSetupMHSDirs answers when a directory of the new tree could not be
// made (its other failures answer 0).
constexpr int kSetupMakeDirFailed = 8;

// The process-wide configuration record.  The user fields are the session's
// (logon fills them); the rest is filled by LoadConfig and setup.
struct MailConfig {
  char user_name[10];           // the logged-on user, at most 9 characters
  char server_name[12];         // passwd [Server] ServerName
  char server_description[32];  // passwd [Server] ServerDescription
  char user_dir[kPathMax];      // <mail>USERS/<name>/MHS/, the user's mailbox
  char mail_dir[kPathMax];      // <root>/MHS/MAIL/, absolute, with trailing separator
  char passwd_path[kPathMax];   // <mail>PUBLIC/passwd
};

// The one configuration of the process.
extern MailConfig g_mail_config;

// Loads the configuration: the mail directory from WIN.INI, else from the
// locate dialog; the passwd path; the cached user list when none is loaded;
// the server keys.  0 on success, CMC_E_USER_CANCEL (36) when no usable tree
// could be had (the locate dialog was left without a directory).  Safe to
// call when the configuration is already loaded (it is read afresh); the
// mail directory it leaves is always an absolute path.
int LoadConfig();

// Clears the configuration-loaded flag, the session's user-name copy and
// identity pointers, and the user name, user directory and mail directory.
// The passwd path and the cached user list stay.
void UnloadConfig();

// Whether LoadConfig has succeeded since the last UnloadConfig.
bool ConfigLoaded();

// The user fields, for logon and logoff: the logged-on user's name and
// mailbox directory, each copied in (cut to its field), or cleared by null.
void SetConfigUserName(const char* name);
void SetConfigUserDir(const char* dir);

// Reads "Mail" VeskMailPath into the mail directory: upper-cased, absolute,
// with trailing separator; MHS/MAIL/ appended (and written back to WIN.INI)
// when the path does not already contain it.  1 when an existing directory
// was named there, else 0.
int ReadMailPath();

// Asks the user for the mail directory (bInitServerDlg) and, when one is
// chosen, stores it in the configuration and WIN.INI and sets the passwd
// path.  0, or CMC_E_USER_CANCEL (36).
int LocateMailDir();

// Points the workstation at the complete tree in `directory` (its root or
// its mail directory): WIN.INI "Mail" VeskMailPath names it from the next
// load of the configuration on.  1, or 0 when it is no complete tree or the
// profile did not take it.
int UseMailTree(const char* directory);

// Path builders, each into a kPathMax buffer `out` (bounded, cut at 127
// characters), all returning `out`.  An empty mail directory (no
// configuration) gives an empty path, never a relative one.
// The mail directory followed by `relative` (null: nothing);
char* BuildMailPath(char* out, const char* relative);
// <mail>USERS/<user>/ followed by `relative` (kUserMailboxDir,
// kUserParcelDir, kLocalAddressBook or null).
char* BuildUserPath(char* out, const char* user, const char* relative);

}  // namespace vk

#endif
