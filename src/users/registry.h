// The user registry: the passwd file's "Passwords" section (one key per user,
// the encoded password as value), the directories every registered user owns
// below USERS (home, MHS mailbox, IPARCEL parcels), and the cached list of
// registered users that the rest of the library consults.  The exports
// bAddUser, bRemUser, bRemUsers, bCheckPW and lpmnlGetUserList (declared in
// vkmsg/vkmsg.h) are built on the operations below.
//
// All operations answer 1 for success and 0 for failure, silently.
#ifndef VKMSG_USERS_REGISTRY_H
#define VKMSG_USERS_REGISTRY_H

#include "vkmsg/cmc.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// The privileged user created by setup: never listed, never removed by
// bRemUser, and checked without the registered-user test.
constexpr const char* kAdminUser = "admin";
constexpr const char* kPasswordsSection = "Passwords";

// 1 when `name` may name a registry entry and a directory below USERS: not
// empty, no path separator, drive colon, wildcard, control character or
// profile syntax ('='), not "." or "..", no leading or trailing blank and no
// trailing period (the file system would drop it and alias another user).
// Every registry operation refuses other names and creates nothing for them.
int IsSafeUserName(const char* name);

// Stores the encoding of the pair as the user's entry and flushes the
// passwd file's profile cache.  0 for a null, empty or refused name, a name
// too long for its directories to fit a path buffer, a null password, or no
// passwd path known, or when the passwd file refused the write; an empty
// password is encoded as it is.
int SetUserPassword(const char* name, const char* password);

// Deletes the user's entry (flushing), then empties and removes MHS,
// IPARCEL and the home directory.  0 for a null, empty or refused name, a
// name whose paths would be cut, or when no absolute mail directory is
// known (nothing is touched then), and when the passwd file refused the
// deletion (the directories stay with the entry then).
int RemoveUserEntry(const char* name);

// Deletes the plain files of a directory and then the directory; a
// directory still holding hidden, system or subdirectory entries stays.
void EmptyAndRemoveDir(const char* directory);

// Flushes the profile cache, then 1 when "Passwords" holds a non-empty
// value for the name.
int IsUserInPasswd(const char* name);

// CMC_E_INVALID_PARAMETER for a null or empty name, CMC_SUCCESS when the
// name is a registered user, CMC_E_RECIPIENT_NOT_FOUND otherwise.  A name
// missing from the cached list but present in the passwd file (added by
// another workstation) reloads the cache once.
CMC_return_code ResolveUser(const char* name);

// The cached user list (every registered user but admin, sorted); may be
// null.  It belongs to the registry: callers read it, never free it.
NameList* CachedUserList();
// Replaces the cached list with `list` (may be null), freeing the old one.
void SetCachedUserList(NameList* list);
// Loads the cached list from the passwd file when there is none.
void LoadCachedUserList();
// Loads the configuration unless it is loaded, and with it the cached user
// list; 0, or what LoadConfig answered.
int EnsureConfigLoaded();
// Frees the cached list and reads it afresh from the passwd file.
void RefreshCachedUserList();

}  // namespace vk

#endif
