// Helpers the Win32 backend files share; not part of the platform interface.
#ifndef VKMSG_PLATFORM_WIN32_WIN32_INTERNAL_H
#define VKMSG_PLATFORM_WIN32_WIN32_INTERNAL_H

#include <windows.h>

#include "platform/file.h"

namespace vk {
namespace win32 {

// Records the last error of this thread.
void SetError(PlatError e);
// Records a system error code (GetLastError) mapped to a PlatError: the one
// place where the backend translates operating-system errors.
void SetSystemError(DWORD code);

// The fault hook of the tests: true when this counted operation must fail;
// the last error is then kInjected.
bool Injected();

}  // namespace win32
}  // namespace vk

#endif
