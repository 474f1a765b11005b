// The fault hook as the backends honour it; runs on both backends.
#include <gtest/gtest.h>

#include <string>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/memory.h"
#include "support/test_support.h"

namespace {

using namespace vk;
using vktest::ScratchDir;

struct Disarm {
  ~Disarm() { PlatFaultDisarm(); }
};

// Each kind fails the way the platform does: the error it leaves, and a
// short write that puts down half and says so.
TEST(PlatFault, EachKindFailsAsThePlatformDoes) {
  struct Case {
    PlatFaultKind kind;
    long written;  // by a write of 8 bytes
    PlatError error;
  } cases[] = {
      {PlatFaultKind::kIoError, -1, PlatError::kInjected},
      {PlatFaultKind::kShortWrite, 4, PlatError::kOk},
      {PlatFaultKind::kDiskFull, -1, PlatError::kDiskFull},
      {PlatFaultKind::kSharing, -1, PlatError::kSharingViolation},
  };
  ScratchDir dir;
  Disarm disarm;
  for (const Case& c : cases) {
    std::string p = dir.Join("k");
    FileHandle h = PlatOpen(p.c_str(), kAccessReadWrite, ShareMode::kReadWrite, Disposition::kCreateAlways);
    ASSERT_NE(kNoFile, h);
    PlatFaultArm(1, false, c.kind);
    EXPECT_EQ(c.written, PlatWrite(h, "12345678", 8)) << static_cast<int>(c.kind);
    if (c.written < 0) {
      EXPECT_EQ(c.error, PlatLastError());
    }
    EXPECT_EQ(c.written < 0 ? 0 : c.written, PlatFileSize(h));
    EXPECT_EQ(0, PlatClose(h));
  }
  // No memory: file steps pass, memory steps fail.
  PlatFaultArm(2, true, PlatFaultKind::kNoMemory);
  EXPECT_NE(kAttrInvalid, PlatGetAttributes(dir.Join("k").c_str()));
  GlobalHandle first = PlatGlobalAlloc(0, 16);
  EXPECT_NE(nullptr, first);
  EXPECT_EQ(nullptr, PlatGlobalAlloc(0, 16));
  EXPECT_EQ(nullptr, PlatReserve());
  PlatFaultDisarm();
  PlatGlobalFree(first);
}

}  // namespace
