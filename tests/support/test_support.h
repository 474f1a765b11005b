// Helpers shared by the test programs: scratch directories and a private
// workstation profile, so that no test touches the real WIN.INI or another
// test's files.
#ifndef VKMSG_TEST_SUPPORT_H
#define VKMSG_TEST_SUPPORT_H

#include <string>

namespace vktest {

// A fresh empty directory, removed with everything in it at destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // The directory's path without a trailing separator.
  const std::string& path() const { return path_; }
  // path() joined with a relative name (the native separator between them).
  std::string Join(const std::string& name) const;

 private:
  std::string path_;
};

// Points the library's workstation profile at a private file for the life of
// the object (and removes it afterwards).
class PrivateProfile {
 public:
  explicit PrivateProfile(const ScratchDir& dir);
  ~PrivateProfile();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

#ifndef _WIN32
// Sets an environment variable (null: unsets it) for the life of the object;
// TZ takes effect at once.
struct ScopedEnv {
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  std::string name, old;
  bool had;
};
#endif

// Whole-file helpers for checking what the library wrote.
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& contents);
bool FileExists(const std::string& path);
// A key of a profile file, or of the workstation profile when `file` is
// null; "" when absent.
std::string ProfileValue(const char* file, const char* section, const char* key);

}  // namespace vktest

#endif
