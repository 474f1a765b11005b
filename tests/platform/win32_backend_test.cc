// Behaviour only the Win32 backend has: sharing modes enforced between
// handles, a stored hidden attribute, and the built DLL loaded by its plain
// export names.
#ifdef _WIN32

#include <windows.h>

#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "vkmsg/cmc.h"
#include "platform/file.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using vktest::ScratchDir;

// Another workstation's scanner holding a file for a moment must not make
// an open fail: the backend retries a sharing violation for a while.
TEST(Win32Sharing, BriefExclusiveHoldIsWaitedOut) {
  ScratchDir dir;
  std::string path = dir.Join("scanned");
  ASSERT_TRUE(vktest::WriteWholeFile(path, "abc"));
  vk::FileHandle holder =
      vk::PlatOpen(path.c_str(), vk::kAccessRead, vk::ShareMode::kNone, vk::Disposition::kOpenExisting);
  ASSERT_NE(holder, vk::kNoFile);

  std::thread scanner([holder] {
    Sleep(20);
    vk::PlatClose(holder);
  });
  vk::FileHandle h =
      vk::PlatOpen(path.c_str(), vk::kAccessReadWrite, vk::ShareMode::kReadWrite, vk::Disposition::kOpenExisting);
  scanner.join();
  ASSERT_NE(h, vk::kNoFile) << vk::PlatErrorName(vk::PlatLastError());
  EXPECT_EQ(vk::PlatFileSize(h), 3);
  vk::PlatClose(h);
}

TEST(Win32Attributes, HiddenIsStoredAndReportedBySearch) {
  ScratchDir dir;
  std::string path = dir.Join("secret");
  ASSERT_TRUE(vktest::WriteWholeFile(path, "x"));

  ASSERT_TRUE(vk::PlatSetAttributes(path.c_str(), vk::kAttrHidden));
  EXPECT_EQ(vk::PlatGetAttributes(path.c_str()) & (vk::kAttrHidden | vk::kAttrDirectory), vk::kAttrHidden);

  vk::DirEntry entry;
  std::string pattern = dir.Join("*.*");
  vk::SearchHandle s = vk::PlatFindFirst(pattern.c_str(), &entry);
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(entry.long_name, "secret");
  EXPECT_NE(entry.attributes & vk::kAttrHidden, 0u);
  EXPECT_FALSE(vk::PlatFindNext(s, &entry));
  vk::PlatFindClose(s);
}

// --- The built DLL -------------------------------------------------------

// VKMSG32.DLL lies at the root of the build tree, one level above the test
// programs; an absent DLL (a test-only build) skips these checks.
std::string FindBuiltDll() {
  char exe[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, exe, sizeof(exe));
  if (n == 0 || n >= sizeof(exe)) return std::string();
  fs::path here = fs::path(exe).parent_path();
  for (const fs::path& candidate : {here / "VKMSG32.DLL", here.parent_path() / "VKMSG32.DLL"}) {
    std::error_code ec;
    if (fs::exists(candidate, ec)) return candidate.string();
  }
  return std::string();
}

// scripts/check-dll compares the export table; here the loaded module
// answers through it.
TEST(Win32Dll, AnswersThroughItsPlainExportNames) {
  std::string path = FindBuiltDll();
  if (path.empty()) GTEST_SKIP() << "VKMSG32.DLL has not been built";
  HMODULE dll = LoadLibraryA(path.c_str());
  ASSERT_NE(dll, nullptr) << path;
  // A call without a session is refused, a configuration query succeeds.
  using Logoff = CMC_return_code(CMC_CALL*)(CMC_session_id, CMC_ui_id, CMC_flags, CMC_extension*);
  using Query = CMC_return_code(CMC_CALL*)(CMC_session_id, CMC_enum, CMC_buffer, CMC_extension*);
  auto logoff = reinterpret_cast<Logoff>(reinterpret_cast<void*>(GetProcAddress(dll, "cmc_logoff")));
  auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(dll, "cmc_query_configuration")));
  ASSERT_NE(logoff, nullptr);
  ASSERT_NE(query, nullptr);
  EXPECT_EQ(logoff(0, 0, 0, nullptr), 17u);
  EXPECT_EQ(query(0, 0, nullptr, nullptr), 0u);
  FreeLibrary(dll);
}

}  // namespace

#endif  // _WIN32
