#include "users/registry.h"

#include <cstddef>
#include <cstring>

#include "store/namelist.h"
#include "cmc/guard.h"
#include "cmc/session.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/memory.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "store/config.h"
#include "store/fileprim.h"
#include "users/password.h"

namespace vk {

namespace {

// The first buffer for the key names of all users, each with its zero and
// a final extra zero; it grows fourfold up to the last size while the names
// do not fit (10,000 users of 8 characters take 90,000 bytes).
constexpr size_t kKeyBufferSize = 32764;
constexpr size_t kKeyBufferMax = kKeyBufferSize << 10;
// Encoded text written (66) and compared (68): room for 64 digits.
constexpr int kStoreTextSize = 66;
constexpr int kCheckTextSize = 68;
// The fallback list when no key buffer can be had.
constexpr unsigned kFallbackSlots = 16;
constexpr size_t kFallbackText = 512;
// How often a read of passwd that found no key, or not the key sought, is
// made again while passwd may be missing for a moment (see PasswdBack), or a
// user's directory looked at again (see UserDirThere), and how long it
// waits each time.
constexpr int kPasswdGoneTries = 40;
constexpr unsigned kPasswdGoneWaitMs = 5;
// The login dialog's name field holds 8 characters: a longer user could
// never log on, so none is added.
constexpr size_t kLongestUserName = 8;

bool IsAdmin(const char* name) { return name != nullptr && PlatCompareNoCase(name, kAdminUser) == 0; }

bool IsEmpty(const char* s) { return s == nullptr || s[0] == '\0'; }

bool MailDirUsable() { return IsAbsolutePath(g_mail_config.mail_dir); }

bool PasswdKnown() { return IsAbsolutePath(g_mail_config.passwd_path); }

// USERS/<name>/ followed by `relative`, into a kPathMax buffer.  Refuses
// (false, nothing built) when the name is unsafe, no absolute mail directory
// is known, or the longest user path would be cut: a cut path names a
// different directory (USERS/bobby cut to USERS/bob is bob's home).
bool UserPathsFit(size_t mail_dir_length, const char* name) {
  size_t longest = mail_dir_length + std::strlen(kUsersDir) + std::strlen(name) + 1 + std::strlen(kUserParcelDir);
  return longest < kPathMax;
}

bool BuildUserDir(char* out, const char* name, const char* relative) {
  out[0] = '\0';
  if (!IsSafeUserName(name) || !MailDirUsable()) return false;
  if (!UserPathsFit(std::strlen(g_mail_config.mail_dir), name)) return false;
  BuildUserPath(out, name, relative);
  return true;
}

// The passwd path stays known while the configuration is unloaded; the
// mail directory is the part before PUBLIC/passwd.
bool NameFitsTree(const char* name) {
  size_t passwd = std::strlen(g_mail_config.passwd_path);
  size_t rel = std::strlen(kPasswdRel);
  return passwd > rel && UserPathsFit(passwd - rel, name);
}

// One write to the passwd file; a backend that runs out of memory part-way
// has failed the write, and the caller undoes what it made for it.
bool WritePasswd(const char* section, const char* key, const char* value) {
  return Guarded(false, [&] { return PlatWriteProfileString(g_mail_config.passwd_path, section, key, value); });
}

void FlushPasswd() { WritePasswd(nullptr, nullptr, nullptr); }

// Another workstation replaces passwd by a rename, which an SMB client may
// carry out as a delete and a rename: a read in between finds no file, and
// no file reads as a passwd without users.  After a read that found less
// than a passwd always holds: true when the read is worth making again (the
// file is there, or is missing and was waited for), false when the file
// cannot be looked at.
bool PasswdBack() {
  if (PlatGetAttributes(g_mail_config.passwd_path) != kAttrInvalid) return true;
  if (PlatLastError() != PlatError::kNotFound) return false;
  PlatSleepMs(kPasswdGoneWaitMs);
  return true;
}

// Whether the user's directory `dir` is there.  On a share a directory test
// may fail for a moment with an I/O error while other workstations make and
// remove users' directories beside it, so it is made again before a user is
// taken for unregistered; "not found" and a fault of the test hook are
// believed at once.
bool UserDirThere(const char* dir) {
  for (int attempt = 1;; ++attempt) {
    if (DirExists(dir)) return true;
    const PlatError e = PlatLastError();
    if (e == PlatError::kNotFound || e == PlatError::kInjected || attempt >= kPasswdGoneTries) return false;
    PlatSleepMs(kPasswdGoneWaitMs);
  }
}

// Makes sure the configuration is loaded; false when it cannot be.
bool EnsureConfig() { return EnsureConfigLoaded() == 0; }

// The names of `from` (or of the run of `count` names at `keys`), admin
// left out, in a new sorted user list; null when it cannot be built whole.
NameList* FillUserList(const NameList* from, const char* keys, size_t bytes) {
  size_t count = 0;
  if (from != nullptr) {
    count = from->count;
    for (unsigned i = 0; i < from->count; ++i) bytes += std::strlen(from->slots[i]) + 1;
  } else {
    for (const char* p = keys; p < keys + bytes && *p; p += std::strlen(p) + 1) ++count;
  }
  NameList* list = CreateAnyNameList(count, bytes);
  if (list == nullptr) return nullptr;
  const char* end = keys + bytes;
  for (size_t i = 0;; ++i) {
    const char* name = from != nullptr ? (i < from->count ? from->slots[i] : nullptr) : keys;
    if (name == nullptr || *name == '\0' || (from == nullptr && name >= end)) break;
    if (from == nullptr) keys += std::strlen(name) + 1;
    if (IsAdmin(name)) continue;
    const unsigned before = list->count;
    list = AddName(list, name, kNameModeAppend);
    if (list->count == before) return FreeNameList(list);  // never a list short of a user
  }
  SortNameList(list);
  return list;
}

// Hands one read of the key names of "Passwords" to use(keys, bytes): a run
// of zero-terminated names, 0 bytes when the read found no key.  The buffer
// grows until the whole run fits; `fail` when none can be had.
template <typename T, typename Use>
T WithKeyNames(T fail, Use use) {
  FlushPasswd();
  for (size_t size = kKeyBufferSize; size <= kKeyBufferMax; size *= 4) {
    WorkBuffer buffer(size);
    if (buffer.bytes == nullptr) return fail;
    const int copied = PlatGetProfileString(g_mail_config.passwd_path, kPasswordsSection, nullptr, "", buffer.bytes,
                                            static_cast<int>(size));
    // A run that fills the buffer to its last two bytes was cut.
    if (copied < 0 || static_cast<size_t>(copied) + 2 >= size) continue;
    buffer.bytes[copied] = '\0';
    return use(static_cast<const char*>(buffer.bytes), static_cast<size_t>(copied));
  }
  return fail;
}

// The key names of "Passwords" in a fresh sorted list without admin; null
// when the list cannot be built whole (no memory), never a list that leaves
// users out.  A passwd always holds admin: a read without keys is made again.
NameList* ReadUserList() {
  if (!PasswdKnown()) return CreateNameList(kFallbackSlots, kFallbackText);
  for (int attempt = 0;; ++attempt) {
    bool none = false;
    NameList* list = WithKeyNames<NameList*>(nullptr, [&](const char* keys, size_t bytes) {
      none = bytes == 0;
      return none ? CreateNameList(kFallbackSlots, kFallbackText) : FillUserList(nullptr, keys, bytes);
    });
    if (!none || attempt == kPasswdGoneTries || !PasswdBack()) return list;
    FreeNameList(list);
  }
}

// `name`'s stored password text into `out` (kCheckTextSize bytes); "" only
// when one read of the key names finds keys, but not his.
void ReadStoredText(const char* name, char* out) {
  for (int attempt = 0;; ++attempt) {
    FlushPasswd();
    std::memset(out, 0, kCheckTextSize);
    PlatGetProfileString(g_mail_config.passwd_path, kPasswordsSection, name, "", out, kCheckTextSize);
    if (out[0] != '\0' || attempt == kPasswdGoneTries) return;
    const bool absent = WithKeyNames(false, [&](const char* keys, size_t bytes) {
      for (const char* k = keys; k < keys + bytes && *k; k += std::strlen(k) + 1) {
        if (PlatCompareNoCase(k, name) == 0) return false;
      }
      return bytes > 0;
    });
    if (absent || !PasswdBack()) return;
  }
}

}  // namespace

int IsSafeUserName(const char* name) {
  if (IsEmpty(name)) return 0;
  size_t length = std::strlen(name);
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) return 0;
    if (std::strchr("\\/:*?\"<>|=", c) != nullptr) return 0;
  }
  // The profile drops surrounding blanks and reads ';' and '[' at a line's
  // start as a comment and a section; the file system drops a trailing
  // period, which also covers "." and "..".
  if (name[0] == ' ' || name[length - 1] == ' ') return 0;
  if (name[0] == ';' || name[0] == '[') return 0;
  if (name[length - 1] == '.') return 0;
  return 1;
}

int SetUserPassword(const char* name, const char* password) {
  if (IsEmpty(name) || password == nullptr) return 0;
  // An entry that could never have its directories is refused as well.
  if (!IsSafeUserName(name) || !PasswdKnown() || !NameFitsTree(name)) return 0;
  char text[kStoreTextSize];
  std::memset(text, 0, sizeof text);
  EncodePassword(name, password, text);
  const bool written = WritePasswd(kPasswordsSection, name, text);
  FlushPasswd();
  return written ? 1 : 0;
}

void EmptyAndRemoveDir(const char* directory) {
  if (!IsAbsolutePath(directory)) return;
  char path[kPathMax];
  CopyBounded(path, directory, kPathMax);
  AddSlash(path);
  size_t base = std::strlen(path);

  NameList* files = ListFiles(directory, nullptr, nullptr);
  if (files != nullptr) {
    for (unsigned i = 0; i < files->count; ++i) {
      const char* file = files->slots[i];
      // A cut path could name some other file.
      if (base + std::strlen(file) >= kPathMax) continue;
      path[base] = '\0';
      AppendBounded(path, file, kPathMax);
      OpenFileMode(path, kModeDelete);
    }
    FreeNameList(files);
  }
  RemoveDir(directory);
}

int RemoveUserEntry(const char* name) {
  if (IsEmpty(name)) return 0;
  char mailbox[kPathMax], parcels[kPathMax], home[kPathMax];
  if (!BuildUserDir(mailbox, name, kUserMailboxDir) || !BuildUserDir(parcels, name, kUserParcelDir) ||
      !BuildUserDir(home, name, nullptr) || !PasswdKnown())
    return 0;

  // The entry goes first: a user whose directories cannot be removed is at
  // least no longer registered.  While the entry stays, so do his
  // directories, or he could log on to an account without a mailbox.
  const bool deleted = WritePasswd(kPasswordsSection, name, nullptr);
  FlushPasswd();
  if (!deleted) return 0;

  // The home directory goes last, so that its own files (the local address
  // book) go with it.
  EmptyAndRemoveDir(mailbox);
  EmptyAndRemoveDir(parcels);
  StripSlash(home);
  EmptyAndRemoveDir(home);
  return 1;
}

int IsUserInPasswd(const char* name) {
  if (IsEmpty(name) || !PasswdKnown()) return 0;
  char value[kCheckTextSize];
  ReadStoredText(name, value);
  return value[0] != '\0' ? 1 : 0;
}

CMC_return_code ResolveUser(const char* name) {
  if (IsEmpty(name)) return CMC_E_INVALID_PARAMETER;
  for (int pass = 0; pass < 2; ++pass) {
    if (FindName(CachedUserList(), name, 0) != kNameAbsent) return CMC_SUCCESS;
    // Perhaps added on another workstation since the list was read.
    if (pass > 0 || !IsUserInPasswd(name)) break;
    RefreshCachedUserList();
    // Without a list the passwd file, just read, is the answer.
    if (CachedUserList() == nullptr) return CMC_SUCCESS;
  }
  return CMC_E_RECIPIENT_NOT_FOUND;
}

namespace {
// The one writer of the session's cached list: puts `list` in its place and
// hands back the list that was there, for the caller to free or restore.
NameList* ReplaceCachedUserList(NameList* list) {
  NameList* old = Session().user_list;
  Session().user_list = list;
  return old;
}
}  // namespace

NameList* CachedUserList() { return Session().user_list; }

void SetCachedUserList(NameList* list) {
  NameList* old = ReplaceCachedUserList(list);
  if (old != nullptr && old != list) FreeNameList(old);
}

void LoadCachedUserList() {
  if (CachedUserList() == nullptr) ReplaceCachedUserList(lpmnlGetUserList(-1));
}

int EnsureConfigLoaded() {
  if (ConfigLoaded()) return 0;
  const int rc = LoadConfig();
  if (rc == 0) LoadCachedUserList();
  return rc;
}

void RefreshCachedUserList() {
  SetCachedUserList(nullptr);
  ReplaceCachedUserList(lpmnlGetUserList(-1));
}

}  // namespace vk

using namespace vk;

extern "C" {

CMC_EXPORT NameList* CMC_CALL lpmnlGetUserList(CMC_sint32 selector) {
  return Guarded<NameList*>(nullptr, [&]() -> NameList* {
    // The library asks with -1 while it loads the user cache itself.  A host
    // that asks before anything has loaded it would otherwise get an empty list
    // for a tree full of users; it gets the real list, or null without a tree.
    if (selector != -1 && EnsureConfigLoaded() != 0) return nullptr;
    // The host and the look-up search the list in sorted order.
    if (CachedUserList() != nullptr) return FillUserList(CachedUserList(), nullptr, 0);
    return ReadUserList();
  });
}

CMC_EXPORT int CMC_CALL bAddUser(const char* user, const char* password) {
  return Guarded<int>(0, [&]() -> int {
    if (!EnsureConfig()) return 0;
    if (IsEmpty(user) || std::strlen(user) > kLongestUserName) return 0;
    char home[kPathMax], mailbox[kPathMax], parcels[kPathMax];
    if (!BuildUserDir(home, user, nullptr) || !BuildUserDir(mailbox, user, kUserMailboxDir) ||
        !BuildUserDir(parcels, user, kUserParcelDir))
      return 0;

    // The directories come first and the entry last: a user is registered
    // from the moment his entry is written, so no workstation ever sees an
    // entry without directories, and a failed add takes back what it made.
    const char* made[] = {home, mailbox, parcels};
    const bool existed[] = {DirExists(home) != 0, DirExists(mailbox) != 0, DirExists(parcels) != 0};
    size_t done = 0;
    while (done < 3 && MakeDir(made[done])) ++done;
    // An account added without a password gets its name as the password.
    if (done < 3 || !SetUserPassword(user, IsEmpty(password) ? user : password)) {
      for (size_t i = done; i-- > 0;) {
        if (!existed[i]) RemoveDir(made[i]);
      }
      return 0;
    }

    // The user is registered whole now.  A list that cannot be read afresh
    // leaves no cache at all, and readers go to the passwd file, rather
    // than a cache that lacks him or a 0 for an add that happened.
    FreeNameList(ReplaceCachedUserList(nullptr));
    ReplaceCachedUserList(lpmnlGetUserList(-1));
    return 1;
  });
}

CMC_EXPORT int CMC_CALL bRemUser(const char* user) {
  return Guarded<int>(0, [&]() -> int {
    if (IsAdmin(user)) return 0;
    if (!EnsureConfig()) return 0;
    // A name that could leave USERS is refused outright; an empty one simply
    // removes nothing.
    if (!IsEmpty(user) && (!IsSafeUserName(user) || !NameFitsTree(user))) return 0;
    // Removing nobody is no failure; a passwd that refused the removal is.
    const int removed = IsEmpty(user) ? 1 : RemoveUserEntry(user);
    RefreshCachedUserList();
    return removed;
  });
}

CMC_EXPORT int CMC_CALL bRemUsers(NameList* users) {
  return Guarded<int>(0, [&]() -> int {
    if (users == nullptr || users->count == 0) return 1;
    // Without a loaded configuration every user path would be relative.
    if (!EnsureConfig()) return 0;
    int result = 1;
    for (unsigned i = 0; i < users->count; ++i) {
      if (!RemoveUserEntry(users->slots[i])) result = 0;
    }
    RefreshCachedUserList();
    return result;
  });
}

CMC_EXPORT int CMC_CALL bCheckPW(const char* user, const char* password) {
  return Guarded<int>(0, [&]() -> int {
    if (IsEmpty(user) || password == nullptr) return 0;
    if (!IsSafeUserName(user)) return 0;
    if (!EnsureConfig()) return 0;
    if (!IsAdmin(user) && ResolveUser(user) != CMC_SUCCESS) return 0;

    char home[kPathMax], mailbox[kPathMax];
    if (!BuildUserDir(home, user, nullptr) || !BuildUserDir(mailbox, user, kUserMailboxDir)) return 0;
    if (!UserDirThere(home) || !UserDirThere(mailbox)) return 0;

    char expected[kCheckTextSize];
    std::memset(expected, 0, sizeof expected);
    EncodePassword(user, password, expected);

    // A password changed on another workstation must count at once, here as
    // for a new user: the text is read afresh.
    char stored[kCheckTextSize];
    ReadStoredText(user, stored);

    return (expected[0] != '\0' && stored[0] != '\0' && std::strcmp(expected, stored) == 0) ? 1 : 0;
  });
}

}  // extern "C"
