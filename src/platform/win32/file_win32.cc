// Files and directories on Win32.  Every operating-system error is turned
// into a PlatError in MapError and nowhere else; renames and deletes meet
// the same brief holds on a shared drive as opens (file.h) and are retried
// the same way.
#include <windows.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/copy_memory.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/memory.h"
#include "platform/win32/win32_internal.h"

namespace vk {

namespace win32 {

namespace {
thread_local PlatError t_last_error = PlatError::kOk;

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
}  // namespace

void SetError(PlatError e) { t_last_error = e; }

void SetSystemError(DWORD code) { t_last_error = MapError(code); }

bool Injected() {
  if (!PlatFaultHit()) return false;
  const PlatFaultKind kind = PlatFaultArmedKind();
  SetError(kind == PlatFaultKind::kDiskFull  ? PlatError::kDiskFull
           : kind == PlatFaultKind::kSharing ? PlatError::kSharingViolation
                                             : PlatError::kInjected);
  return true;
}

}  // namespace win32

using win32::Injected;
using win32::SetError;
using win32::SetSystemError;

namespace {

// Tries for about a second in all: on a network drive another
// workstation's reader holds a message file for as long as its client takes
// to fetch it.
constexpr int kSharingRetries = 8;
constexpr unsigned kSharingRetryMs[kSharingRetries] = {10, 20, 40, 80, 160, 250, 250, 250};

// Runs `op` (true on success) again while it fails with a sharing or lock
// violation, up to kSharingRetries more times; records the error it ends with.
template <typename Op>
bool WithSharingRetry(Op op) {
  for (int attempt = 0;; ++attempt) {
    if (op()) return true;
    const DWORD code = GetLastError();
    if ((code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION) || attempt == kSharingRetries) {
      SetSystemError(code);
      return false;
    }
    PlatSleepMs(kSharingRetryMs[attempt]);
  }
}

HANDLE ToHandle(FileHandle h) { return reinterpret_cast<HANDLE>(h); }

// A reader that lets others in at all also lets them rename and delete the
// file: a listing on one workstation must not stop another from marking a
// message read or deleting it.
DWORD ShareBits(ShareMode share, unsigned access) {
  const DWORD del = (access & kAccessWrite) ? 0 : FILE_SHARE_DELETE;
  switch (share) {
    case ShareMode::kReadWrite:
      return FILE_SHARE_READ | FILE_SHARE_WRITE | del;
    case ShareMode::kRead:
      return FILE_SHARE_READ | del;
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
  SetError(PlatError::kNotFound);
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

PlatError PlatLastError() { return win32::t_last_error; }

FileHandle PlatOpen(const char* path, unsigned access, ShareMode share, Disposition disposition, bool inherit) {
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
      SetError(PlatError::kAccessDenied);
      return kNoFile;
    }
  }
  SECURITY_ATTRIBUTES security;
  security.nLength = sizeof(security);
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = inherit ? TRUE : FALSE;
  HANDLE h = INVALID_HANDLE_VALUE;
  const bool opened = WithSharingRetry([&] {
    h = CreateFileA(path, AccessBits(access), ShareBits(share, access), &security, CreationBits(disposition),
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    return h != INVALID_HANDLE_VALUE;
  });
  return opened ? reinterpret_cast<FileHandle>(h) : kNoFile;
}

int PlatClose(FileHandle h) {
  if (Injected()) {
    // The handle is gone either way, also when the failure is simulated.
    if (h != kNoFile) CloseHandle(ToHandle(h));
    return -1;
  }
  if (h == kNoFile) {
    SetError(PlatError::kOther);
    return -1;
  }
  if (!CloseHandle(ToHandle(h))) {
    SetSystemError(GetLastError());
    return -1;
  }
  return 0;
}

long PlatRead(FileHandle h, void* buffer, unsigned long count) {
  if (Injected()) return -1;
  if (count > 0x7FFFFFFFul) count = 0x7FFFFFFFul;
  DWORD got = 0;
  if (!ReadFile(ToHandle(h), buffer, static_cast<DWORD>(count), &got, nullptr)) {
    SetSystemError(GetLastError());
    return -1;
  }
  return static_cast<long>(got);
}

long PlatWrite(FileHandle h, const void* buffer, unsigned long count) {
  // A short write puts down half the bytes and reports that count.
  if (Injected()) {
    if (PlatFaultArmedKind() != PlatFaultKind::kShortWrite) return -1;
    count /= 2;
  }
  if (count > 0x7FFFFFFFul) count = 0x7FFFFFFFul;
  DWORD put = 0;
  if (!WriteFile(ToHandle(h), buffer, static_cast<DWORD>(count), &put, nullptr)) {
    SetSystemError(GetLastError());
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
      SetError(PlatError::kOther);
      return -1;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(ToHandle(h), distance, &position, method)) {
    SetSystemError(GetLastError());
    return -1;
  }
  return position.QuadPart;
}

int64_t PlatFileSize(FileHandle h) {
  if (Injected()) return -1;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(ToHandle(h), &size)) {
    SetSystemError(GetLastError());
    return -1;
  }
  return size.QuadPart;
}

namespace {

int64_t Ticks(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

FileStamp StampFrom(DWORD size_high, DWORD size_low, const FILETIME& created, const FILETIME& written) {
  FileStamp s;
  s.id = 0;  // a path's attributes carry no file index: stamps of both kinds must compare
  s.size = (static_cast<uint64_t>(size_high) << 32) | size_low;
  s.written = Ticks(written);
  s.changed = Ticks(created);
  return s;
}

// What the file system records of `path` (a fault step); false, with the
// error set, when it has nothing.
bool PathData(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) {
  if (Injected()) return false;
  if (NullPath(path)) return false;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, data)) {
    SetSystemError(GetLastError());
    return false;
  }
  return true;
}

// A held directory is its path, with its separator.
struct Held {
  char path[MAX_PATH];
};

// The path of `name` in `dir` into `out` (MAX_PATH bytes); false when it
// does not fit or the name is none.
bool PathIn(HeldDir dir, const char* name, char* out) {
  const Held* held = static_cast<const Held*>(dir);
  if (held == nullptr || name == nullptr || name[0] == '\0' || std::strpbrk(name, "\\/") != nullptr) return false;
  const size_t a = std::strlen(held->path), b = std::strlen(name);
  if (a + b >= MAX_PATH) return false;
  std::memcpy(out, held->path, a);
  std::memcpy(out + a, name, b + 1);
  return true;
}

}  // namespace

HeldDir PlatHoldDir(const char* path) {
  if (Injected()) return nullptr;
  if (NullPath(path)) return nullptr;
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetSystemError(attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY);
    return nullptr;
  }
  const size_t n = std::strlen(path);
  const bool ends = path[n - 1] == '\\' || path[n - 1] == '/';
  if (n + 2 > MAX_PATH) {
    SetSystemError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  Held* held = static_cast<Held*>(GlobalAlloc(GMEM_FIXED, sizeof(Held)));
  if (held == nullptr) {
    SetSystemError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::memcpy(held->path, path, n + 1);
  if (!ends) std::memcpy(held->path + n, "\\", 2);
  return held;
}

void PlatReleaseDir(HeldDir dir) {
  if (dir != nullptr) GlobalFree(dir);
}

FileHandle PlatOpenIn(HeldDir dir, const char* name, ShareMode share, FileStamp* stamp) {
  char path[MAX_PATH];
  if (!PathIn(dir, name, path)) {
    SetError(PlatError::kNotFound);
    return kNoFile;
  }
  FileHandle h = PlatOpen(path, kAccessRead, share, Disposition::kOpenExisting, false);
  if (h == kNoFile) return kNoFile;
  if (GetFileType(ToHandle(h)) != FILE_TYPE_DISK) {
    CloseHandle(ToHandle(h));
    SetError(PlatError::kAccessDenied);
    return kNoFile;
  }
  if (stamp != nullptr && !PlatStampOf(h, stamp)) {
    const PlatError error = PlatLastError();
    CloseHandle(ToHandle(h));
    SetError(error);
    return kNoFile;
  }
  return h;
}

bool PlatStampIn(HeldDir dir, const char* name, FileStamp* stamp) {
  char path[MAX_PATH];
  if (!PathIn(dir, name, path)) {
    SetError(PlatError::kNotFound);
    return false;
  }
  return PlatStampOfPath(path, stamp);
}

bool PlatStampOfDir(HeldDir, FileStamp*) {
  // A directory's last-write time is not kept up by every file system and
  // redirector a workgroup's share may sit on.
  SetError(PlatError::kOther);
  return false;
}

bool PlatStampOf(FileHandle h, FileStamp* stamp) {
  if (Injected()) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (stamp == nullptr || !GetFileInformationByHandle(ToHandle(h), &info)) {
    SetSystemError(stamp == nullptr ? ERROR_INVALID_PARAMETER : GetLastError());
    return false;
  }
  *stamp = StampFrom(info.nFileSizeHigh, info.nFileSizeLow, info.ftCreationTime, info.ftLastWriteTime);
  return true;
}

bool PlatStampOfPath(const char* path, FileStamp* stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (stamp == nullptr || !PathData(path, &data)) return false;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)) {
    SetSystemError(ERROR_ACCESS_DENIED);
    return false;
  }
  *stamp = StampFrom(data.nFileSizeHigh, data.nFileSizeLow, data.ftCreationTime, data.ftLastWriteTime);
  return true;
}

bool PlatTruncate(FileHandle h, int64_t length) {
  if (Injected()) return false;
  if (length < 0) {
    SetError(PlatError::kOther);
    return false;
  }
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  LARGE_INTEGER saved;
  if (!SetFilePointerEx(ToHandle(h), zero, &saved, FILE_CURRENT)) {
    SetSystemError(GetLastError());
    return false;
  }
  LARGE_INTEGER target;
  target.QuadPart = length;
  bool ok = SetFilePointerEx(ToHandle(h), target, nullptr, FILE_BEGIN) && SetEndOfFile(ToHandle(h));
  if (!ok) SetSystemError(GetLastError());
  // Put the position back whatever happened, so a failed cut does not move it.
  if (!SetFilePointerEx(ToHandle(h), saved, nullptr, FILE_BEGIN)) {
    if (ok) SetSystemError(GetLastError());
    return false;
  }
  return ok;
}

bool PlatFlush(FileHandle h) {
  if (Injected()) return false;
  if (!FlushFileBuffers(ToHandle(h))) {
    SetSystemError(GetLastError());
    return false;
  }
  return true;
}

void PlatStartFlush(FileHandle) {}

int64_t PlatCopyContents(FileHandle src, FileHandle dst, CopyFailure* failed) {
  CopyFailure unused = CopyFailure::kNone;
  if (failed == nullptr) failed = &unused;
  *failed = CopyFailure::kNone;
  return CopyThroughMemory(src, dst, failed, SetError);
}

bool PlatDeleteFile(const char* path) {
  if (Injected()) return false;
  if (NullPath(path)) return false;
  return WithSharingRetry([&] { return DeleteFileA(path) != FALSE; });
}

bool PlatRenameNoReplace(const char* from, const char* to) {
  if (Injected()) return false;
  if (NullPath(from) || NullPath(to)) return false;
  // No MOVEFILE_REPLACE_EXISTING: an existing target makes the call fail.
  return WithSharingRetry([&] { return MoveFileExA(from, to, 0) != FALSE; });
}

uint32_t PlatGetAttributes(const char* path) {
  if (Injected()) return kAttrInvalid;
  if (NullPath(path)) return kAttrInvalid;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    SetSystemError(GetLastError());
    return kAttrInvalid;
  }
  return attributes;
}

bool PlatFileAge(const char* path, int64_t* seconds) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (seconds == nullptr || !PathData(path, &data)) return false;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  *seconds = (Ticks(now) - Ticks(data.ftLastWriteTime)) / 10000000;  // 100 ns ticks
  return true;
}

bool PlatSetAttributes(const char* path, uint32_t attributes) {
  if (Injected()) return false;
  if (NullPath(path)) return false;
  if (!SetFileAttributesA(path, attributes)) {
    SetSystemError(GetLastError());
    return false;
  }
  return true;
}

bool PlatMakeDir(const char* path) {
  if (Injected()) return false;
  if (NullPath(path)) return false;
  if (!CreateDirectoryA(path, nullptr)) {
    SetSystemError(GetLastError());
    return false;
  }
  return true;
}

bool PlatRemoveDir(const char* path) {
  if (Injected()) return false;
  if (NullPath(path)) return false;
  if (!RemoveDirectoryA(path)) {
    SetSystemError(GetLastError());
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
    SetSystemError(GetLastError());
    return nullptr;
  }
  if (IsDotEntry(data) && !NextRealEntry(find, &data)) {
    SetSystemError(GetLastError());
    FindClose(find);
    return nullptr;
  }
  FillEntry(data, entry);
  return static_cast<SearchHandle>(find);
}

bool PlatFindNext(SearchHandle search, DirEntry* entry) {
  if (Injected()) return false;
  if (search == nullptr || entry == nullptr) {
    SetError(PlatError::kOther);
    return false;
  }
  WIN32_FIND_DATAA data;
  if (!NextRealEntry(static_cast<HANDLE>(search), &data)) {
    SetSystemError(GetLastError());
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
