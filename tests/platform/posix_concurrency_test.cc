// Several processes on one mail tree at once (POSIX: fork).
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/profile.h"
#include "support/test_support.h"

namespace {

using namespace vk;
using vktest::ScratchDir;

// Runs `body(i)` in `n` child processes at once; true when all exited 0.
template <typename Body>
bool RunChildren(int n, Body body) {
  std::vector<pid_t> pids;
  for (int i = 0; i < n; ++i) {
    pid_t pid = fork();
    if (pid == 0) _exit(body(i) ? 0 : 1);
    if (pid < 0) return false;
    pids.push_back(pid);
  }
  bool ok = true;
  for (pid_t pid : pids) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) ok = false;
  }
  return ok;
}

TEST(PlatPosixConcurrency, TwoWritersOfOneProfileLoseNoKeys) {
  ScratchDir dir;
  std::string f = dir.Join("passwd");
  constexpr int kKeys = 25;
  ASSERT_TRUE(RunChildren(2, [&](int child) {
    for (int k = 0; k < kKeys; ++k) {
      std::string key = "user" + std::to_string(child) + "_" + std::to_string(k);
      if (!PlatWriteProfileString(f.c_str(), "Passwords", key.c_str(), "x")) return false;
    }
    return true;
  }));
  char run[4096];
  int n = PlatGetProfileString(f.c_str(), "Passwords", nullptr, nullptr, run, sizeof run);
  std::set<std::string> keys;
  for (int i = 0; i < n; i += static_cast<int>(std::string(run + i).size()) + 1) keys.insert(run + i);
  EXPECT_EQ(2u * kKeys, keys.size());
}

TEST(PlatPosixConcurrency, CreateNewGivesEachNameToOneProcess) {
  ScratchDir dir;
  constexpr int kNames = 150;
  ASSERT_TRUE(RunChildren(2, [&](int child) {
    std::string list = dir.Join("won" + std::to_string(child) + ".lst");
    FILE* out = std::fopen(list.c_str(), "w");
    if (out == nullptr) return false;
    for (int k = 0; k < kNames; ++k) {
      std::string name = dir.Join("KWZ" + std::to_string(1000 + k) + ".");
      FileHandle h = PlatOpen(name.c_str(), kAccessReadWrite, ShareMode::kReadWrite, Disposition::kCreateNew);
      if (h != kNoFile) {
        std::fprintf(out, "%d\n", k);
        PlatClose(h);
      } else if (PlatLastError() != PlatError::kExists) {
        std::fclose(out);
        return false;
      }
    }
    return std::fclose(out) == 0;
  }));
  std::multiset<int> won;
  for (int child = 0; child < 2; ++child) {
    std::istringstream in(vktest::ReadWholeFile(dir.Join("won" + std::to_string(child) + ".lst")));
    int k;
    while (in >> k) won.insert(k);
  }
  EXPECT_EQ(static_cast<size_t>(kNames), won.size());
  for (int k = 0; k < kNames; ++k) EXPECT_EQ(1u, won.count(k)) << k;
}

TEST(PlatPosixConcurrency, ExclusiveOpenHoldsAgainstAnotherProcess) {
  ScratchDir dir;
  std::string p = dir.Join("held");
  ASSERT_TRUE(vktest::WriteWholeFile(p, "x"));
  FileHandle h = PlatOpen(p.c_str(), kAccessRead, ShareMode::kNone, Disposition::kOpenExisting);
  ASSERT_NE(kNoFile, h);
  EXPECT_TRUE(RunChildren(1, [&](int) {
    FileHandle other = PlatOpen(p.c_str(), kAccessRead, ShareMode::kReadWrite, Disposition::kOpenExisting);
    return other == kNoFile && PlatLastError() == PlatError::kSharingViolation;
  }));
  EXPECT_EQ(0, PlatClose(h));
  EXPECT_TRUE(RunChildren(1, [&](int) {
    FileHandle other = PlatOpen(p.c_str(), kAccessRead, ShareMode::kNone, Disposition::kOpenExisting);
    return other != kNoFile && PlatClose(other) == 0;
  }));
}

}  // namespace
#endif
