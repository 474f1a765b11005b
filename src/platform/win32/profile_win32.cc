// Profiles on Win32: the system's own profile calls, with the refusal of
// writes that would break the file's lines added in front of them, since
// Windows writes whatever it is given.  A stand-in file set by
// PlatSetWorkstationProfile replaces WIN.INI for calls with a null file.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/profile.h"
#include "platform/win32/win32_internal.h"

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

bool Holds(const char* text, const char* chars) { return text != nullptr && std::strpbrk(text, chars) != nullptr; }

}  // namespace

int PlatGetProfileString(const char* file, const char* section, const char* key, const char* def, char* out, int size) {
  if (def == nullptr) def = "";
  if (win32::Injected()) {
    // A failed read looks like a missing key: the default, or an empty run.
    if (out == nullptr || size <= 0) return 0;
    if (key == nullptr) {
      out[0] = '\0';
      if (size > 1) out[1] = '\0';
      return 0;
    }
    size_t n = std::strlen(def);
    if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
    std::memmove(out, def, n);
    out[n] = '\0';
    return static_cast<int>(n);
  }
  if (out == nullptr || size <= 0) return 0;
  const char* target = TargetFile(file);
  DWORD n = target == nullptr ? GetProfileStringA(section, key, def, out, static_cast<DWORD>(size))
                              : GetPrivateProfileStringA(section, key, def, out, static_cast<DWORD>(size), target);
  // A run of names that was cut ends in two zeros; Wine's narrow-character
  // calls leave the second one out.
  if ((key == nullptr || section == nullptr) && size >= 2 && n == static_cast<DWORD>(size - 2)) {
    out[size - 1] = '\0';
  }
  return static_cast<int>(n);
}

int PlatGetProfileInt(const char* file, const char* section, const char* key, int def) {
  if (win32::Injected()) return def;
  const char* target = TargetFile(file);
  UINT n = target == nullptr ? GetProfileIntA(section, key, def) : GetPrivateProfileIntA(section, key, def, target);
  return static_cast<int>(n);
}

bool PlatWriteProfileString(const char* file, const char* section, const char* key, const char* value) {
  if (win32::Injected()) return false;
  if (Holds(section, "\r\n]") || Holds(key, "\r\n=") || Holds(value, "\r\n")) {
    win32::SetError(PlatError::kOther);
    return false;
  }
  const char* target = TargetFile(file);
  BOOL ok = target == nullptr ? WriteProfileStringA(section, key, value)
                              : WritePrivateProfileStringA(section, key, value, target);
  // A flush has nothing to report: some systems answer it with FALSE even
  // though the cache was dropped.
  if (section == nullptr && key == nullptr && value == nullptr) return true;
  if (!ok) win32::SetSystemError(GetLastError());
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
