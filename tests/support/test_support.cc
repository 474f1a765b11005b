#include "test_support.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/profile.h"

namespace fs = std::filesystem;

namespace vktest {

namespace {
std::atomic<unsigned> g_counter{0};
}

ScratchDir::ScratchDir() {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::error_code ec;
  do {
    path_ = (fs::temp_directory_path() / ("vkmsg-test-" + std::to_string(stamp) + "-" + std::to_string(g_counter++)))
                .string();
  } while (!fs::create_directory(path_, ec));
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ScratchDir::Join(const std::string& name) const { return (fs::path(path_) / name).string(); }

PrivateProfile::PrivateProfile(const ScratchDir& dir) : path_(dir.Join("win.ini")) {
  vk::PlatSetWorkstationProfile(path_.c_str());
}

PrivateProfile::~PrivateProfile() {
  vk::PlatSetWorkstationProfile(nullptr);
  std::error_code ec;
  fs::remove(path_, ec);
}

#ifndef _WIN32
static void SetEnv(const char* name, const char* value) {
  value ? setenv(name, value, 1) : unsetenv(name);
  tzset();
}
ScopedEnv::ScopedEnv(const char* n, const char* value) : name(n), had(std::getenv(n) != nullptr) {
  if (had) old = std::getenv(n);
  SetEnv(n, value);
}
ScopedEnv::~ScopedEnv() { SetEnv(name.c_str(), had ? old.c_str() : nullptr); }
#endif

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteWholeFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string ProfileValue(const char* file, const char* section, const char* key) {
  char value[256] = "";
  vk::PlatGetProfileString(file, section, key, "", value, sizeof value);
  return value;
}

}  // namespace vktest
