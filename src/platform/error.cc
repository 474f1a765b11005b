// The names of the platform's error codes, the same on both backends.
#include "platform/file.h"

namespace vk {

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

}  // namespace vk
