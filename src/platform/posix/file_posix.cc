// Files and directories on POSIX.
//
// Paths reach the system through ResolvePath, which gives a mail tree that
// came from a Windows drive the matching rules of a Windows file system.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/posix/posix_internal.h"

namespace vk {

namespace posix {

namespace {
thread_local PlatError t_last_error = PlatError::kOk;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Exists(const std::string& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// The entry of `dir` that is `name` without regard to case, tried first with
// the common spellings (cheap) and then by reading the directory.  Several
// matches: the smallest spelling wins, so every caller agrees.
bool FindNoCase(const std::string& dir, const std::string& name, std::string* found) {
  std::string lower = name, upper = name;
  for (char& c : lower) c = FoldAscii(c);
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  if (lower != name && Exists(Join(dir, lower))) {
    *found = lower;
    return true;
  }
  if (upper != name && Exists(Join(dir, upper))) {
    *found = upper;
    return true;
  }
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return false;
  bool any = false;
  while (struct dirent* e = readdir(d)) {
    if (!NamesEqualNoCase(e->d_name, name.c_str())) continue;
    if (!any || std::strcmp(e->d_name, found->c_str()) < 0) *found = e->d_name;
    any = true;
  }
  closedir(d);
  return any;
}
}  // namespace

void SetError(PlatError e) { t_last_error = e; }

void SetErrno(int err, ErrnoCall call) {
  PlatError e;
  switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      e = PlatError::kNotFound;
      break;
    case EEXIST:
      // POSIX lets rmdir report a directory that still holds entries so.
      e = call == ErrnoCall::kRemoveDir ? PlatError::kNotEmpty : PlatError::kExists;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      e = PlatError::kAccessDenied;
      break;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EBUSY:  // an SMB share: the file is open on another workstation
      e = PlatError::kSharingViolation;
      break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      e = PlatError::kDiskFull;
      break;
    case ENOTEMPTY:
      e = PlatError::kNotEmpty;
      break;
    case EINVAL:
      // ftruncate's answer for a handle that is not open for writing.
      e = call == ErrnoCall::kTruncate ? PlatError::kAccessDenied : PlatError::kOther;
      break;
    default:
      e = PlatError::kOther;
      break;
  }
  t_last_error = e;
}

bool NamesEqualNoCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
  }
  return *a == *b;
}

bool ResolvePath(const char* path, std::string* out) {
  std::string p = path != nullptr ? path : "";
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  // "KWZ0f3a." names "KWZ0f3a", as on Windows; "." and ".." stay.
  size_t last = p.rfind('/');
  size_t start = last == std::string::npos ? 0 : last + 1;
  if (p.size() > start && p.back() == '.' && p.find_first_not_of('.', start) != std::string::npos) {
    while (p.back() == '.') p.pop_back();
  }
  if (p.empty() || Exists(p)) {
    *out = p;
    return !p.empty();
  }
  std::string acc = p[0] == '/' ? "/" : "";
  bool exists = true;
  size_t i = 0;
  while (i < p.size()) {
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    std::string comp = p.substr(i, j - i);
    i = j + 1;
    if (comp.empty()) continue;
    std::string cand = Join(acc, comp);
    if (exists && !Exists(cand)) {
      std::string found;
      if (comp != "." && comp != ".." && FindNoCase(acc, comp, &found)) {
        cand = Join(acc, found);
      } else {
        exists = false;
      }
    }
    acc = cand;
  }
  if (p.back() == '/' && !acc.empty() && acc.back() != '/') acc += '/';
  *out = acc;
  return exists;
}

}  // namespace posix

using posix::ByteRange;
using posix::ResolvePath;
using posix::SetErrno;
using posix::SetError;

namespace {

bool Injected() {
  if (!PlatFaultHit()) return false;
  SetError(PlatError::kInjected);
  return true;
}

int Fd(FileHandle h) { return (h < 0 || h > INT_MAX) ? -1 : static_cast<int>(h); }

// Sharing modes.  Each open handle holds shared locks on the marker bytes
// that describe it (it reads, it writes, it refuses readers, it refuses
// writers); an opener places its own markers first and then looks for a
// conflicting marker of any other handle.  Of two openers that race, the one
// that looks last always sees the other, so two conflicting handles never
// both stand; both may step back, which the retry loop settles.
constexpr off_t kMarkerBase = static_cast<off_t>(1) << 40;
constexpr off_t kHasRead = kMarkerBase + 0;
constexpr off_t kHasWrite = kMarkerBase + 1;
constexpr off_t kDenyRead = kMarkerBase + 2;
constexpr off_t kDenyWrite = kMarkerBase + 3;

bool LockByte(int fd, off_t at, short type) {
  struct flock fl = ByteRange(type, at, 1);
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool OthersHold(int fd, off_t at) {
  struct flock fl = ByteRange(F_WRLCK, at, 1);
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

void DropMarkers(int fd) {
  struct flock fl = ByteRange(F_UNLCK, kMarkerBase, 4);
  fcntl(fd, F_OFD_SETLK, &fl);
}

// true when the handle may stand beside every other open handle.
bool TakeShare(int fd, bool reads, bool writes, bool others_read, bool others_write) {
  struct Want {
    bool on;
    off_t at;
  } wants[] = {{reads, kHasRead}, {writes, kHasWrite}, {!others_read, kDenyRead}, {!others_write, kDenyWrite}};
  for (const Want& w : wants) {
    if (w.on && !LockByte(fd, w.at, F_RDLCK)) {
      // No lock support here (or a write-only descriptor): nothing to
      // coordinate with, so the open goes ahead unchecked.
      DropMarkers(fd);
      return true;
    }
  }
  bool conflict = (reads && OthersHold(fd, kDenyRead)) || (writes && OthersHold(fd, kDenyWrite)) ||
                  (!others_read && OthersHold(fd, kHasRead)) || (!others_write && OthersHold(fd, kHasWrite));
  if (conflict) DropMarkers(fd);
  return !conflict;
}

thread_local unsigned t_backoff_seed = static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(PlatTickCount());

bool ShareWithRetry(int fd, bool reads, bool writes, bool others_read, bool others_write) {
  for (int attempt = 0;; ++attempt) {
    if (TakeShare(fd, reads, writes, others_read, others_write)) return true;
    if (attempt == 6) return false;
    PlatSleepMs(1 + rand_r(&t_backoff_seed) % 5);
  }
}

// A share refuses to delete or rename a file that another workstation holds
// open (EBUSY), as Windows does; such holds are brief (a listing reading a
// header), so a handful of tries, about a quarter of a second in all.
constexpr int kSharingRetries = 5;
constexpr unsigned kSharingRetryMs[kSharingRetries] = {10, 20, 40, 80, 100};

// Runs `op` (0 on success, else -1 with errno) again while it fails with
// EBUSY, up to kSharingRetries more times.
template <typename Op>
int WithSharingRetry(Op op) {
  for (int attempt = 0;; ++attempt) {
    if (op() == 0) return 0;
    if (errno != EBUSY || attempt == kSharingRetries) return -1;
    PlatSleepMs(kSharingRetryMs[attempt]);
  }
}

bool IsHiddenName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
  return name.size() > 1 && name[0] == '.' && name != "..";
}

uint32_t AttributesOf(const std::string& resolved, const struct stat& st) {
  uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) a |= kAttrReadOnly;
  if (IsHiddenName(resolved)) a |= kAttrHidden;
  return a == 0 ? kAttrNormal : a;
}

// Windows name matching: * and ? without regard to case, and a name without
// a period matches as if it ended in one ("*.*" and "*." both take "README").
bool WildMatch(const char* pat, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pat == '*') {
      star = pat++;
      resume = name;
    } else if (*pat == '?' || (*pat != '\0' && posix::NamesEqualNoCase(std::string(1, *pat).c_str(),
                                                                         std::string(1, *name).c_str()))) {
      ++pat;
      ++name;
    } else if (star != nullptr) {
      pat = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pat == '*') ++pat;
  return *pat == '\0';
}

bool PatternMatches(const std::string& pattern, const char* name) {
  if (WildMatch(pattern.c_str(), name)) return true;
  if (std::strchr(name, '.') != nullptr) return false;
  std::string dotted = std::string(name) + ".";
  return WildMatch(pattern.c_str(), dotted.c_str());
}

struct Search {
  DIR* dir;
  std::string directory;
  std::string pattern;
};

// The next entry that matches, or false at the end.
bool NextMatch(Search* s, DirEntry* entry) {
  while (struct dirent* e = readdir(s->dir)) {
    const char* name = e->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (std::strlen(name) >= sizeof entry->long_name) continue;  // unreachable by any 260-byte path
    if (!PatternMatches(s->pattern, name)) continue;
    std::string full = s->directory.empty() ? std::string(name) : s->directory + "/" + name;
    struct stat st;
    if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0) continue;  // vanished meanwhile
    std::memcpy(entry->long_name, name, std::strlen(name) + 1);
    entry->short_name[0] = '\0';
    entry->attributes = AttributesOf(full, st);
    return true;
  }
  return false;
}

}  // namespace

PlatError PlatLastError() { return posix::t_last_error; }

FileHandle PlatOpen(const char* path, unsigned access, ShareMode share, Disposition disposition, bool inherit) {
  if (Injected()) return kNoFile;
  if (path == nullptr || *path == '\0') {
    SetError(PlatError::kNotFound);
    return kNoFile;
  }
  std::string p;
  bool exists = ResolvePath(path, &p);
  if (disposition == Disposition::kCreateNew && exists) {
    SetError(PlatError::kExists);
    return kNoFile;
  }
  bool reads = (access & kAccessRead) != 0;
  bool writes = (access & kAccessWrite) != 0;
  struct stat st;
  // The read-only attribute refuses writers even where the system would let
  // this user (root) write, as it does on Windows.
  if (exists && writes && stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    SetError(PlatError::kAccessDenied);
    return kNoFile;
  }
  int flags = inherit ? 0 : O_CLOEXEC;
  if (disposition == Disposition::kCreateNew) flags |= O_CREAT | O_EXCL;
  if (disposition == Disposition::kOpenAlways || disposition == Disposition::kCreateAlways) flags |= O_CREAT;
  int fd = open(p.c_str(), flags | (writes ? O_RDWR : O_RDONLY), 0666);
  if (fd < 0 && writes && !reads && errno == EACCES) fd = open(p.c_str(), flags | O_WRONLY, 0666);
  if (fd < 0) {
    SetErrno(errno);
    return kNoFile;
  }
  if (fstat(fd, &st) != 0) {
    int err = errno;
    close(fd);
    SetErrno(err);
    return kNoFile;
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd);
    SetError(PlatError::kAccessDenied);
    return kNoFile;
  }
  bool others_read = share == ShareMode::kReadWrite || share == ShareMode::kRead;
  bool others_write = share == ShareMode::kReadWrite || share == ShareMode::kWrite;
  if (!ShareWithRetry(fd, reads, writes, others_read, others_write)) {
    close(fd);
    SetError(PlatError::kSharingViolation);
    return kNoFile;
  }
  // Truncating only now keeps a refused open from cutting another's file.
  if (disposition == Disposition::kCreateAlways && st.st_size != 0) {
    int r = writes ? ftruncate(fd, 0) : truncate(p.c_str(), 0);
    if (r != 0) {
      int err = errno;
      close(fd);
      SetErrno(err);
      return kNoFile;
    }
  }
  return fd;
}

int PlatClose(FileHandle h) {
  bool injected = Injected();
  int fd = Fd(h);
  if (fd < 0) {
    if (!injected) SetError(PlatError::kOther);
    return -1;
  }
  // The descriptor is gone after close() even when it reports an error.
  if (close(fd) != 0 && errno != EINTR) {
    if (!injected) SetErrno(errno);
    return -1;
  }
  return injected ? -1 : 0;
}

long PlatRead(FileHandle h, void* buffer, unsigned long count) {
  if (Injected()) return -1;
  int fd = Fd(h);
  if (fd < 0 || (buffer == nullptr && count != 0)) {
    SetError(PlatError::kOther);
    return -1;
  }
  if (count > static_cast<unsigned long>(LONG_MAX)) count = LONG_MAX;
  unsigned long done = 0;
  char* p = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t n = read(fd, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetErrno(errno);
      return -1;
    }
    if (n == 0) break;
    done += static_cast<unsigned long>(n);
  }
  return static_cast<long>(done);
}

long PlatWrite(FileHandle h, const void* buffer, unsigned long count) {
  if (Injected()) return -1;
  int fd = Fd(h);
  if (fd < 0 || (buffer == nullptr && count != 0)) {
    SetError(PlatError::kOther);
    return -1;
  }
  if (count > static_cast<unsigned long>(LONG_MAX)) count = LONG_MAX;
  unsigned long done = 0;
  const char* p = static_cast<const char*>(buffer);
  while (done < count) {
    ssize_t n = write(fd, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetErrno(errno);
      return -1;
    }
    done += static_cast<unsigned long>(n);
  }
  return static_cast<long>(done);
}

int64_t PlatSeek(FileHandle h, int64_t offset, int origin) {
  if (Injected()) return -1;
  int fd = Fd(h);
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
  if (fd < 0 || whence < 0) {
    SetError(PlatError::kOther);
    return -1;
  }
  off_t r = lseek(fd, static_cast<off_t>(offset), whence);
  if (r < 0) {
    SetErrno(errno);
    return -1;
  }
  return static_cast<int64_t>(r);
}

int64_t PlatFileSize(FileHandle h) {
  if (Injected()) return -1;
  struct stat st;
  if (Fd(h) < 0 || fstat(Fd(h), &st) != 0) {
    SetErrno(Fd(h) < 0 ? EBADF : errno);
    return -1;
  }
  return static_cast<int64_t>(st.st_size);
}

bool PlatTruncate(FileHandle h, int64_t length) {
  if (Injected()) return false;
  if (Fd(h) < 0 || length < 0) {
    SetError(PlatError::kOther);
    return false;
  }
  // ftruncate leaves the file position alone.
  if (ftruncate(Fd(h), static_cast<off_t>(length)) != 0) {
    SetErrno(errno, posix::ErrnoCall::kTruncate);
    return false;
  }
  return true;
}

bool PlatFlush(FileHandle h) {
  if (Injected()) return false;
  if (Fd(h) < 0 || fsync(Fd(h)) != 0) {
    SetErrno(Fd(h) < 0 ? EBADF : errno);
    return false;
  }
  return true;
}

bool PlatDeleteFile(const char* path) {
  if (Injected()) return false;
  if (path == nullptr) {
    SetError(PlatError::kNotFound);
    return false;
  }
  std::string p;
  ResolvePath(path, &p);
  struct stat st;
  if (lstat(p.c_str(), &st) != 0) {
    SetErrno(errno);
    return false;
  }
  // As on Windows: a directory or a read-only file is not deleted.
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
    SetError(PlatError::kAccessDenied);
    return false;
  }
  if (WithSharingRetry([&] { return unlink(p.c_str()); }) != 0) {
    SetErrno(errno);
    return false;
  }
  return true;
}

bool PlatRenameNoReplace(const char* from, const char* to) {
  if (Injected()) return false;
  std::string src, dst;
  if (from == nullptr || to == nullptr) {
    SetError(PlatError::kNotFound);
    return false;
  }
  struct stat st;
  if (!ResolvePath(from, &src) && lstat(src.c_str(), &st) != 0) {
    SetErrno(errno);
    return false;
  }
  if (ResolvePath(to, &dst)) {
    struct stat a, b;
    bool same = lstat(src.c_str(), &a) == 0 && lstat(dst.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
                a.st_ino == b.st_ino;
    if (!same) {
      SetError(PlatError::kExists);
      return false;
    }
    // Only the spelling changes: the target takes the spelling given.
    std::string given;
    ResolvePath(to, &given);
    size_t slash = given.rfind('/');
    std::string wanted = to;
    for (char& c : wanted) {
      if (c == '\\') c = '/';
    }
    size_t wslash = wanted.rfind('/');
    dst = (slash == std::string::npos ? std::string() : given.substr(0, slash + 1)) +
          (wslash == std::string::npos ? wanted : wanted.substr(wslash + 1));
    if (dst == src) return true;
    if (WithSharingRetry([&] { return rename(src.c_str(), dst.c_str()); }) != 0) {
      SetErrno(errno);
      return false;
    }
    return true;
  }
  if (renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
    SetErrno(errno);
    return false;
  }
  // A file system without the no-replace flag: a hard link refuses an
  // existing target atomically for files; directories fall back to a check.
  if (lstat(src.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    if (link(src.c_str(), dst.c_str()) == 0) {
      unlink(src.c_str());
      return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) {
      SetErrno(errno);
      return false;
    }
  }
  if (lstat(dst.c_str(), &st) == 0) {
    SetError(PlatError::kExists);
    return false;
  }
  if (WithSharingRetry([&] { return rename(src.c_str(), dst.c_str()); }) != 0) {
    SetErrno(errno);
    return false;
  }
  return true;
}

uint32_t PlatGetAttributes(const char* path) {
  if (Injected()) return kAttrInvalid;
  if (path == nullptr) {
    SetError(PlatError::kNotFound);
    return kAttrInvalid;
  }
  std::string p;
  ResolvePath(path, &p);
  struct stat st;
  if (stat(p.c_str(), &st) != 0) {
    SetErrno(errno);
    return kAttrInvalid;
  }
  return AttributesOf(p, st);
}

bool PlatSetAttributes(const char* path, uint32_t attributes) {
  if (Injected()) return false;
  if (path == nullptr) {
    SetError(PlatError::kNotFound);
    return false;
  }
  std::string p;
  ResolvePath(path, &p);
  struct stat st;
  if (stat(p.c_str(), &st) != 0) {
    SetErrno(errno);
    return false;
  }
  mode_t mode = st.st_mode & 07777;
  if ((attributes & kAttrReadOnly) != 0) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    mode |= S_IWUSR;
  }
  if (mode != (st.st_mode & 07777) && chmod(p.c_str(), mode) != 0) {
    SetErrno(errno);
    return false;
  }
  return true;
}

bool PlatMakeDir(const char* path) {
  if (Injected()) return false;
  std::string p;
  if (path == nullptr || *path == '\0') {
    SetError(PlatError::kNotFound);
    return false;
  }
  if (ResolvePath(path, &p)) {
    SetError(PlatError::kExists);
    return false;
  }
  if (mkdir(p.c_str(), 0777) != 0) {
    // smbnetfs answers a directory that another workstation made just now
    // with an I/O error.
    int err = errno;
    struct stat st;
    if (err == EIO && lstat(p.c_str(), &st) == 0) err = EEXIST;
    SetErrno(err);
    return false;
  }
  return true;
}

bool PlatRemoveDir(const char* path) {
  if (Injected()) return false;
  if (path == nullptr) {
    SetError(PlatError::kNotFound);
    return false;
  }
  std::string p;
  ResolvePath(path, &p);
  if (rmdir(p.c_str()) != 0) {
    SetErrno(errno, posix::ErrnoCall::kRemoveDir);
    return false;
  }
  return true;
}

SearchHandle PlatFindFirst(const char* pattern, DirEntry* entry) {
  if (Injected()) return nullptr;
  if (pattern == nullptr || entry == nullptr) {
    SetError(PlatError::kNotFound);
    return nullptr;
  }
  std::string all = pattern;
  for (char& c : all) {
    if (c == '\\') c = '/';
  }
  size_t slash = all.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : all.substr(0, slash + 1);
  std::string pat = slash == std::string::npos ? all : all.substr(slash + 1);
  if (pat.empty()) {
    SetError(PlatError::kNotFound);
    return nullptr;
  }
  std::string resolved;
  if (!dir.empty()) ResolvePath(dir.c_str(), &resolved);
  while (resolved.size() > 1 && resolved.back() == '/') resolved.pop_back();
  DIR* d = opendir(resolved.empty() ? "." : resolved.c_str());
  if (d == nullptr) {
    SetErrno(errno);
    return nullptr;
  }
  Search* s = new (std::nothrow) Search;
  if (s == nullptr) {
    closedir(d);
    SetError(PlatError::kOther);
    return nullptr;
  }
  s->dir = d;
  s->pattern = pat;
  s->directory = resolved;
  if (!NextMatch(s, entry)) {
    PlatFindClose(s);
    SetError(PlatError::kNotFound);
    return nullptr;
  }
  return s;
}

bool PlatFindNext(SearchHandle search, DirEntry* entry) {
  if (Injected()) return false;
  if (search == nullptr || entry == nullptr) {
    SetError(PlatError::kOther);
    return false;
  }
  if (!NextMatch(static_cast<Search*>(search), entry)) {
    SetError(PlatError::kNotFound);
    return false;
  }
  return true;
}

void PlatFindClose(SearchHandle search) {
  Search* s = static_cast<Search*>(search);
  if (s == nullptr) return;
  closedir(s->dir);
  delete s;
}

char* PlatNativePath(const char* path, char* out, size_t size) {
  if (out == nullptr || size == 0) return out;
  std::string p;
  ResolvePath(path, &p);
  size_t n = p.size() < size - 1 ? p.size() : size - 1;
  std::memcpy(out, p.data(), n);
  out[n] = '\0';
  return out;
}

bool PlatAbsolutePath(const char* path, char* out, size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (path == nullptr || *path == '\0') return false;
  std::string given(path);
  for (char& c : given) {
    if (c == '\\') c = '/';
  }
  if (given[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return false;
    given = std::string(cwd) + "/" + given;
  }
  // Resolve "." and ".." in the text, as the Windows call does.
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= given.size()) {
    size_t j = given.find('/', i);
    if (j == std::string::npos) j = given.size();
    std::string part = given.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string made;
  for (const std::string& part : parts) made += "/" + part;
  if (made.empty()) made = "/";
  if (given.size() > 1 && given.back() == '/' && made != "/") made += "/";
  if (made.size() >= size) return false;
  std::memcpy(out, made.c_str(), made.size() + 1);
  return true;
}

}  // namespace vk
