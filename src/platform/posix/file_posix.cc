// Files and directories on POSIX.  Paths reach the system through
// ResolvePath (path_posix.cc); sharing modes are emulated in share_posix.cc.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "platform/copy_memory.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/memory.h"
#include "platform/posix/posix_internal.h"

namespace vk {

namespace posix {

namespace {

bool IsHiddenName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
  return name.size() > 1 && name[0] == '.' && name != "..";
}

}  // namespace

uint32_t AttributesOf(const std::string& resolved, const struct stat& st) {
  uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) a |= kAttrReadOnly;
  if (IsHiddenName(resolved)) a |= kAttrHidden;
  return a == 0 ? kAttrNormal : a;
}

}  // namespace posix

using posix::AttributesOf;
using posix::Injected;
using posix::NoThrow;
using posix::ResolvePath;
using posix::SetErrno;
using posix::SetError;
using posix::ShareWithRetry;

namespace {

int Fd(FileHandle h) { return (h < 0 || h > INT_MAX) ? -1 : static_cast<int>(h); }

FileStamp StampFrom(const struct stat& st) {
  FileStamp s;
  s.id = static_cast<uint64_t>(st.st_ino) ^ (static_cast<uint64_t>(st.st_dev) << 40);
  s.size = static_cast<uint64_t>(st.st_size);
  s.written = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.changed = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

// What every descriptor just opened passes before it is handed out: it is
// no directory, and its sharing markers stand beside every other handle's.
// `st` receives what the look at it found.  The descriptor, or kNoFile with
// the descriptor closed and the error set.
FileHandle Admit(int fd, bool reads, bool writes, ShareMode share, struct stat* st) {
  if (fstat(fd, st) != 0) {
    int err = errno;
    close(fd);
    SetErrno(err);
    return kNoFile;
  }
  if (S_ISDIR(st->st_mode)) {
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
  return fd;
}

// The stamp of the plain file `name` spelled so, relative to `dir`
// (AT_FDCWD: as a path), without following a link.
bool StampOfName(int dir, const char* name, FileStamp* stamp) {
  return NoThrow<bool>(false, [&]() -> bool {
    if (Injected()) return false;
    if (name == nullptr || stamp == nullptr) {
      SetError(PlatError::kNotFound);
      return false;
    }
    struct stat st;
    if (fstatat(dir, posix::NativeSpelling(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      SetErrno(errno);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      SetError(PlatError::kAccessDenied);
      return false;
    }
    *stamp = StampFrom(st);
    return true;
  });
}

// A held directory: the directory itself for reaching names, and its path
// for the names that must be looked up without regard to case.
struct Held {
  int fd;
  std::string path;
};

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

// The prologue of every call on one named file: no exception escapes, the
// fault hook may fail the call, a null path is not found, and `body` gets
// the path to hand the system.
template <typename R, typename Body>
R OnPath(const char* path, R failure, Body body) noexcept {
  return NoThrow<R>(failure, [&]() -> R {
    if (Injected()) return failure;
    if (path == nullptr) {
      SetError(PlatError::kNotFound);
      return failure;
    }
    std::string p;
    ResolvePath(path, &p);
    return body(p);
  });
}

}  // namespace

FileHandle PlatOpen(const char* path, unsigned access, ShareMode share, Disposition disposition, bool inherit) {
  return NoThrow<FileHandle>(kNoFile, [&]() -> FileHandle {
    if (Injected()) return kNoFile;
    if (path == nullptr || *path == '\0') {
      SetError(PlatError::kNotFound);
      return kNoFile;
    }
    const bool reads = (access & kAccessRead) != 0;
    const bool writes = (access & kAccessWrite) != 0;
    int flags = inherit ? 0 : O_CLOEXEC;
    if (disposition == Disposition::kCreateNew) flags |= O_CREAT | O_EXCL;
    if (disposition == Disposition::kOpenAlways || disposition == Disposition::kCreateAlways) flags |= O_CREAT;
    // A reader nearly always names the file with its own spelling: opening
    // that first spares resolving the path; only a miss is looked up without
    // regard to case.
    std::string p;
    int fd = -1;
    if (disposition == Disposition::kOpenExisting && !writes) {
      p = posix::NativeSpelling(path);
      fd = open(p.c_str(), flags | O_RDONLY);
      if (fd < 0 && errno != ENOENT && errno != ENOTDIR) {
        SetErrno(errno);
        return kNoFile;
      }
    }
    struct stat st;
    if (fd < 0) {
      const bool exists = ResolvePath(path, &p);
      if (disposition == Disposition::kCreateNew && exists) {
        SetError(PlatError::kExists);
        return kNoFile;
      }
      // The read-only attribute refuses writers even where the system would
      // let this user (root) write, as it does on Windows.
      if (exists && writes && stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
          (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        SetError(PlatError::kAccessDenied);
        return kNoFile;
      }
      fd = open(p.c_str(), flags | (writes ? O_RDWR : O_RDONLY), 0666);
      if (fd < 0 && writes && !reads && errno == EACCES) fd = open(p.c_str(), flags | O_WRONLY, 0666);
    }
    if (fd < 0) {
      SetErrno(errno);
      return kNoFile;
    }
    if (Admit(fd, reads, writes, share, &st) == kNoFile) return kNoFile;
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
  });
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
  // A short write puts down half the bytes and reports that count.
  if (Injected()) {
    if (PlatFaultArmedKind() != PlatFaultKind::kShortWrite) return -1;
    count /= 2;
  }
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

HeldDir PlatHoldDir(const char* path) {
  return OnPath<HeldDir>(path, nullptr, [&](const std::string& p) -> HeldDir {
    std::string kept = p;  // copied before the directory is opened: a failed copy leaves nothing open
    const int fd = open(p.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      SetErrno(errno);
      return nullptr;
    }
    Held* held = new (std::nothrow) Held{fd, std::move(kept)};
    if (held == nullptr) {
      close(fd);
      SetError(PlatError::kOther);
    }
    return held;
  });
}

void PlatReleaseDir(HeldDir dir) {
  Held* held = static_cast<Held*>(dir);
  if (held == nullptr) return;
  close(held->fd);
  delete held;
}

FileHandle PlatOpenIn(HeldDir dir, const char* name, ShareMode share, FileStamp* stamp) {
  return NoThrow<FileHandle>(kNoFile, [&]() -> FileHandle {
    if (Injected()) return kNoFile;
    const Held* held = static_cast<const Held*>(dir);
    if (held == nullptr || name == nullptr || *name == '\0' || std::strchr(name, '/') != nullptr) {
      SetError(PlatError::kNotFound);
      return kNoFile;
    }
    // A link or a pipe that took a name since the directory was read is no
    // file to open: the one is refused, the other is not waited on.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    const std::string own = posix::NativeSpelling(name);
    int fd = openat(held->fd, own.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT) {
      // Another spelling, looked up as every path is.
      std::string p;
      ResolvePath((held->path + "/" + name).c_str(), &p);
      fd = open(p.c_str(), kFlags);
    }
    if (fd < 0) {
      if (errno == ELOOP) {
        SetError(PlatError::kAccessDenied);
      } else {
        SetErrno(errno);
      }
      return kNoFile;
    }
    struct stat st;
    if (Admit(fd, true, false, share, &st) == kNoFile) return kNoFile;
    if (!S_ISREG(st.st_mode)) {
      close(fd);
      SetError(PlatError::kAccessDenied);
      return kNoFile;
    }
    if (stamp != nullptr) *stamp = StampFrom(st);
    return fd;
  });
}

bool PlatStampIn(HeldDir dir, const char* name, FileStamp* stamp) {
  const Held* held = static_cast<const Held*>(dir);
  if (held == nullptr || (name != nullptr && std::strchr(name, '/') != nullptr)) {
    SetError(PlatError::kNotFound);
    return false;
  }
  return StampOfName(held->fd, name, stamp);
}

bool PlatStampOfDir(HeldDir dir, FileStamp* stamp) {
  if (Injected()) return false;
  const Held* held = static_cast<const Held*>(dir);
  struct stat st;
  struct timespec now;
  if (held == nullptr || stamp == nullptr || fstat(held->fd, &st) != 0 || clock_gettime(CLOCK_REALTIME, &now) != 0) {
    SetErrno(held == nullptr || stamp == nullptr ? EBADF : errno);
    return false;
  }
  // Whole seconds may be all a share keeps, and a directory changed within
  // the last second may change again without its time moving.
  const bool fine = st.st_mtim.tv_nsec != 0;
  const bool settled = st.st_mtim.tv_sec + 1 < now.tv_sec;
  if (!fine || !settled || st.st_nlink == 0) {
    SetError(PlatError::kOther);
    return false;
  }
  *stamp = StampFrom(st);
  return true;
}

bool PlatStampOf(FileHandle h, FileStamp* stamp) {
  if (Injected()) return false;
  struct stat st;
  if (Fd(h) < 0 || stamp == nullptr || fstat(Fd(h), &st) != 0) {
    SetErrno(Fd(h) < 0 || stamp == nullptr ? EBADF : errno);
    return false;
  }
  *stamp = StampFrom(st);
  return true;
}

bool PlatStampOfPath(const char* path, FileStamp* stamp) { return StampOfName(AT_FDCWD, path, stamp); }

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

void PlatStartFlush(FileHandle h) {
  if (Fd(h) >= 0) sync_file_range(Fd(h), 0, 0, SYNC_FILE_RANGE_WRITE);
}

namespace {

constexpr size_t kCopyChunk = static_cast<size_t>(16) << 20;

// The bytes from the file position to the end, -1 when unknown.
int64_t BytesLeft(int fd) {
  struct stat st;
  const off_t at = lseek(fd, 0, SEEK_CUR);
  if (at < 0 || fstat(fd, &st) != 0) return -1;
  return st.st_size > at ? static_cast<int64_t>(st.st_size - at) : 0;
}

}  // namespace

int64_t PlatCopyContents(FileHandle src, FileHandle dst, CopyFailure* failed) {
  CopyFailure unused = CopyFailure::kNone;
  if (failed == nullptr) failed = &unused;
  *failed = CopyFailure::kNone;
  const int in = Fd(src);
  const int out = Fd(dst);
  if (in < 0 || out < 0) {
    SetError(PlatError::kOther);
    *failed = in < 0 ? CopyFailure::kRead : CopyFailure::kWrite;
    return -1;
  }
  int64_t total = 0;
  for (;;) {
    if (Injected()) {
      *failed = CopyFailure::kRead;
      return -1;
    }
    if (Injected()) {
      // A short write puts down half of what the chunk would have copied.
      *failed = CopyFailure::kWrite;
      if (PlatFaultArmedKind() != PlatFaultKind::kShortWrite) return -1;
      const int64_t left = BytesLeft(in);
      const size_t half = static_cast<size_t>((left < static_cast<int64_t>(kCopyChunk) ? left : kCopyChunk) / 2);
      if (half > 0) copy_file_range(in, nullptr, out, nullptr, half, 0);
      return -1;
    }
    const ssize_t n = copy_file_range(in, nullptr, out, nullptr, kCopyChunk, 0);
    if (n < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      if (err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP || err == ENOTSUP) {
        const int64_t rest = CopyThroughMemory(src, dst, failed, SetError);
        return rest < 0 ? -1 : total + rest;
      }
      SetErrno(err);
      const int mode = fcntl(out, F_GETFL);
      const bool unwritable = err == EBADF && mode >= 0 && (mode & O_ACCMODE) == O_RDONLY;
      const bool writing =
          unwritable || err == ENOSPC || err == EDQUOT || err == EFBIG || err == EPERM || err == ETXTBSY;
      *failed = writing ? CopyFailure::kWrite : CopyFailure::kRead;
      return -1;
    }
    if (n == 0) {
      // Some file systems answer a copy they cannot make with nothing copied
      // at all (special files, some FUSE mounts): the bytes still there go
      // through memory.
      if (total == 0 && BytesLeft(in) != 0) {
        const int64_t rest = CopyThroughMemory(src, dst, failed, SetError);
        return rest < 0 ? -1 : rest;
      }
      return total;
    }
    total += n;
  }
}

bool PlatDeleteFile(const char* path) {
  return OnPath<bool>(path, false, [&](const std::string& p) -> bool {
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
  });
}

bool PlatRenameNoReplace(const char* from, const char* to) {
  return NoThrow<bool>(false, [&]() -> bool {
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
      bool same =
          lstat(src.c_str(), &a) == 0 && lstat(dst.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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
  });
}

uint32_t PlatGetAttributes(const char* path) {
  return OnPath<uint32_t>(path, kAttrInvalid, [&](const std::string& p) -> uint32_t {
    struct stat st;
    if (stat(p.c_str(), &st) != 0) {
      SetErrno(errno);
      return kAttrInvalid;
    }
    return AttributesOf(p, st);
  });
}

bool PlatFileAge(const char* path, int64_t* seconds) {
  return OnPath<bool>(path, false, [&](const std::string& p) -> bool {
    if (seconds == nullptr) {
      SetError(PlatError::kNotFound);
      return false;
    }
    struct stat st;
    if (lstat(p.c_str(), &st) != 0) {
      SetErrno(errno);
      return false;
    }
    *seconds = static_cast<int64_t>(time(nullptr)) - static_cast<int64_t>(st.st_mtime);
    return true;
  });
}

bool PlatSetAttributes(const char* path, uint32_t attributes) {
  return OnPath<bool>(path, false, [&](const std::string& p) -> bool {
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
  });
}

bool PlatMakeDir(const char* path) {
  return NoThrow<bool>(false, [&]() -> bool {
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
  });
}

bool PlatRemoveDir(const char* path) {
  return OnPath<bool>(path, false, [&](const std::string& p) -> bool {
    if (rmdir(p.c_str()) != 0) {
      SetErrno(errno, posix::ErrnoCall::kRemoveDir);
      return false;
    }
    return true;
  });
}

}  // namespace vk
