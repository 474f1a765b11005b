// Profiles on Win32: the system's own profile calls, which already have the
// semantics the contract describes (case-insensitive names, key lists, cut
// values, quote stripping, deletion with null value or key, flush with all
// three null).  A stand-in file set by PlatSetWorkstationProfile replaces
// WIN.INI for calls with a null file.
#include <windows.h>

#include <string>

#include "platform/profile.h"

namespace vk {

namespace {

// Empty means the real WIN.INI.
std::string g_workstation_standin;

// The private file a call goes to, or null for WIN.INI itself.
const char* TargetFile(const char* file) {
  if (file != nullptr) return file;
  if (!g_workstation_standin.empty()) return g_workstation_standin.c_str();
  return nullptr;
}

}  // namespace

int PlatGetProfileString(const char* file, const char* section, const char* key, const char* def,
                         char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  if (def == nullptr) def = "";
  const char* target = TargetFile(file);
  DWORD n = target == nullptr
                ? GetProfileStringA(section, key, def, out, static_cast<DWORD>(size))
                : GetPrivateProfileStringA(section, key, def, out, static_cast<DWORD>(size), target);
  return static_cast<int>(n);
}

int PlatGetProfileInt(const char* file, const char* section, const char* key, int def) {
  const char* target = TargetFile(file);
  UINT n = target == nullptr ? GetProfileIntA(section, key, def)
                             : GetPrivateProfileIntA(section, key, def, target);
  return static_cast<int>(n);
}

bool PlatWriteProfileString(const char* file, const char* section, const char* key, const char* value) {
  const char* target = TargetFile(file);
  BOOL ok = target == nullptr ? WriteProfileStringA(section, key, value)
                              : WritePrivateProfileStringA(section, key, value, target);
  // A flush has nothing to report: some systems answer it with FALSE even
  // though the cache was dropped.
  if (section == nullptr && key == nullptr && value == nullptr) return true;
  return ok != FALSE;
}

void PlatSetWorkstationProfile(const char* path) {
  if (path == nullptr) {
    g_workstation_standin.clear();
  } else {
    g_workstation_standin = path;
  }
}

}  // namespace vk
