// The mail tree's layout and the workstation's configuration: where the tree
// is (WIN.INI "Mail" VeskMailPath), every path in it, the server keys of the
// passwd file, loading and unloading the configuration, the test that tells
// whether a directory holds a complete tree, and the small path operations
// (trailing separator, read marks, listing the plain files of a directory).
//
// The tree below a root the user chooses:
//   MHS/MAIL/                      the mail directory; every path starts here
//   MHS/MAIL/PUBLIC/passwd         user registry and server keys (hidden)
//   MHS/MAIL/USERS/<name>/MHS/     a user's mailbox
//   MHS/MAIL/USERS/<name>/IPARCEL/ parcels delivered to the user
//   MHS/MAIL/USERS/<name>/local.ab the user's local address book
//   MHS/MAIL/SND/                  staged messages being sent
//   MHS/MAIL/PARCEL/               staged parcels being sent
// Every path is held in kPathMax (128) bytes and built with CopyBounded and
// AppendBounded; a stored directory path always ends in a separator.
#ifndef VK_STORE_CONFIG_H
#define VK_STORE_CONFIG_H

#include <cstddef>

#include "platform/file.h"
#include "store/fileprim.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// Names in the tree (directories with their trailing separator).
#define VK_MHS_MAIL "MHS" VK_SEP "MAIL" VK_SEP
constexpr const char* kMhsDir = "MHS" VK_SEP;
constexpr const char* kMhsMailDir = VK_MHS_MAIL;  // below the root
constexpr const char* kPublicDir = "PUBLIC" VK_SEP;
constexpr const char* kPasswdRel = "PUBLIC" VK_SEP "passwd";  // below the mail directory
constexpr const char* kUsersDir = "USERS" VK_SEP;
constexpr const char* kSndDir = "SND" VK_SEP;
constexpr const char* kParcelDir = "PARCEL" VK_SEP;
constexpr const char* kUserMailboxDir = "MHS" VK_SEP;      // below USERS/<name>/
constexpr const char* kUserParcelDir = "IPARCEL" VK_SEP;   // below USERS/<name>/
constexpr const char* kLocalAddressBook = "local.ab";      // below USERS/<name>/
constexpr const char* kReadMarkExt = ".red";

// The workstation's settings in WIN.INI.  Section names compare without
// regard to case, so the two spellings are one section; each is kept as its
// writers have always spelled it.
constexpr const char* kMailPathSection = "Mail";
constexpr const char* kMailPathKey = "VeskMailPath";       // the mail directory
constexpr const char* kLogonSection = "MAIL";
constexpr const char* kAdminWorkstationKey = "IsVeskAdmin";  // 1 on an administrator workstation
constexpr const char* kLastUserKey = "MHS_USER";           // the last user who logged on

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
  char user_name[10];            // the logged-on user, at most 9 characters
  char server_name[12];          // passwd [Server] ServerName
  char server_description[32];   // passwd [Server] ServerDescription
  char user_dir[kPathMax];       // <mail>USERS/<name>/MHS/, the user's mailbox
  char mail_dir[kPathMax];       // <root>/MHS/MAIL/, absolute, with trailing separator
  char passwd_path[kPathMax];    // <mail>PUBLIC/passwd
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

// Appends a separator unless `path` is null, empty or already ends in one.
// The buffer must have room for one more character.  Returns `path`.
char* AddSlash(char* path);
// Removes one trailing separator, if any.  Returns `path`.
char* StripSlash(char* path);

// Opens the message file `path` by `mode`; when that fails and the name does
// not carry the read mark, appends ".red" in place and tries again.  The
// buffer needs room for 4 more characters (it is kPathMax bytes in the
// library) and holds the name tried last.  Handle or kNoFile.
FileHandle OpenMessageFile(char* path, OpenMode mode);

// 1 when `path` ends in the read mark ".red" (any case), else 0.
int HasReadMark(const char* path);

// The plain files of `dir` matching `pattern` (null: "*.*"), hidden, system
// and directory entries left out, in the order the file system delivers
// them, each by its short 8.3 name when it has one, else its long name.
// With `resume`, the list starts at the first entry of that name (any case).
// Null when the directory is null or empty, nothing matches, `resume`
// matches no entry, or memory runs out.  The caller frees the list with the
// name-list release.
NameList* ListFiles(const char* dir, const char* pattern, const char* resume);

// Makes a directory path (kPathMax buffer) absolute, spelled as the file
// system stores it, with a trailing separator: a path relative to whatever
// the current directory happens to be would send every later join somewhere
// else.  false, leaving the buffer as it was, when that cannot be had within
// kPathMax.
bool CanonicalDir(char* dir);

// Whether a path is absolute: from the root on POSIX, with a drive or a
// \\server\share start on Win32.  Null and empty are not.
bool IsAbsolutePath(const char* path);

// The file-name part of a path: what follows its last separator ('/' or
// '\\') or drive colon.
const char* FileNamePart(const char* path);

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
