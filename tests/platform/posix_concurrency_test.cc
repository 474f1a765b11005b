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
  // Held exclusively, then released: the other process is refused, then admitted.
  for (bool held : {true, false}) {
    EXPECT_TRUE(InChild([&] {
      const ShareMode share = held ? ShareMode::kReadWrite : ShareMode::kNone;
      FileHandle other = PlatOpen(p.c_str(), kAccessRead, share, Disposition::kOpenExisting);
      return held ? other == kNoFile && PlatLastError() == PlatError::kSharingViolation : PlatClose(other) == 0;
    })) << held;
    if (held) {
      EXPECT_EQ(0, PlatClose(h));
    }
  }
}

}  // namespace
#endif
