// Text comparison on Win32: the system's locale-aware comparison, so names
// order exactly as on every other workstation of the workgroup.
#include <windows.h>

#include "platform/text.h"

namespace vk {

int PlatCompareNoCase(const char* a, const char* b) {
  if (a == nullptr) return b == nullptr ? 0 : -1;
  if (b == nullptr) return 1;
  return lstrcmpiA(a, b);
}

}  // namespace vk
