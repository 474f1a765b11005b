// Profiles on Win32: the system's own profile calls, with the refusal of
// writes that would break the file's lines added in front of them, since
// Windows writes whatever it is given.  A stand-in file set by
// PlatSetWorkstationProfile replaces WIN.INI for calls with a null file.
//
// A write to a profile file takes the same lock directory "<file>.lck" as
// the POSIX backend, with the same token file and the same rules for stale
// locks, so a Windows and a Linux workstation writing one file on a share
// exclude each other.  The system's own write runs with the lock held, on
// a copy that then replaces the file whole, and is read back before it is
// reported done.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/win32/win32_internal.h"

namespace vk {

namespace {

// Empty means the real WIN.INI.
std::string g_workstation_standin;

// The private file a call goes to, or null for WIN.INI itself.
const char* TargetFile(const char* file) {
  if (file != nullptr) return file;
  if (!g_workstation_standin.empty()) return g_workstation_standin.c_str();
  return nullptr;
}

bool Holds(const char* text, const char* chars) { return text != nullptr && std::strpbrk(text, chars) != nullptr; }

// The lock's timing, shared with the POSIX backend: a lock whose token has
// not changed for kLockStaleMs is stale; a holder gives up rather than write
// once it has held the lock for kHoldLimitMs; a waiter waits kLockWaitMs and
// reads the token every kLookEveryMs.
constexpr DWORD kLockStaleMs = 10000;
constexpr DWORD kHoldLimitMs = kLockStaleMs / 4;
constexpr DWORD kLockWaitMs = kLockStaleMs + 5000;
constexpr DWORD kLookEveryMs = 250;

struct WriterLock {
  std::string dir;
  std::string owner;
  std::string token;
  DWORD taken_at = 0;
  uint64_t seed = 0;
};

// Reads a small file shared with everyone into `buf` (kTokenMax bytes);
// its length, 0 when it cannot be read.
constexpr DWORD kTokenMax = 256;
DWORD ReadSmallFile(const std::string& path, char* buf) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  DWORD got = 0;
  if (!ReadFile(h, buf, kTokenMax, &got, nullptr)) got = 0;
  CloseHandle(h);
  return got;
}
std::string ReadSmallFile(const std::string& path) {
  char buf[kTokenMax];
  return std::string(buf, ReadSmallFile(path, buf));
}

void BackOff(unsigned attempt, uint64_t* seed) {
  *seed = *seed * 6364136223846793005ull + 1442695040888963407ull;
  unsigned ceiling = attempt < 5 ? (2u << attempt) : 64u;
  PlatSleepMs(1 + static_cast<unsigned>((*seed >> 33) % ceiling));
}

bool Gone(BOOL ok) {
  DWORD e = GetLastError();
  return ok || e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

// Removes the token file, then the directory; a reader of the token on
// another workstation holds them up for a moment.  Gives up at `until`.
void RemoveLock(const std::string& dir, const std::string& owner, DWORD until) {
  uint64_t seed = until;
  for (unsigned attempt = 0;; ++attempt) {
    if (Gone(DeleteFileA(owner.c_str())) && Gone(RemoveDirectoryA(dir.c_str()))) return;
    if (static_cast<int32_t>(PlatTickCount() - until) >= 0) return;
    BackOff(attempt, &seed);
  }
}

bool TakeLock(const std::string& profile, WriterLock* lock) {
  uint64_t random = (static_cast<uint64_t>(PlatRandomSeed()) << 32) ^ PlatRandomSeed();
  char host[MAX_COMPUTERNAME_LENGTH + 1] = "";
  DWORD host_size = sizeof host;
  if (!GetComputerNameA(host, &host_size)) host[0] = '\0';
  char token[160];
  std::snprintf(token, sizeof token, "%s %lu %016llx\n", host, static_cast<unsigned long>(GetCurrentProcessId()),
                static_cast<unsigned long long>(random));
  lock->dir = profile + ".lck";
  lock->owner = lock->dir + "\\owner";
  lock->token = token;
  lock->seed = random;

  const DWORD start = PlatTickCount();
  std::string seen;
  bool looked = false;
  DWORD seen_since = start, looked_at = start - kLookEveryMs;
  for (unsigned attempt = 0;; ++attempt) {
    if (CreateDirectoryA(lock->dir.c_str(), nullptr)) {
      HANDLE h = CreateFileA(lock->owner.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      DWORD put = 0;
      bool ok = h != INVALID_HANDLE_VALUE &&
                WriteFile(h, lock->token.data(), static_cast<DWORD>(lock->token.size()), &put, nullptr) &&
                put == lock->token.size();
      DWORD err = GetLastError();
      if (h != INVALID_HANDLE_VALUE && !CloseHandle(h) && ok) {
        ok = false;
        err = GetLastError();
      }
      if (!ok) {
        RemoveLock(lock->dir, lock->owner, PlatTickCount() + kHoldLimitMs);
        win32::SetSystemError(err);
        return false;
      }
      lock->taken_at = PlatTickCount();
      return true;
    }
    DWORD err = GetLastError();
    if (err != ERROR_ALREADY_EXISTS && err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION) {
      win32::SetSystemError(err);
      return false;
    }
    const DWORD now = PlatTickCount();
    if (now - looked_at >= kLookEveryMs) {
      looked_at = now;
      std::string holder = ReadSmallFile(lock->owner);
      if (!looked || holder != seen) {
        looked = true;
        seen = holder;
        seen_since = now;
      } else if (now - seen_since >= kLockStaleMs) {
        // Its writer is gone; look once more so that a fresh lock stays.
        if (ReadSmallFile(lock->owner) == seen) RemoveLock(lock->dir, lock->owner, now + kHoldLimitMs);
        looked = false;
        continue;
      }
    }
    if (now - start >= kLockWaitMs) {
      win32::SetError(PlatError::kSharingViolation);
      return false;
    }
    BackOff(attempt, &lock->seed);
  }
}

// Allocates nothing, so that a lock taken is always given back.
void DropLock(const WriterLock& lock) {
  char held[kTokenMax];
  DWORD n = ReadSmallFile(lock.owner, held);
  if (n == lock.token.size() && std::memcmp(held, lock.token.data(), n) == 0) {
    RemoveLock(lock.dir, lock.owner, PlatTickCount() + kHoldLimitMs);
  }
}

// Whether `file` holds the key as written: a value reads back as itself
// (the system trims blanks around it and one pair of quotes), a deleted key
// as the default, which no value can be since it holds a line break.  It
// runs after the replacement and allocates nothing, so a write that landed
// is never reported failed for want of memory.
bool ReadsBack(const char* file, const char* section, const char* key, const char* value) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
  const char* want = value != nullptr ? value : "\n";
  size_t length = std::strlen(want);
  char got[1024];
  if (length + 2 > sizeof got) return true;  // longer than any value the library writes
  DWORD n = GetPrivateProfileStringA(section, key, "\n", got, static_cast<DWORD>(sizeof got), file);
  if (n == length && std::memcmp(got, want, n) == 0) return true;
  const char* first = want;
  const char* end = want + length;
  while (first < end && (*first == ' ' || *first == '\t')) ++first;
  while (end > first && (end[-1] == ' ' || end[-1] == '\t')) --end;
  if (end - first >= 2 && *first == end[-1] && (*first == '"' || *first == '\'')) ++first, --end;
  return n == static_cast<DWORD>(end - first) && std::memcmp(got, first, n) == 0;
}

// The write itself, under the lock.  The system's own write rewrites a file
// in place, and a workstation reading it meanwhile (its client caching the
// moment the file was empty) would take it for empty.  So the write goes to
// a copy beside the file, which then replaces it whole: a reader sees the
// old file or the new one.  A replacement refused because another
// workstation holds the file open is retried until the hold limit.
bool LockedWrite(const char* target, const char* section, const char* key, const char* value) {
  const DWORD attributes = GetFileAttributesA(target);
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists && value == nullptr) return true;  // nothing to delete
  std::string dir = target;
  size_t cut = dir.find_last_of("\\/");
  dir = cut == std::string::npos ? "." : dir.substr(0, cut);
  WriterLock lock;
  if (!TakeLock(target, &lock)) return false;
  char temp[MAX_PATH];
  bool ok = GetTempFileNameA(dir.c_str(), "vkp", 0, temp) != 0;
  DWORD err = GetLastError();
  bool made = ok;
  if (ok && exists) ok = CopyFileA(target, temp, FALSE) != FALSE;
  if (ok) ok = WritePrivateProfileStringA(section, key, value, temp) != FALSE;
  if (!ok) err = GetLastError();
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, temp);
  // The replacement keeps the file's attributes (a hidden registry stays hidden).
  if (ok && exists && !SetFileAttributesA(temp, attributes)) {
    ok = false;
    err = GetLastError();
  }
  for (unsigned attempt = 0; ok; ++attempt) {
    if (PlatTickCount() - lock.taken_at >= kHoldLimitMs) {
      ok = false;
      err = ERROR_SHARING_VIOLATION;
    } else if (MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      made = false;
      break;
    } else if ((err = GetLastError()) == ERROR_SHARING_VIOLATION || err == ERROR_ACCESS_DENIED ||
               err == ERROR_LOCK_VIOLATION) {
      BackOff(attempt, &lock.seed);
    } else {
      ok = false;
    }
  }
  if (made) DeleteFileA(temp);
  if (!ok) {
    win32::SetSystemError(err);
  } else if (key != nullptr && !ReadsBack(target, section, key, value)) {
    win32::SetError(PlatError::kOther);
    ok = false;
  }
  DropLock(lock);
  return ok;
}

}  // namespace

int PlatGetProfileString(const char* file, const char* section, const char* key, const char* def, char* out, int size) {
  if (def == nullptr) def = "";
  if (win32::Injected()) {
    // A failed read looks like a missing key: the default, or an empty run.
    if (out == nullptr || size <= 0) return 0;
    if (key == nullptr) {
      out[0] = '\0';
      if (size > 1) out[1] = '\0';
      return 0;
    }
    size_t n = std::strlen(def);
    if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
    std::memmove(out, def, n);
    out[n] = '\0';
    return static_cast<int>(n);
  }
  if (out == nullptr || size <= 0) return 0;
  const char* target = TargetFile(file);
  DWORD n = target == nullptr ? GetProfileStringA(section, key, def, out, static_cast<DWORD>(size))
                              : GetPrivateProfileStringA(section, key, def, out, static_cast<DWORD>(size), target);
  // A run of names that was cut ends in two zeros; Wine's narrow-character
  // calls leave the second one out.
  if ((key == nullptr || section == nullptr) && size >= 2 && n == static_cast<DWORD>(size - 2)) {
    out[size - 1] = '\0';
  }
  return static_cast<int>(n);
}

int PlatGetProfileInt(const char* file, const char* section, const char* key, int def) {
  if (win32::Injected()) return def;
  const char* target = TargetFile(file);
  UINT n = target == nullptr ? GetProfileIntA(section, key, def) : GetPrivateProfileIntA(section, key, def, target);
  return static_cast<int>(n);
}

bool PlatWriteProfileString(const char* file, const char* section, const char* key, const char* value) {
  if (win32::Injected()) return false;
  if (Holds(section, "\r\n]") || Holds(key, "\r\n=") || Holds(value, "\r\n")) {
    win32::SetError(PlatError::kOther);
    return false;
  }
  const char* target = TargetFile(file);
  // A flush has nothing to report: some systems answer it with FALSE even
  // though the cache was dropped.
  if (section == nullptr && key == nullptr && value == nullptr) {
    if (target == nullptr) {
      WriteProfileStringA(nullptr, nullptr, nullptr);
    } else {
      WritePrivateProfileStringA(nullptr, nullptr, nullptr, target);
    }
    return true;
  }
  if (section == nullptr) {
    win32::SetError(PlatError::kOther);
    return false;
  }
  if (target != nullptr) return LockedWrite(target, section, key, value);
  if (!WriteProfileStringA(section, key, value)) {
    win32::SetSystemError(GetLastError());
    return false;
  }
  return true;
}

void PlatSetWorkstationProfile(const char* path) {
  if (path == nullptr) {
    g_workstation_standin.clear();
  } else {
    g_workstation_standin = path;
  }
}

}  // namespace vk
