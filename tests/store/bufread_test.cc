// The buffered reader (lines, byte runs, seeks across the window's edge) and
// the block move inside one file.
#include "store/bufread.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fault.h"
#include "platform/file.h"
#include "store/fileprim.h"
#include "support/test_support.h"

namespace {

using vk::BufferedFile;

// A file with the given bytes, opened for reading and writing; closed at the
// end of the test unless a reader took it over.
class FileFixture : public ::testing::Test {
 protected:
  vk::FileHandle Make(const std::string& bytes) {
    path_ = dir_.Join("data");
    EXPECT_TRUE(vktest::WriteWholeFile(path_, bytes));
    vk::FileHandle h = vk::OpenFileMode(path_.c_str(), vk::kOpenReadWrite);
    EXPECT_NE(h, vk::kNoFile);
    return h;
  }
  BufferedFile* Reader(const std::string& bytes) {
    BufferedFile* f = vk::OpenBuffered(Make(bytes), vk::kBufferedCapacity);
    EXPECT_NE(f, nullptr);
    return f;
  }
  // Every line ReadLine delivers with pieces of 96, until the end of the file.
  static std::vector<std::string> Lines(BufferedFile* f) {
    std::vector<std::string> lines;
    char buf[97];
    for (int guard = 0; guard < 100000; ++guard) {
      if (vk::BufferedTell(f) >= vk::FileSizeOf(f->file)) break;
      uint32_t n = vk::ReadLine(f, buf, 96);
      lines.emplace_back(buf, n);
    }
    return lines;
  }
  void TearDown() override { vk::PlatFaultDisarm(); }

  vktest::ScratchDir dir_;
  std::string path_;
};

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
  return s;
}

TEST_F(FileFixture, EveryLineEndGivesTheSameLines) {
  const std::vector<std::string> expected = {"SMF-71", "From: bob", "", "Hi"};
  for (const char* eol : {"\r\n", "\r", "\n"}) {
    SCOPED_TRACE(eol[0] == '\r' ? (eol[1] ? "CRLF" : "CR") : "LF");
    std::string text;
    for (const auto& l : expected) text += l + eol;
    BufferedFile* f = Reader(text);
    EXPECT_EQ(Lines(f), expected);
    char buf[100];
    EXPECT_EQ(vk::ReadLine(f, buf, 96), 0u);  // at the end nothing more comes
    EXPECT_EQ(vk::CloseBuffered(f), 0);
  }
}

TEST_F(FileFixture, LinesAtAndPastThePieceSize) {
  const struct {
    size_t length;
    std::vector<std::string> pieces;
  } cases[] = {
      {95, {Pattern(95)}},
      {96, {Pattern(96)}},
      {97, {Pattern(96), Pattern(97).substr(96)}},
      {150, {Pattern(96), Pattern(150).substr(96)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    BufferedFile* f = Reader(Pattern(c.length) + "\r\nnext\r\n");
    std::vector<std::string> expected = c.pieces;
    expected.push_back("next");
    EXPECT_EQ(Lines(f), expected);
    vk::CloseBuffered(f);
  }
}

TEST_F(FileFixture, LinesAcrossManyWindows) {
  std::vector<std::string> expected;
  std::string text;
  for (int i = 0; i < 600; ++i) {
    expected.push_back(Pattern(static_cast<size_t>((i * 37) % 97)));
    text += expected.back() + ((i % 3 == 0) ? "\r\n" : (i % 3 == 1) ? "\n" : "\r");
  }
  ASSERT_GT(text.size(), 4u * vk::kBufferedCapacity);
  BufferedFile* f = Reader(text);
  EXPECT_EQ(Lines(f), expected);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, CrLfSplitByTheWindowEdgeCountsOnce) {
  // Lines laid out so that a 95-character line ends with its CR as the
  // window's last byte and its LF as the first byte after it.
  std::vector<std::string> expected(40, Pattern(96));
  expected.push_back(Pattern(78));
  expected.push_back(Pattern(95));
  expected.push_back("after");
  std::string text;
  for (const auto& l : expected) text += l + "\r\n";
  ASSERT_EQ(text[4095], '\r');
  BufferedFile* f = Reader(text);
  EXPECT_EQ(Lines(f), expected);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, ReadBufferedAcrossTheWindowAndAfterALine) {
  const std::string data = Pattern(10000);
  BufferedFile* f = Reader("head\r\n" + data);
  char buf[4096];
  ASSERT_EQ(vk::ReadLine(f, buf, 96), 4u);
  std::string got;
  // Unequal steps so that reads end inside and at the edge of a window.
  for (uint32_t step : {1u, 4095u, 3000u, 1000u, 3000u, 3000u}) got.append(buf, vk::ReadBuffered(f, buf, step));
  EXPECT_EQ(got, data);
  EXPECT_EQ(vk::ReadBuffered(f, buf, 10), 0u);
  EXPECT_EQ(vk::ReadBuffered(f, nullptr, 10), 0u);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, SeekInsideTheWindowDoesNotTouchTheFile) {
  const std::string data = Pattern(6000);
  BufferedFile* f = Reader(data);
  char c = 0;
  vk::PlatFaultArm(1, true);
  EXPECT_EQ(vk::SeekBuffered(f, 100), 0);
  EXPECT_FALSE(vk::PlatFaultFired());
  ASSERT_EQ(vk::ReadBuffered(f, &c, 1), 1u);
  EXPECT_EQ(c, data[100]);
  // The window's own start is re-read from the file.
  EXPECT_EQ(vk::SeekBuffered(f, 0), -1);
  EXPECT_TRUE(vk::PlatFaultFired());
  vk::PlatFaultDisarm();
  EXPECT_EQ(vk::SeekBuffered(f, 0), 0);
  ASSERT_EQ(vk::ReadBuffered(f, &c, 1), 1u);
  EXPECT_EQ(c, data[0]);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, SeekOutsideTheWindowReadsThere) {
  const std::string data = Pattern(9000);
  BufferedFile* f = Reader(data);
  EXPECT_EQ(vk::SeekBuffered(f, 8000), 0);
  char buf[2000];
  EXPECT_EQ(vk::ReadBuffered(f, buf, sizeof buf), 1000u);
  EXPECT_EQ(std::string(buf, 1000), data.substr(8000));
  EXPECT_EQ(vk::SeekBuffered(f, 50), 0);
  ASSERT_EQ(vk::ReadBuffered(f, buf, 10), 10u);
  EXPECT_EQ(std::string(buf, 10), data.substr(50, 10));
  // Nothing to read at or past the end; the reader stands there.
  EXPECT_EQ(vk::SeekBuffered(f, 9000), -1);
  EXPECT_EQ(vk::BufferedTell(f), 9000u);
  EXPECT_EQ(vk::ReadBuffered(f, buf, 10), 0u);
  EXPECT_EQ(vk::SeekBuffered(f, 20000), -1);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, OpenRefusesEmptyFilesAndLeavesNoHandleOpen) {
  vk::FileHandle h = Make("");
  EXPECT_EQ(vk::OpenBuffered(h, vk::kBufferedCapacity), nullptr);
  EXPECT_EQ(vk::OpenBuffered(h, 0), nullptr);
  // The handle still belongs to the caller.
  EXPECT_EQ(vk::CloseFile(h), 0);
  EXPECT_EQ(vk::OpenPathBuffered(path_.c_str(), vk::kOpenReadWrite, vk::kBufferedCapacity), nullptr);
  // It was closed again: the file can go.
  EXPECT_TRUE(vk::PlatDeleteFile(path_.c_str()));
  EXPECT_EQ(vk::OpenPathBuffered(path_.c_str(), vk::kOpenReadWrite, vk::kBufferedCapacity), nullptr);

  vk::CloseFile(Make("SMF-71\r\n"));
  BufferedFile* f = vk::OpenPathBuffered(path_.c_str(), vk::kOpenReadWrite, vk::kBufferedCapacity);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Lines(f), std::vector<std::string>{"SMF-71"});
  EXPECT_EQ(vk::CloseBuffered(f), 0);
  EXPECT_TRUE(vk::PlatDeleteFile(path_.c_str()));
}

TEST_F(FileFixture, CloseReleasesTheRecordWhenTheCloseFails) {
  BufferedFile* f = Reader("abc");
  vk::PlatFaultArm(1, false);
  EXPECT_EQ(vk::CloseBuffered(f), -1);
  EXPECT_TRUE(vk::PlatFaultFired());
  // The leak checker of the sanitizer build sees a record left behind.
}

TEST_F(FileFixture, MoveWithinOverlappingRangesKeepsTheBytes) {
  const std::string data = Pattern(100000);
  const struct {
    uint32_t dst, src, len;
    std::string expected;
  } cases[] = {
      {10, 0, 100000, data.substr(0, 10) + data},             // upwards, backwards copy
      {0, 10, 99990, data.substr(10) + data.substr(99990)},  // downwards
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dst);
    vk::FileHandle h = Make(data);
    EXPECT_EQ(vk::MoveWithin(h, c.dst, c.src, c.len), 1);
    vk::CloseFile(h);
    EXPECT_TRUE(vktest::ReadWholeFile(path_) == c.expected);
  }
}

TEST_F(FileFixture, MoveWithinShortAndDisjointMoves) {
  vk::FileHandle h = Make("0123456789abcdefghij");
  EXPECT_EQ(vk::MoveWithin(h, 2, 0, 5), 1);  // shorter than one minimal chunk
  EXPECT_EQ(vk::MoveWithin(h, 15, 0, 3), 1);
  EXPECT_EQ(vk::MoveWithin(h, 20, 0, 2), 1);  // past the end extends the file
  EXPECT_EQ(vk::MoveWithin(h, 3, 3, 5), 1);
  EXPECT_EQ(vk::MoveWithin(h, 0, 5, 0), 1);
  vk::CloseFile(h);
  EXPECT_EQ(vktest::ReadWholeFile(path_), "0101234789abcde010ij01");
}

TEST_F(FileFixture, MoveWithinStopsAtAFailedStep) {
  vk::FileHandle h = Make(Pattern(1000));
  vk::PlatFaultArm(2, false);  // the seek succeeds, the read fails
  EXPECT_EQ(vk::MoveWithin(h, 500, 0, 400), 0);
  EXPECT_TRUE(vk::PlatFaultFired());
  vk::CloseFile(h);
  EXPECT_EQ(vktest::ReadWholeFile(path_), Pattern(1000));
  EXPECT_EQ(vk::MoveWithin(vk::kNoFile, 1, 0, 10), 0);
}

}  // namespace
