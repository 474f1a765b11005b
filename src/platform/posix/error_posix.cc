// The POSIX backend's last error, and the one place where it maps errno.
#include <cerrno>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/posix/posix_internal.h"

namespace vk {
namespace posix {

namespace {
thread_local PlatError t_last_error = PlatError::kOk;
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

PlatError InjectedError() {
  switch (PlatFaultArmedKind()) {
    case PlatFaultKind::kDiskFull:
      return PlatError::kDiskFull;
    case PlatFaultKind::kSharing:
      return PlatError::kSharingViolation;
    default:
      return PlatError::kInjected;
  }
}

bool Injected() {
  if (!PlatFaultHit()) return false;
  SetError(InjectedError());
  return true;
}

}  // namespace posix

PlatError PlatLastError() { return posix::t_last_error; }

}  // namespace vk
