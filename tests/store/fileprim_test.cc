#include "store/fileprim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

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

std::string Candidate(uint32_t seed) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "KWZ%04x", static_cast<unsigned>((seed >> 4) & 0xFFFFu));
  return buf;
}

// The first candidate names UniqueFile may try when called within the next
// quarter second.
std::vector<std::string> UpcomingFirstCandidates() {
  uint32_t now = vk::PlatTickCount();
  std::vector<std::string> out;
  for (uint32_t t = now; t < now + 256; t += 16) out.push_back(Candidate(t));
  out.push_back(Candidate(now + 256));
  return out;
}

TEST(OpenFileMode, ExistTestOpensAndClosesAgain) {
  ScratchDir dir;
  std::string path = dir.Join("f.txt");
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeExist), -1);
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeExist), 1);
  // Closed again: an exclusive open and a delete both succeed.
  vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeReadExclusive);
  ASSERT_NE(h, vk::kNoFile);
  EXPECT_EQ(vk::CloseFile(h), 0);
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeDelete), 1);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeDelete), 0);
}

TEST(OpenFileMode, CreateOpensExistingWithoutTruncating) {
  ScratchDir dir;
  std::string path = dir.Join("f.txt");
  ASSERT_TRUE(WriteWholeFile(path, "hello world"));
  vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeCreateReadWrite);
  ASSERT_NE(h, vk::kNoFile);
  EXPECT_EQ(vk::FileSize(h), 11u);
  char buf[16] = {};
  EXPECT_EQ(vk::ReadFileBytes(h, buf, 5), 5u);
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(vk::SeekFile(h, 0, nullptr, 0), 0u);
  EXPECT_EQ(vk::WriteFileBytes(h, "J", 1), 1u);
  EXPECT_EQ(vk::CloseFile(h), 0);
  EXPECT_EQ(ReadWholeFile(path), "Jello world");

  std::string fresh = dir.Join("new.txt");
  h = vk::OpenFileMode(fresh.c_str(), vk::kModeCreateReadWrite);
  ASSERT_NE(h, vk::kNoFile);
  EXPECT_EQ(vk::FileSize(h), 0u);
  EXPECT_EQ(vk::CloseFile(h), 0);
  EXPECT_TRUE(FileExists(fresh));
}

TEST(OpenFileMode, PlainOpenNeedsAnExistingFileAndParseTouchesNothing) {
  ScratchDir dir;
  std::string path = dir.Join("missing");
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kModeReadShared), vk::kNoFile);
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kOpenParse), 0);
  EXPECT_EQ(vk::OpenFileMode(path.c_str(), vk::kOpenReopen), 0);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(vk::OpenFileMode(nullptr, vk::kModeReadShared), vk::kNoFile);
  EXPECT_EQ(vk::CloseFile(vk::kNoFile), -1);
}

TEST(FileHandles, SizeSeekAndTruncateKeepThePosition) {
  ScratchDir dir;
  std::string path = dir.Join("f");
  vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeCreateReadWrite);
  ASSERT_NE(h, vk::kNoFile);
  EXPECT_EQ(vk::WriteFileBytes(h, "0123456789", 10), 10u);
  EXPECT_NE(vk::FlushFile(h), 0);
  EXPECT_EQ(vk::FileSize(h), 10u);
  EXPECT_EQ(vk::SeekFile(h, -3, nullptr, 1), 7u);
  EXPECT_EQ(vk::TruncateFile(h, 4), 1);
  EXPECT_EQ(vk::SeekFile(h, 0, nullptr, 1), 7u);
  EXPECT_EQ(vk::FileSize(h), 4u);
  int32_t high = 0;
  EXPECT_EQ(vk::SeekFile(h, 0, &high, 2), 4u);
  EXPECT_EQ(high, 0);
  char buf[8];
  EXPECT_EQ(vk::ReadFileBytes(h, buf, sizeof buf), 0u);  // at end
  EXPECT_EQ(vk::SeekFile(h, -1, nullptr, 0), 0xFFFFFFFFu);
  EXPECT_EQ(vk::CloseFile(h), 0);
  EXPECT_EQ(ReadWholeFile(path), "0123");
  EXPECT_EQ(vk::ReadFileBytes(vk::kNoFile, buf, 1), 0u);
  EXPECT_EQ(vk::WriteFileBytes(vk::kNoFile, buf, 1), 0u);
}

TEST(Directories, TrailingSeparatorGivesTheSameAnswer) {
  ScratchDir dir;
  std::string sub = dir.Join("SUB");
  std::string sub_sep = sub + vk::kPathSep;
  EXPECT_EQ(vk::DirExists(sub.c_str()), 0);
  EXPECT_EQ(vk::DirExists(sub_sep.c_str()), 0);
  EXPECT_EQ(vk::MakeDir(sub_sep.c_str()), 1);
  EXPECT_TRUE(fs::is_directory(sub));
  EXPECT_EQ(vk::DirExists(sub.c_str()), 1);
  EXPECT_EQ(vk::DirExists(sub_sep.c_str()), 1);
  // Existing: 1, nothing made.
  EXPECT_EQ(vk::MakeDir(sub.c_str()), 1);
  EXPECT_EQ(Names(dir.path()).size(), 1u);
  EXPECT_EQ(vk::RemoveDir(sub_sep.c_str()), 1);
  EXPECT_FALSE(fs::exists(sub));
  EXPECT_EQ(vk::MakeDir(sub.c_str()), 1);
  EXPECT_EQ(vk::RemoveDir(sub.c_str()), 1);
  EXPECT_EQ(vk::RemoveDir(sub.c_str()), 0);
}

TEST(Directories, RefusalsAndPlainFiles) {
  ScratchDir dir;
  std::string file = dir.Join("plain");
  ASSERT_TRUE(WriteWholeFile(file, "x"));
  EXPECT_EQ(vk::DirExists(file.c_str()), 0);
  EXPECT_EQ(vk::DirExists((file + vk::kPathSep).c_str()), 0);
  EXPECT_EQ(vk::MakeDir(file.c_str()), 0);
  std::string deep = dir.Join("no") + vk::kPathSep + "such" + vk::kPathSep;
  EXPECT_EQ(vk::MakeDir(deep.c_str()), 0);
  EXPECT_FALSE(fs::exists(dir.Join("no")));
  EXPECT_EQ(vk::MakeDir(""), 0);
  EXPECT_EQ(vk::DirExists(nullptr), 0);
  std::string full = dir.Join("FULL");
  ASSERT_EQ(vk::MakeDir(full.c_str()), 1);
  ASSERT_TRUE(WriteWholeFile(full + vk::kPathSep + "f", "x"));
  EXPECT_EQ(vk::RemoveDir(full.c_str()), 0);
  EXPECT_TRUE(fs::is_directory(full));
  std::string longpath(300, 'a');
  EXPECT_EQ(vk::DirExists(longpath.c_str()), 0);
  EXPECT_EQ(vk::RemoveDir(longpath.c_str()), 0);
}

TEST(UniqueFile, NamesFollowTheRuleAndNeverRepeat) {
  ScratchDir dir;
  std::set<std::string> seen;
  for (int i = 0; i < 40; ++i) {
    char out[vk::kPathMax];
    vk::FileHandle h = vk::UniqueFileDefault(dir.path().c_str(), out, sizeof out);
    ASSERT_NE(h, vk::kNoFile);
    ASSERT_EQ(vk::WriteFileBytes(h, "x", 1), 1u);
    EXPECT_EQ(vk::CloseFile(h), 0);
    std::string p = out;
    ASSERT_EQ(p.back(), '.');
    EXPECT_EQ(p.substr(0, dir.path().size() + 1), dir.path() + vk::kPathSep);
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

TEST(UniqueFile, ExistingNamesAndReadTwinsCountAsTaken) {
  ScratchDir dir;
  ScratchDir dir2;
  std::vector<std::string> first = UpcomingFirstCandidates();
  for (const std::string& n : first) {
    ASSERT_TRUE(WriteWholeFile(dir.Join(n + ".red"), "read"));
    ASSERT_TRUE(WriteWholeFile(dir2.Join(n), "old"));
  }
  char out[vk::kPathMax];
  vk::FileHandle h = vk::UniqueFileDefault(dir.path().c_str(), out, sizeof out);
  ASSERT_NE(h, vk::kNoFile);
  vk::CloseFile(h);
  std::string name = StoredName(out);
  EXPECT_EQ(std::count(first.begin(), first.end(), name), 0) << name;
  EXPECT_FALSE(FileExists(dir.Join(name + ".red")));

  h = vk::UniqueFileDefault(dir2.path().c_str(), out, sizeof out);
  ASSERT_NE(h, vk::kNoFile);
  vk::CloseFile(h);
  name = StoredName(out);
  EXPECT_EQ(std::count(first.begin(), first.end(), name), 0) << name;
  for (const std::string& n : first) EXPECT_EQ(ReadWholeFile(dir2.Join(n)), "old");
}

TEST(UniqueFile, PrefixAndSizeLimits) {
  ScratchDir dir;
  char out[vk::kPathMax];
  vk::FileHandle h = vk::UniqueFile(dir.path().c_str(), "MSGX", out, sizeof out);
  ASSERT_NE(h, vk::kNoFile);
  vk::CloseFile(h);
  EXPECT_EQ(StoredName(out).substr(0, 4), "MSGX");
  EXPECT_EQ(vk::UniqueFile(dir.path().c_str(), "AB", out, sizeof out), vk::kNoFile);

  // 120 + 1 + 3 + 6 > 128: refused before any file operation.
  std::string long_dir(120, 'd');
  vk::PlatFaultArm(1, true);
  EXPECT_EQ(vk::UniqueFileDefault(long_dir.c_str(), out, 128), vk::kNoFile);
  EXPECT_FALSE(vk::PlatFaultFired());
  vk::PlatFaultDisarm();
  std::string short_dir(60, 'd');
  vk::PlatFaultArm(1, true);
  EXPECT_EQ(vk::UniqueFileDefault(short_dir.c_str(), out, 61), vk::kNoFile);
  EXPECT_FALSE(vk::PlatFaultFired());
  vk::PlatFaultDisarm();

  std::string missing = dir.Join("missing");
  EXPECT_EQ(vk::UniqueFileDefault(missing.c_str(), out, sizeof out), vk::kNoFile);
}

TEST(UniqueFile, FailsCleanlyAtEveryStep) {
  ScratchDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.Join("KWZ0000"), "keep"));
  for (int persistent = 0; persistent < 2; ++persistent) {
    for (long n = 1; n < 100; ++n) {
      std::set<std::string> before = Names(dir.path());
      char out[vk::kPathMax];
      vk::PlatFaultArm(n, persistent != 0);
      vk::FileHandle h = vk::UniqueFileDefault(dir.path().c_str(), out, sizeof out);
      bool fired = vk::PlatFaultFired();
      vk::PlatFaultDisarm();
      std::set<std::string> after = Names(dir.path());
      if (h == vk::kNoFile) {
        if (!persistent) {
          EXPECT_EQ(after, before) << "step " << n;
        }
      } else {
        vk::CloseFile(h);
        std::string name = StoredName(out);
        EXPECT_EQ(before.count(name), 0u);
        EXPECT_EQ(after.count(name), 1u);
        if (!persistent) {
          EXPECT_EQ(after.size(), before.size() + 1) << "step " << n;
        }
        fs::remove(dir.Join(name));
      }
      for (const std::string& s : after) {
        if (!before.count(s)) fs::remove(dir.Join(s));
      }
      if (!fired) break;
      ASSERT_LT(n, 99) << "the fault kept firing";
    }
  }
  EXPECT_EQ(ReadWholeFile(dir.Join("KWZ0000")), "keep");
}

#ifndef _WIN32
TEST(UniqueFile, TwoProcessesNeverShareAName) {
  ScratchDir dir;
  constexpr int kEach = 250;
  auto make = [&](const char* tag, std::vector<std::string>* names) {
    for (int i = 0; i < kEach; ++i) {
      char out[vk::kPathMax];
      vk::FileHandle h = vk::UniqueFileDefault(dir.path().c_str(), out, sizeof out);
      if (h == vk::kNoFile) return false;
      std::string body = std::string(tag) + std::to_string(i);
      bool ok = vk::WriteFileBytes(h, body.data(), static_cast<uint32_t>(body.size())) == body.size();
      if (vk::CloseFile(h) != 0 || !ok) return false;
      if (names) names->push_back(StoredName(out));
    }
    return true;
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(make("c", nullptr) ? 0 : 1);
  std::vector<std::string> mine;
  bool ok = make("p", &mine);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(ok);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::set<std::string> all = Names(dir.path());
  EXPECT_EQ(all.size(), 2u * kEach);
  // Every file holds exactly what its one creator wrote.
  int parent_files = 0, child_files = 0;
  for (const std::string& n : all) {
    std::string body = ReadWholeFile(dir.Join(n));
    ASSERT_FALSE(body.empty()) << n;
    (body[0] == 'p' ? parent_files : child_files)++;
  }
  EXPECT_EQ(parent_files, kEach);
  EXPECT_EQ(child_files, kEach);
  for (const std::string& n : mine) EXPECT_EQ(ReadWholeFile(dir.Join(n))[0], 'p');
}
#endif

class CopyFileContentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    src_ = dir_.Join("src");
    dst_ = dir_.Join("dst");
    data_.resize(70000);
    for (size_t i = 0; i < data_.size(); ++i) data_[i] = static_cast<char>('a' + i % 23);
    ASSERT_TRUE(WriteWholeFile(src_, data_));
  }
  ScratchDir dir_;
  std::string src_, dst_, data_;
};

TEST_F(CopyFileContentsTest, CopiesFromTheStartOverTheDestination) {
  ASSERT_TRUE(WriteWholeFile(dst_, std::string(80000, 'Z')));
  vk::FileHandle s = vk::OpenFileMode(src_.c_str(), vk::kModeReadShared);
  vk::FileHandle d = vk::OpenFileMode(dst_.c_str(), vk::kModeCreateReadWrite);
  ASSERT_NE(s, vk::kNoFile);
  ASSERT_NE(d, vk::kNoFile);
  vk::SeekFile(s, 100, nullptr, 0);
  vk::SeekFile(d, 0, nullptr, 2);
  EXPECT_EQ(vk::CopyFileContents(s, d), static_cast<int64_t>(data_.size()));
  vk::CloseFile(s);
  vk::CloseFile(d);
  std::string got = ReadWholeFile(dst_);
  ASSERT_EQ(got.size(), 80000u);  // not truncated
  EXPECT_EQ(got.substr(0, data_.size()), data_);
  EXPECT_EQ(got.substr(data_.size()), std::string(80000 - data_.size(), 'Z'));
}

TEST_F(CopyFileContentsTest, EmptySourceAndBadHandles) {
  ASSERT_TRUE(WriteWholeFile(src_, ""));
  vk::FileHandle s = vk::OpenFileMode(src_.c_str(), vk::kModeReadShared);
  vk::FileHandle d = vk::OpenFileMode(dst_.c_str(), vk::kModeCreateReadWrite);
  EXPECT_EQ(vk::CopyFileContents(s, d), 0);
  EXPECT_EQ(vk::CopyFileContents(vk::kNoFile, d), -1);
  EXPECT_EQ(vk::CopyFileContents(s, vk::kNoFile), -2);
  vk::CloseFile(s);
  // A destination opened for reading only cannot be written.
  s = vk::OpenFileMode(dst_.c_str(), vk::kModeReadShared);
  ASSERT_TRUE(WriteWholeFile(src_, "abc"));
  vk::FileHandle s2 = vk::OpenFileMode(src_.c_str(), vk::kModeReadShared);
  EXPECT_EQ(vk::CopyFileContents(s2, s), -2);
  vk::CloseFile(s);
  vk::CloseFile(s2);
  vk::CloseFile(d);
}

TEST_F(CopyFileContentsTest, FailsCleanlyAtEveryStep) {
  for (long n = 1; n < 100; ++n) {
    fs::remove(dst_);
    vk::FileHandle s = vk::OpenFileMode(src_.c_str(), vk::kModeReadShared);
    vk::FileHandle d = vk::OpenFileMode(dst_.c_str(), vk::kModeCreateReadWrite);
    ASSERT_NE(s, vk::kNoFile);
    ASSERT_NE(d, vk::kNoFile);
    vk::PlatFaultArm(n, false);
    int64_t r = vk::CopyFileContents(s, d);
    bool fired = vk::PlatFaultFired();
    vk::PlatFaultDisarm();
    vk::CloseFile(s);
    vk::CloseFile(d);
    if (!fired) {
      EXPECT_EQ(r, static_cast<int64_t>(data_.size()));
      EXPECT_EQ(ReadWholeFile(dst_), data_);
      break;
    }
    // A fault is never reported as a complete copy.
    EXPECT_LT(r, 0) << "step " << n;
    EXPECT_GE(r, -3);
    ASSERT_LT(n, 99) << "the fault kept firing";
  }
}

TEST(BoundedStrings, CopyZeroFillsAndCuts) {
  char buf[8];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(vk::CopyBounded(buf, "ab", sizeof buf), buf);
  EXPECT_STREQ(buf, "ab");
  for (size_t i = 2; i < sizeof buf; ++i) EXPECT_EQ(buf[i], '\0');
  vk::CopyBounded(buf, "abcdefghij", sizeof buf);
  EXPECT_STREQ(buf, "abcdefg");
  EXPECT_EQ(vk::CopyBounded(nullptr, "a", 4), nullptr);
  EXPECT_EQ(vk::CopyBounded(buf, nullptr, 4), nullptr);
  EXPECT_EQ(vk::CopyBounded(buf, "a", 0), nullptr);
  EXPECT_STREQ(buf, "abcdefg");
  vk::CopyBounded(buf, "q", 1);
  EXPECT_EQ(buf[0], '\0');
}

TEST(BoundedStrings, AppendCutsAt127) {
  char path[128];
  std::string base(120, 'p');
  vk::CopyBounded(path, base.c_str(), sizeof path);
  EXPECT_EQ(vk::AppendBounded(path, "0123456789", sizeof path), path);
  EXPECT_EQ(std::string(path), base + "0123456");
  EXPECT_EQ(std::strlen(path), 127u);
  vk::AppendBounded(path, "more", sizeof path);
  EXPECT_EQ(std::strlen(path), 127u);

  char small[6] = "ab";
  EXPECT_EQ(vk::AppendBounded(small, nullptr, sizeof small), small);
  EXPECT_EQ(vk::AppendBounded(small, "c", 0), small);
  EXPECT_STREQ(small, "ab");
  EXPECT_EQ(vk::AppendBounded(nullptr, "c", 4), nullptr);
  vk::AppendBounded(small, "cdefgh", sizeof small);
  EXPECT_STREQ(small, "abcde");
}

TEST(BoundedStrings, CompareHandlesNullsCountAndCase) {
  EXPECT_EQ(vk::CompareBounded(nullptr, nullptr, 5), 0);
  EXPECT_LT(vk::CompareBounded(nullptr, "", 5), 0);
  EXPECT_GT(vk::CompareBounded("", nullptr, 5), 0);
  EXPECT_EQ(vk::CompareBounded("abcX", "abcY", 3), 0);
  EXPECT_LT(vk::CompareBounded("abcX", "abcY", 4), 0);
  EXPECT_NE(vk::CompareBounded("ABC", "abc", 3), 0);
  EXPECT_LT(vk::CompareBounded("ab", "abc", 10), 0);
  EXPECT_EQ(vk::CompareBounded("same", "same", 100), 0);
  EXPECT_GT(vk::CompareBounded("\xe9", "a", 1), 0);  // bytes compare unsigned
  EXPECT_EQ(vk::CompareBounded("a", "b", 0), 0);
}

TEST(Decimal, ParseExaminesTenCharactersAtMost) {
  EXPECT_EQ(vk::ParseDecimal("  -42x"), -42);
  EXPECT_EQ(vk::ParseDecimal("12345678901"), 1234567890);
  EXPECT_EQ(vk::ParseDecimal(nullptr), 0);
  EXPECT_EQ(vk::ParseDecimal(""), 0);
  EXPECT_EQ(vk::ParseDecimal("abc"), 0);
  EXPECT_EQ(vk::ParseDecimal("7"), 7);
  EXPECT_EQ(vk::ParseDecimal("1-2"), 1);
  EXPECT_EQ(vk::ParseDecimal("--3"), 0);
  EXPECT_EQ(vk::ParseDecimal("\t 19 "), 19);
  EXPECT_EQ(vk::ParseDecimal("-2147483648"), -214748364);
}

TEST(Decimal, FormatAndRoundTrip) {
  char buf[12];
  EXPECT_STREQ(vk::FormatDecimal(0, buf), "0");
  EXPECT_STREQ(vk::FormatDecimal(-17, buf), "-17");
  EXPECT_STREQ(vk::FormatDecimal(2147483647, buf), "2147483647");
  EXPECT_STREQ(vk::FormatDecimal(-2147483647 - 1, buf), "-2147483648");
  EXPECT_EQ(vk::ParseDecimal(vk::FormatDecimal(123456, buf)), 123456);
}

TEST(FindExtension, StopsAfterTheLastElement) {
  CMC_extension ext[3] = {};
  ext[0].item_code = 16;
  ext[1].item_code = 16259;
  ext[1].extension_flags = CMC_EXT_LAST_ELEMENT;
  ext[2].item_code = 131;
  EXPECT_EQ(vk::FindExtension(ext, 16), &ext[0]);
  EXPECT_EQ(vk::FindExtension(ext, 16259), &ext[1]);
  EXPECT_EQ(vk::FindExtension(ext, 131), nullptr);
  EXPECT_EQ(vk::FindExtension(nullptr, 16), nullptr);
  ext[0].extension_flags = CMC_EXT_LAST_ELEMENT;
  EXPECT_EQ(vk::FindExtension(ext, 16259), nullptr);
}

}  // namespace
