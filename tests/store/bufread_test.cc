// The handles the buffered reader takes over.  What it delivers, window
// edges included, the message tests read through the public calls; a failed
// close at every step the fault loop runs.
#include "store/bufread.h"

#include <gtest/gtest.h>

#include <string>

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
}

}  // namespace
