// The module entry of VKMSG32.DLL.  Only the DLL is built with this file;
// programs that link the static library start the module lazily instead.
#include <windows.h>

#include "cmc/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    // Nothing may leave the entry point by an exception: a failing start-up
    // refuses the load instead.
    try {
      vk::ModuleAttach(static_cast<void*>(instance));
    } catch (...) {
      return FALSE;
    }
  }
  // Detach and thread notifications need nothing: the library releases
  // nothing at unload.
  return TRUE;
}
