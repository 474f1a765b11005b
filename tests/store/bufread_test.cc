// The buffered reader at its window's edges, and the handles it takes over.
// What it delivers in between the header and message tests read through the
// public calls.
#include "store/bufread.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fault.h"
#include "platform/file.h"
#include "store/fileprim.h"
#include "support/test_support.h"

namespace {

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
  return s;
}

TEST(BufferedFile, LinesAcrossWindowsAndACrLfSplitByTheEdge) {
  vktest::ScratchDir dir;
  const std::string path = dir.Join("data");
  std::vector<std::string> mixed;
  std::string mixed_text;
  for (int i = 0; i < 600; ++i) {
    mixed.push_back(Pattern(static_cast<size_t>((i * 37) % 97)));
    mixed_text += mixed.back() + ((i % 3 == 0) ? "\r\n" : (i % 3 == 1) ? "\n" : "\r");
  }
  // A 95-character line whose CR is the window's last byte and whose LF is
  // the first byte after it.
  std::vector<std::string> split(40, Pattern(96));
  split.push_back(Pattern(78));
  split.push_back(Pattern(95));
  split.push_back("after");
  std::string split_text;
  for (const auto& l : split) split_text += l + "\r\n";
  ASSERT_EQ(split_text[vk::kBufferedCapacity - 1], '\r');
  for (const auto& c : {std::make_pair(mixed_text, mixed), std::make_pair(split_text, split)}) {
    ASSERT_TRUE(vktest::WriteWholeFile(path, c.first));
    vk::BufferedFile* f = vk::OpenPathBuffered(path.c_str(), vk::kOpenReadWrite, vk::kBufferedCapacity);
    ASSERT_NE(f, nullptr);
    std::vector<std::string> lines;
    char buf[97];
    while (vk::BufferedTell(f) < vk::FileSizeOf(f->file) && lines.size() < 1000) {
      lines.emplace_back(buf, vk::ReadLine(f, buf, 96));
    }
    EXPECT_EQ(lines, c.second);
    EXPECT_EQ(vk::ReadLine(f, buf, 96), 0u);  // at the end nothing more comes
    EXPECT_EQ(vk::CloseBuffered(f), 0);
  }
}

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
