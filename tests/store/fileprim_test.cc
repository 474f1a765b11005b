#include "store/fileprim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "platform/file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using vktest::FileExists;
using vktest::ReadWholeFile;
using vktest::ScratchDir;
using vktest::WriteWholeFile;

namespace {

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) names.insert(e.path().filename().string());
  return names;
}

// The file name of a UniqueFile path: the stored file has no trailing dot.
std::string StoredName(const char* path) {
  std::string p = path;
  if (!p.empty() && p.back() == '.') p.pop_back();
  return fs::path(p).filename().string();
}

TEST(OpenFileMode, ExistDeleteAndParseModes) {
  ScratchDir dir;
  std::string path = dir.Join("f.txt");
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeExist), -1);
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeReadShared), vk::kNoFile);
  EXPECT_FALSE(FileExists(path));
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeExist), 1);
  // Closed again: an exclusive open and a delete both succeed.
  vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeReadExclusive);
  ASSERT_NE(h, vk::kNoFile);
  EXPECT_EQ(vk::CloseFile(h), 0);
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeDelete), 1);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeDelete), 0);
  EXPECT_EQ(vk::CloseFile(vk::kNoFile), -1);
}

TEST(Directories, TrailingSeparatorGivesTheSameAnswerAndPlainFilesAreRefused) {
  ScratchDir dir;
  std::string sub = dir.Join("SUB"), sub_sep = sub + vk::kPathSep;
  EXPECT_EQ(vk::MakeDir(sub_sep.c_str()), 1);
  EXPECT_EQ(vk::DirExists(sub.c_str()), 1);
  EXPECT_EQ(vk::DirExists(sub_sep.c_str()), 1);
  EXPECT_EQ(vk::MakeDir(sub.c_str()), 1);  // existing: 1, nothing made
  EXPECT_EQ(vk::RemoveDir(sub_sep.c_str()), 1);
  EXPECT_EQ(vk::RemoveDir(sub.c_str()), 0);
  std::string file = dir.Join("plain");
  ASSERT_TRUE(WriteWholeFile(file, "x"));
  EXPECT_EQ(vk::DirExists((file + vk::kPathSep).c_str()), 0);
  EXPECT_EQ(vk::MakeDir(file.c_str()), 0);
  EXPECT_EQ(vk::MakeDir(""), 0);
  EXPECT_EQ(vk::DirExists(std::string(300, 'a').c_str()), 0);
}

TEST(UniqueFile, NamesFollowTheRuleAndNeverRepeat) {
  ScratchDir dir;
  std::set<std::string> seen;
  for (int i = 0; i < 40; ++i) {
    char out[vk::kPathMax];
    vk::FileHandle h = vk::UniqueFileDefault(dir.path().c_str(), out, sizeof out);
    ASSERT_NE(h, vk::kNoFile);
    EXPECT_EQ(vk::CloseFile(h), 0);
    ASSERT_EQ(std::string(out).back(), '.');
    std::string name = StoredName(out);
    ASSERT_EQ(name.size(), 7u);
    EXPECT_EQ(name.substr(0, 3), "KWZ");
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef", 3), std::string::npos);
    EXPECT_TRUE(seen.insert(name).second) << name;
    // The path with its dot opens the stored file.
    EXPECT_EQ(vk::OpenFileMode(out, vk::kModeExist), 1);
  }
  EXPECT_EQ(Names(dir.path()), seen);
}

TEST(UniqueFile, PrefixAndSizeLimits) {
  ScratchDir dir;
  char out[vk::kPathMax];
  vk::FileHandle h = vk::UniqueFile(dir.path().c_str(), "MSGX", out, sizeof out);
  ASSERT_NE(h, vk::kNoFile);
  vk::CloseFile(h);
  EXPECT_EQ(StoredName(out).substr(0, 4), "MSGX");
  EXPECT_EQ(vk::UniqueFile(dir.path().c_str(), "AB", out, sizeof out), vk::kNoFile);

  // Paths that cannot fit are refused before any file operation.
  const struct { size_t dir_length, size; } too_long[] = {{120, 128}, {60, 61}};
  for (const auto& c : too_long) {
    SCOPED_TRACE(c.dir_length);
    vk::PlatFaultArm(1, true);
    EXPECT_EQ(vk::UniqueFileDefault(std::string(c.dir_length, 'd').c_str(), out, c.size), vk::kNoFile);
    EXPECT_FALSE(vk::PlatFaultFired());
    vk::PlatFaultDisarm();
  }
  std::string missing = dir.Join("missing");
  EXPECT_EQ(vk::UniqueFileDefault(missing.c_str(), out, sizeof out), vk::kNoFile);
}

class CopyFileContentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < data_.size(); ++i) data_[i] = static_cast<char>('a' + i % 23);
    ASSERT_TRUE(WriteWholeFile(src_, data_));
  }
  // Copies src over dst, opened as given; the result of the copy.
  int64_t Copy(vk::OpenMode dst_mode) {
    vk::FileHandle s = vk::OpenFileMode(src_.c_str(), vk::kModeReadShared);
    vk::FileHandle d = vk::OpenFileMode(dst_.c_str(), dst_mode);
    EXPECT_NE(s, vk::kNoFile);
    EXPECT_NE(d, vk::kNoFile);
    vk::SeekFile(s, 100, nullptr, 0);  // both are copied from their start
    vk::SeekFile(d, 0, nullptr, 2);
    int64_t r = vk::CopyFileContents(s, d);
    vk::CloseFile(s);
    vk::CloseFile(d);
    return r;
  }
  ScratchDir dir_;
  std::string src_ = dir_.Join("src"), dst_ = dir_.Join("dst"), data_ = std::string(70000, '\0');
};

TEST_F(CopyFileContentsTest, CopiesFromTheStartOverTheDestination) {
  ASSERT_TRUE(WriteWholeFile(dst_, std::string(80000, 'Z')));
  EXPECT_EQ(Copy(vk::kModeCreateReadWrite), static_cast<int64_t>(data_.size()));
  EXPECT_EQ(ReadWholeFile(dst_), data_ + std::string(80000 - data_.size(), 'Z'));  // not truncated
  EXPECT_EQ(Copy(vk::kModeReadShared), -2);                                        // opened for reading only
  EXPECT_EQ(vk::CopyFileContents(vk::kNoFile, vk::kNoFile), -1);
}

TEST(BoundedStrings, CopyZeroFillsAndAppendCutsAt127) {
  char buf[8];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(vk::CopyBounded(buf, "ab", sizeof buf), buf);
  for (size_t i = 2; i < sizeof buf; ++i) EXPECT_EQ(buf[i], '\0') << i;
  vk::CopyBounded(buf, "abcdefghij", sizeof buf);
  EXPECT_STREQ(buf, "abcdefg");
  EXPECT_EQ(vk::CopyBounded(buf, "a", 0), nullptr);
  EXPECT_STREQ(buf, "abcdefg");

  char path[128];
  std::string base(120, 'p');
  vk::CopyBounded(path, base.c_str(), sizeof path);
  EXPECT_EQ(vk::AppendBounded(path, "0123456789", sizeof path), path);
  EXPECT_EQ(std::string(path), base + "0123456");
  vk::AppendBounded(path, "more", sizeof path);
  EXPECT_EQ(std::strlen(path), 127u);
  vk::AppendBounded(path, "c", 0);
  EXPECT_EQ(std::strlen(path), 127u);
}

TEST(Decimal, ParseExaminesTenCharactersAtMostAndFormatRoundTrips) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {{"  -42x", -42}, {"12345678901", 1234567890}, {nullptr, 0}, {"abc", 0}, {"1-2", 1}, {"--3", 0},
               {"\t 19 ", 19},  {"-2147483648", -214748364}};
  for (const auto& c : cases) EXPECT_EQ(vk::ParseDecimal(c.text), c.value) << (c.text ? c.text : "(null)");
  char buf[12];
  EXPECT_STREQ(vk::FormatDecimal(-2147483647 - 1, buf), "-2147483648");
  for (int32_t v : {0, -17, 2147483647}) EXPECT_EQ(vk::ParseDecimal(vk::FormatDecimal(v, buf)), v);
}

}  // namespace
