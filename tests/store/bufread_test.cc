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
  vk::FileHandle Make(const std::string& bytes, const char* name = "data") {
    path_ = dir_.Join(name);
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
  // Every line ReadLine delivers with `size`, until the end of the file.
  static std::vector<std::string> Lines(BufferedFile* f, uint32_t size = 96) {
    std::vector<std::string> lines;
    std::vector<char> buf(size + 1);
    for (int guard = 0; guard < 100000; ++guard) {
      if (vk::BufferedTell(f) >= vk::FileSizeOf(f->file)) break;
      buf.assign(size + 1, '\0');
      uint32_t n = vk::ReadLine(f, buf.data(), size);
      lines.emplace_back(buf.data(), n);
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
    std::string text;
    for (const auto& l : expected) text += l + eol;
    BufferedFile* f = Reader(text);
    EXPECT_EQ(Lines(f), expected) << "line end " << (eol[0] == '\r' ? (eol[1] ? "CRLF" : "CR") : "LF");
    EXPECT_EQ(vk::CloseBuffered(f), 0);
  }
}

TEST_F(FileFixture, EmptyLineMovesPastItsLineEnd) {
  BufferedFile* f = Reader("\r\nx\r\n");
  char buf[100];
  EXPECT_EQ(vk::ReadLine(f, buf, 96), 0u);
  EXPECT_EQ(vk::BufferedTell(f), 2u);
  EXPECT_EQ(vk::ReadLine(f, buf, 96), 1u);
  EXPECT_STREQ(buf, "x");
  // At the end of the file nothing more comes.
  EXPECT_EQ(vk::ReadLine(f, buf, 96), 0u);
  EXPECT_EQ(vk::ReadLine(f, buf, 96), 0u);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, LongLineComesInPieces) {
  const std::string line = Pattern(150);
  BufferedFile* f = Reader(line + "\r\nnext\r\n");
  EXPECT_EQ(Lines(f), (std::vector<std::string>{line.substr(0, 96), line.substr(96), "next"}));
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, LineOfExactlySizeIsOneLine) {
  const std::string line = Pattern(96);
  BufferedFile* f = Reader(line + "\r\nnext\r\n");
  EXPECT_EQ(Lines(f), (std::vector<std::string>{line, "next"}));
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, LinesAcrossManyWindows) {
  std::vector<std::string> expected;
  std::string text;
  for (int i = 0; i < 600; ++i) {
    std::string l = Pattern(static_cast<size_t>((i * 37) % 97));
    expected.push_back(l);
    text += l + ((i % 3 == 0) ? "\r\n" : (i % 3 == 1) ? "\n" : "\r");
  }
  ASSERT_GT(text.size(), 4u * vk::kBufferedCapacity);
  BufferedFile* f = Reader(text);
  std::vector<std::string> got = Lines(f);
  // A 96-character line comes whole; none is longer.
  EXPECT_EQ(got, expected);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, CrLfSplitByTheWindowEdgeCountsOnce) {
  // Lines laid out so that a 95-character line starts 96 bytes before the
  // window's end: its CR is the window's last byte, its LF the first byte
  // after it.
  std::vector<std::string> expected;
  std::string text;
  for (int i = 0; i < 40; ++i) {
    expected.push_back(Pattern(96));
    text += expected.back() + "\r\n";
  }
  expected.push_back(Pattern(78));
  text += expected.back() + "\r\n";
  ASSERT_EQ(text.size(), 4000u);
  expected.push_back(Pattern(95));
  text += expected.back() + "\r\n";
  ASSERT_EQ(text[4095], '\r');
  expected.push_back("after");
  text += "after\r\n";
  BufferedFile* f = Reader(text);
  EXPECT_EQ(Lines(f), expected);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, ReadBufferedAcrossTheWindow) {
  const std::string data = Pattern(10000);
  BufferedFile* f = Reader(data);
  std::string got;
  char buf[4096];
  // Unequal steps so that reads end inside and at the edge of a window.
  for (uint32_t step : {1u, 4095u, 3000u, 1000u, 3000u, 3000u}) {
    uint32_t n = vk::ReadBuffered(f, buf, step);
    got.append(buf, n);
  }
  EXPECT_EQ(got, data);
  EXPECT_EQ(vk::ReadBuffered(f, buf, 10), 0u);
  EXPECT_EQ(vk::ReadBuffered(nullptr, buf, 10), 0u);
  EXPECT_EQ(vk::ReadBuffered(f, nullptr, 10), 0u);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, ReadBufferedMixedWithLines) {
  BufferedFile* f = Reader("head\r\n" + Pattern(5000));
  char line[100];
  ASSERT_EQ(vk::ReadLine(f, line, 96), 4u);
  std::string rest(6000, '\0');
  EXPECT_EQ(vk::ReadBuffered(f, &rest[0], 6000), 5000u);
  rest.resize(5000);
  EXPECT_EQ(rest, Pattern(5000));
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
  EXPECT_EQ(vk::BufferedTell(f), 8000u);
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
  EXPECT_EQ(vk::SeekBuffered(nullptr, 0), -1);
  vk::CloseBuffered(f);
}

TEST_F(FileFixture, OpenRefusesEmptyFilesAndBadArguments) {
  vk::FileHandle h = Make("", "empty");
  EXPECT_EQ(vk::OpenBuffered(h, vk::kBufferedCapacity), nullptr);
  EXPECT_EQ(vk::OpenBuffered(h, 0), nullptr);
  EXPECT_EQ(vk::OpenBuffered(vk::kNoFile, vk::kBufferedCapacity), nullptr);
  // The handle still belongs to the caller.
  EXPECT_EQ(vk::CloseFile(h), 0);

  EXPECT_EQ(vk::OpenPathBuffered(path_.c_str(), vk::kOpenReadWrite, vk::kBufferedCapacity), nullptr);
  // It was closed again: the file can go.
  EXPECT_TRUE(vk::PlatDeleteFile(path_.c_str()));
  EXPECT_EQ(vk::OpenPathBuffered(path_.c_str(), vk::kOpenReadWrite, vk::kBufferedCapacity), nullptr);
  EXPECT_EQ(vk::OpenPathBuffered(nullptr, vk::kOpenReadWrite, vk::kBufferedCapacity), nullptr);
  EXPECT_EQ(vk::CloseBuffered(nullptr), -1);
}

TEST_F(FileFixture, OpenPathBufferedReads) {
  vk::CloseFile(Make("SMF-71\r\n"));
  BufferedFile* f = vk::OpenPathBuffered(path_.c_str(), vk::kOpenReadWrite, vk::kBufferedCapacity);
  ASSERT_NE(f, nullptr);
  char line[100];
  EXPECT_EQ(vk::ReadLine(f, line, 96), 6u);
  EXPECT_STREQ(line, "SMF-71");
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

class MoveWithinTest : public FileFixture {
 protected:
  std::string Contents() { return vktest::ReadWholeFile(path_); }
};

TEST_F(MoveWithinTest, OverlappingUpwardsKeepsTheBytes) {
  const std::string data = Pattern(100000);
  vk::FileHandle h = Make(data);
  EXPECT_EQ(vk::MoveWithin(h, 10, 0, 100000), 1);
  vk::CloseFile(h);
  const std::string got = Contents();
  ASSERT_EQ(got.size(), 100010u);
  EXPECT_EQ(got.substr(0, 10), data.substr(0, 10));
  EXPECT_TRUE(got.substr(10) == data);
}

TEST_F(MoveWithinTest, OverlappingDownwardsKeepsTheBytes) {
  const std::string data = Pattern(100000);
  vk::FileHandle h = Make(data);
  EXPECT_EQ(vk::MoveWithin(h, 0, 10, 99990), 1);
  vk::CloseFile(h);
  const std::string got = Contents();
  ASSERT_EQ(got.size(), 100000u);
  EXPECT_TRUE(got.substr(0, 99990) == data.substr(10));
  EXPECT_EQ(got.substr(99990), data.substr(99990));
}

TEST_F(MoveWithinTest, ShortAndDisjointMoves) {
  vk::FileHandle h = Make("0123456789abcdefghij");
  EXPECT_EQ(vk::MoveWithin(h, 2, 0, 5), 1);  // shorter than one minimal chunk
  EXPECT_EQ(vk::MoveWithin(h, 15, 0, 3), 1);
  EXPECT_EQ(vk::MoveWithin(h, 20, 0, 2), 1);  // past the end extends the file
  EXPECT_EQ(vk::MoveWithin(h, 3, 3, 5), 1);
  EXPECT_EQ(vk::MoveWithin(h, 0, 5, 0), 1);
  EXPECT_EQ(vk::FileSizeOf(h), 22u);
  vk::CloseFile(h);
  EXPECT_EQ(Contents(), "0101234789abcde010ij01");
}

TEST_F(MoveWithinTest, StopsAtAFailedStep) {
  vk::FileHandle h = Make(Pattern(1000));
  vk::PlatFaultArm(2, false);  // the seek succeeds, the read fails
  EXPECT_EQ(vk::MoveWithin(h, 500, 0, 400), 0);
  EXPECT_TRUE(vk::PlatFaultFired());
  vk::CloseFile(h);
  EXPECT_EQ(Contents(), Pattern(1000));
  EXPECT_EQ(vk::MoveWithin(vk::kNoFile, 1, 0, 10), 0);
}

TEST_F(MoveWithinTest, FileSizeOf) {
  vk::FileHandle h = Make(Pattern(12345));
  EXPECT_EQ(vk::FileSizeOf(h), 12345u);
  vk::CloseFile(h);
  EXPECT_EQ(vk::FileSizeOf(vk::kNoFile), 0xFFFFFFFFu);
}

}  // namespace
