// Sharing modes between processes (POSIX: fork).
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/file.h"
#include "support/test_support.h"

namespace {

using namespace vk;
using vktest::ScratchDir;

// Runs `body` in a child process; true when it exited 0.  (Writers of one
// profile and creators of new names in several processes are tested with
// the registry and the unique names.)
template <typename Body>
bool InChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(PlatPosixConcurrency, ExclusiveOpenHoldsAgainstAnotherProcess) {
  ScratchDir dir;
  std::string p = dir.Join("held");
  ASSERT_TRUE(vktest::WriteWholeFile(p, "x"));
  FileHandle h = PlatOpen(p.c_str(), kAccessRead, ShareMode::kNone, Disposition::kOpenExisting);
  ASSERT_NE(kNoFile, h);
  EXPECT_TRUE(InChild([&] {
    FileHandle other = PlatOpen(p.c_str(), kAccessRead, ShareMode::kReadWrite, Disposition::kOpenExisting);
    return other == kNoFile && PlatLastError() == PlatError::kSharingViolation;
  }));
  EXPECT_EQ(0, PlatClose(h));
  EXPECT_TRUE(InChild([&] {
    FileHandle other = PlatOpen(p.c_str(), kAccessRead, ShareMode::kNone, Disposition::kOpenExisting);
    return other != kNoFile && PlatClose(other) == 0;
  }));
}

}  // namespace
#endif
