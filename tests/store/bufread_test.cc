// The handles the buffered reader takes over.  What it delivers, window
// edges included, the message tests read through the public calls.
#include "store/bufread.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fault.h"
#include "platform/file.h"
#include "store/fileprim.h"
#include "support/test_support.h"

namespace {

TEST(BufferedFile, HandlesAreReleasedOnEveryPath) {
  vktest::ScratchDir dir;
  const std::string path = dir.Join("data");
  ASSERT_TRUE(vktest::WriteWholeFile(path, ""));
  vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kOpenReadWrite);
  ASSERT_NE(h, vk::kNoFile);
  EXPECT_EQ(vk::OpenBuffered(h, vk::kBufferedCapacity), nullptr);
  EXPECT_EQ(vk::CloseFile(h), 0);  // a refused handle still belongs to the caller
  EXPECT_EQ(vk::OpenPathBuffered(path.c_str(), vk::kOpenReadWrite, vk::kBufferedCapacity), nullptr);
  EXPECT_TRUE(vk::PlatDeleteFile(path.c_str()));  // closed again: the file can go
  // A failed close still releases the record (the sanitizer build would
  // see it left behind).
  ASSERT_TRUE(vktest::WriteWholeFile(path, "abc"));
  vk::BufferedFile* f = vk::OpenPathBuffered(path.c_str(), vk::kOpenReadWrite, vk::kBufferedCapacity);
  ASSERT_NE(f, nullptr);
  vk::PlatFaultArm(1, false);
  EXPECT_EQ(vk::CloseBuffered(f), -1);
  EXPECT_TRUE(vk::PlatFaultFired());
  vk::PlatFaultDisarm();
}

}  // namespace
