// Helpers the POSIX backend files share; not part of the platform interface.
#ifndef VKMSG_PLATFORM_POSIX_POSIX_INTERNAL_H
#define VKMSG_PLATFORM_POSIX_POSIX_INTERNAL_H

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/file.h"

namespace vk {
namespace posix {

// Records the last error of this thread.
void SetError(PlatError e);
// The calls whose errno means something of their own.
enum class ErrnoCall { kAny, kTruncate, kRemoveDir };
// Records the operating-system error `err` of a failing `call`, mapped to a
// PlatError: the one place where the backend translates errno.
void SetErrno(int err, ErrnoCall call = ErrnoCall::kAny);
// The fault hook's step for a counted operation: true, with the last error
// kInjected, when this one must fail.
bool Injected();

// Runs a call's body, which builds paths in strings: a failed allocation
// fails the call instead of unwinding through callers that hold handles.
template <typename R, typename Body>
R NoThrow(R failure, Body body) noexcept {
  try {
    return body();
  } catch (...) {
    SetError(PlatError::kOther);
    return failure;
  }
}

// A library path spelled for the system: backslashes become slashes, and a
// trailing period of the final component is dropped ("KWZ0f3a." names
// "KWZ0f3a", as on Windows; "." and ".." stay).
std::string NativeSpelling(const char* path);

// Turns a library path into the path to hand the system: NativeSpelling, and every
// component that does not exist with its exact spelling is replaced by an
// entry of its directory that matches it without regard to case.  The part
// that does not exist stays as given.  True when the whole path exists.
bool ResolvePath(const char* path, std::string* out);

// ASCII case-insensitive equality, the matching rule for names in the tree.
bool NamesEqualNoCase(const char* a, const char* b);

// Takes the sharing markers of a freshly opened descriptor (see PlatOpen):
// true when the handle may stand beside every other open handle of the
// library, retrying briefly while a racing opener steps back.
bool ShareWithRetry(int fd, bool reads, bool writes, bool others_read, bool others_write);

// The platform attributes of the resolved path `resolved` that `st` describes.
uint32_t AttributesOf(const std::string& resolved, const struct stat& st);

// The description of a byte-range lock of `type` over [start, start + len),
// for the open-file-description locks that emulate sharing modes.
inline struct flock ByteRange(short type, off_t start, off_t len) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  return fl;
}

}  // namespace posix
}  // namespace vk

#endif
