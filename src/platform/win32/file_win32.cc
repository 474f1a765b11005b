// Files and directories on Win32.  Every operating-system error is turned
// into a PlatError in MapError and nowhere else; opens, renames and deletes
// that meet a sharing or lock violation are retried a few times, because on
// a shared drive another workstation's scanner or indexer often holds a file
// for a moment.
#include <windows.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/win32/win32_internal.h"

namespace vk {

namespace {

thread_local PlatError g_last_error = PlatError::kOk;

// A handful of tries, about a quarter of a second in all.
constexpr int kSharingRetries = 5;
constexpr unsigned kSharingRetryMs[kSharingRetries] = {10, 20, 40, 80, 100};

PlatError MapError(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
      return PlatError::kOk;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_NO_MORE_FILES:
      return PlatError::kNotFound;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return PlatError::kExists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_INVALID_ACCESS:
    case ERROR_CURRENT_DIRECTORY:
      return PlatError::kAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return PlatError::kSharingViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return PlatError::kDiskFull;
    case ERROR_DIR_NOT_EMPTY:
      return PlatError::kNotEmpty;
    default:
      return PlatError::kOther;
  }
}

void SetFailure() { win32::SetSystemError(); }
void SetFailure(PlatError e) { win32::SetError(e); }
using win32::Injected;

bool IsSharingError(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

HANDLE ToHandle(FileHandle h) { return reinterpret_cast<HANDLE>(h); }

DWORD ShareBits(ShareMode share) {
  switch (share) {
    case ShareMode::kReadWrite:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
    case ShareMode::kRead:
      return FILE_SHARE_READ;
    case ShareMode::kWrite:
      return FILE_SHARE_WRITE;
    case ShareMode::kNone:
      break;
  }
  return 0;
}

DWORD AccessBits(unsigned access) {
  DWORD bits = 0;
  if (access & kAccessRead) bits |= GENERIC_READ;
  if (access & kAccessWrite) bits |= GENERIC_WRITE;
  return bits;
}

DWORD CreationBits(Disposition disposition) {
  switch (disposition) {
    case Disposition::kOpenExisting:
      return OPEN_EXISTING;
    case Disposition::kOpenAlways:
      return OPEN_ALWAYS;
    case Disposition::kCreateNew:
      return CREATE_NEW;
    case Disposition::kCreateAlways:
      return CREATE_ALWAYS;
  }
  return OPEN_EXISTING;
}

bool NullPath(const char* path) {
  if (path != nullptr && path[0] != '\0') return false;
  SetFailure(PlatError::kNotFound);
  return true;
}

void FillEntry(const WIN32_FIND_DATAA& data, DirEntry* entry) {
  static_assert(sizeof(entry->long_name) >= sizeof(data.cFileName), "long name buffer");
  static_assert(sizeof(entry->short_name) >= sizeof(data.cAlternateFileName), "short name buffer");
  std::memcpy(entry->long_name, data.cFileName, sizeof(data.cFileName));
  entry->long_name[sizeof(entry->long_name) - 1] = '\0';
  std::memcpy(entry->short_name, data.cAlternateFileName, sizeof(data.cAlternateFileName));
  entry->short_name[sizeof(entry->short_name) - 1] = '\0';
  entry->attributes = data.dwFileAttributes;
}

bool IsDotEntry(const WIN32_FIND_DATAA& data) {
  const char* n = data.cFileName;
  return (n[0] == '.' && n[1] == '\0') || (n[0] == '.' && n[1] == '.' && n[2] == '\0');
}

// Next entry other than "." and "..".
bool NextRealEntry(HANDLE find, WIN32_FIND_DATAA* data) {
  for (;;) {
    if (!FindNextFileA(find, data)) return false;
    if (!IsDotEntry(*data)) return true;
  }
}

}  // namespace

namespace win32 {

void SetError(PlatError e) { g_last_error = e; }

void SetSystemError() { g_last_error = MapError(GetLastError()); }

bool Injected() {
  if (!PlatFaultHit()) return false;
  g_last_error = PlatError::kInjected;
  return true;
}

}  // namespace win32

PlatError PlatLastError() { return g_last_error; }

const char* PlatErrorName(PlatError e) {
  switch (e) {
    case PlatError::kOk:
      return "ok";
    case PlatError::kNotFound:
      return "not found";
    case PlatError::kExists:
      return "exists";
    case PlatError::kAccessDenied:
      return "access denied";
    case PlatError::kSharingViolation:
      return "sharing violation";
    case PlatError::kDiskFull:
      return "disk full";
    case PlatError::kNotEmpty:
      return "not empty";
    case PlatError::kInjected:
      return "injected fault";
    case PlatError::kOther:
      break;
  }
  return "other";
}

FileHandle PlatOpen(const char* path, unsigned access, ShareMode share, Disposition disposition,
                    bool inherit) {
  if (Injected()) return kNoFile;
  if (NullPath(path)) return kNoFile;
  // Windows refuses to write a read-only file; Wine running as root would
  // not, and a truncating create would already have destroyed the contents
  // by the time the handle could be checked, so the attribute is looked at
  // first.
  if ((access & kAccessWrite) && disposition != Disposition::kCreateNew) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      SetFailure(PlatError::kAccessDenied);
      return kNoFile;
    }
  }
  SECURITY_ATTRIBUTES security;
  security.nLength = sizeof(security);
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = inherit ? TRUE : FALSE;
  for (int attempt = 0;; ++attempt) {
    HANDLE h = CreateFileA(path, AccessBits(access), ShareBits(share), &security,
                           CreationBits(disposition), FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) return reinterpret_cast<FileHandle>(h);
    DWORD code = GetLastError();
    if (!IsSharingError(code) || attempt == kSharingRetries) {
      SetFailure(MapError(code));
      return kNoFile;
    }
    PlatSleepMs(kSharingRetryMs[attempt]);
  }
}

int PlatClose(FileHandle h) {
  if (Injected()) {
    // The handle is gone either way, also when the failure is simulated.
    if (h != kNoFile) CloseHandle(ToHandle(h));
    return -1;
  }
  if (h == kNoFile) {
    SetFailure(PlatError::kOther);
    return -1;
  }
  if (!CloseHandle(ToHandle(h))) {
    SetFailure();
    return -1;
  }
  return 0;
}

long PlatRead(FileHandle h, void* buffer, unsigned long count) {
  if (Injected()) return -1;
  if (count > 0x7FFFFFFFul) count = 0x7FFFFFFFul;
  DWORD got = 0;
  if (!ReadFile(ToHandle(h), buffer, static_cast<DWORD>(count), &got, nullptr)) {
    SetFailure();
    return -1;
  }
  return static_cast<long>(got);
}

long PlatWrite(FileHandle h, const void* buffer, unsigned long count) {
  if (Injected()) return -1;
  if (count > 0x7FFFFFFFul) count = 0x7FFFFFFFul;
  DWORD put = 0;
  if (!WriteFile(ToHandle(h), buffer, static_cast<DWORD>(count), &put, nullptr)) {
    SetFailure();
    return -1;
  }
  return static_cast<long>(put);
}

int64_t PlatSeek(FileHandle h, int64_t offset, int origin) {
  if (Injected()) return -1;
  DWORD method;
  switch (origin) {
    case 0:
      method = FILE_BEGIN;
      break;
    case 1:
      method = FILE_CURRENT;
      break;
    case 2:
      method = FILE_END;
      break;
    default:
      SetFailure(PlatError::kOther);
      return -1;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(ToHandle(h), distance, &position, method)) {
    SetFailure();
    return -1;
  }
  return position.QuadPart;
}

int64_t PlatFileSize(FileHandle h) {
  if (Injected()) return -1;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(ToHandle(h), &size)) {
    SetFailure();
    return -1;
  }
  return size.QuadPart;
}

bool PlatTruncate(FileHandle h, int64_t length) {
  if (Injected()) return false;
  if (length < 0) {
    SetFailure(PlatError::kOther);
    return false;
  }
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  LARGE_INTEGER saved;
  if (!SetFilePointerEx(ToHandle(h), zero, &saved, FILE_CURRENT)) {
    SetFailure();
    return false;
  }
  LARGE_INTEGER target;
  target.QuadPart = length;
  bool ok = SetFilePointerEx(ToHandle(h), target, nullptr, FILE_BEGIN) && SetEndOfFile(ToHandle(h));
  if (!ok) SetFailure();
  // Put the position back whatever happened, so a failed cut does not move it.
  if (!SetFilePointerEx(ToHandle(h), saved, nullptr, FILE_BEGIN)) {
    if (ok) SetFailure();
    return false;
  }
  return ok;
}

bool PlatFlush(FileHandle h) {
  if (Injected()) return false;
  if (!FlushFileBuffers(ToHandle(h))) {
    SetFailure();
    return false;
  }
  return true;
}

bool PlatDeleteFile(const char* path) {
  if (Injected()) return false;
  if (NullPath(path)) return false;
  for (int attempt = 0;; ++attempt) {
    if (DeleteFileA(path)) return true;
    DWORD code = GetLastError();
    if (!IsSharingError(code) || attempt == kSharingRetries) {
      SetFailure(MapError(code));
      return false;
    }
    PlatSleepMs(kSharingRetryMs[attempt]);
  }
}

bool PlatRenameNoReplace(const char* from, const char* to) {
  if (Injected()) return false;
  if (NullPath(from) || NullPath(to)) return false;
  for (int attempt = 0;; ++attempt) {
    // No MOVEFILE_REPLACE_EXISTING: an existing target makes the call fail.
    if (MoveFileExA(from, to, 0)) return true;
    DWORD code = GetLastError();
    if (!IsSharingError(code) || attempt == kSharingRetries) {
      SetFailure(MapError(code));
      return false;
    }
    PlatSleepMs(kSharingRetryMs[attempt]);
  }
}

uint32_t PlatGetAttributes(const char* path) {
  if (Injected()) return kAttrInvalid;
  if (NullPath(path)) return kAttrInvalid;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    SetFailure();
    return kAttrInvalid;
  }
  return attributes;
}

bool PlatSetAttributes(const char* path, uint32_t attributes) {
  if (Injected()) return false;
  if (NullPath(path)) return false;
  if (!SetFileAttributesA(path, attributes)) {
    SetFailure();
    return false;
  }
  return true;
}

bool PlatMakeDir(const char* path) {
  if (Injected()) return false;
  if (NullPath(path)) return false;
  if (!CreateDirectoryA(path, nullptr)) {
    SetFailure();
    return false;
  }
  return true;
}

bool PlatRemoveDir(const char* path) {
  if (Injected()) return false;
  if (NullPath(path)) return false;
  if (!RemoveDirectoryA(path)) {
    SetFailure();
    return false;
  }
  return true;
}

SearchHandle PlatFindFirst(const char* pattern, DirEntry* entry) {
  if (Injected()) return nullptr;
  if (NullPath(pattern) || entry == nullptr) return nullptr;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) {
    SetFailure();
    return nullptr;
  }
  if (IsDotEntry(data) && !NextRealEntry(find, &data)) {
    SetFailure();
    FindClose(find);
    return nullptr;
  }
  FillEntry(data, entry);
  return static_cast<SearchHandle>(find);
}

bool PlatFindNext(SearchHandle search, DirEntry* entry) {
  if (Injected()) return false;
  if (search == nullptr || entry == nullptr) {
    SetFailure(PlatError::kOther);
    return false;
  }
  WIN32_FIND_DATAA data;
  if (!NextRealEntry(static_cast<HANDLE>(search), &data)) {
    SetFailure();
    return false;
  }
  FillEntry(data, entry);
  return true;
}

void PlatFindClose(SearchHandle search) {
  if (search != nullptr) FindClose(static_cast<HANDLE>(search));
}

char* PlatNativePath(const char* path, char* out, size_t size) {
  if (out == nullptr || size == 0) return out;
  if (path == nullptr) {
    out[0] = '\0';
    return out;
  }
  size_t n = std::strlen(path);
  if (n >= size) n = size - 1;
  std::memmove(out, path, n);
  out[n] = '\0';
  return out;
}

bool PlatAbsolutePath(const char* path, char* out, size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (path == nullptr || *path == '\0' || size > MAXDWORD) return false;
  DWORD n = GetFullPathNameA(path, static_cast<DWORD>(size), out, nullptr);
  if (n == 0 || n >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace vk
