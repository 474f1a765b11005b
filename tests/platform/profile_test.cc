// Profile files through the platform calls; runs on both backends.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/profile.h"
#include "support/test_support.h"

namespace {

using namespace vk;
using vktest::ReadWholeFile;
using vktest::ScratchDir;
using vktest::WriteWholeFile;

// "" stands for the workstation profile.
std::string Get(const std::string& file, const char* section, const char* key, const char* def = "?") {
  char buf[256];
  PlatGetProfileString(file.empty() ? nullptr : file.c_str(), section, key, def, buf, sizeof buf);
  return buf;
}

TEST(PlatProfile, WriteThenReadWithoutRegardToCase) {
  ScratchDir dir;
  std::string f = dir.Join("passwd");
  EXPECT_EQ("dflt", Get(f, "Server", "ServerName", "dflt"));  // no file yet
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Server", "ServerName", "VESK"));
  EXPECT_EQ("VESK", Get(f, "SERVER", "servername"));
  EXPECT_EQ("?", Get(f, "Server", "ServerDescription"));
  EXPECT_EQ("?", Get(f, "Other", "ServerName"));

  // "Mail" and "MAIL" are one section; rewriting keeps one key.
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Mail", "IsVeskAdmin", "0"));
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "MAIL", "ISVESKADMIN", "1"));
  EXPECT_EQ(1, PlatGetProfileInt(f.c_str(), "mail", "IsVeskAdmin", 7));
  std::string text = ReadWholeFile(f);
  EXPECT_EQ(text.find("IsVeskAdmin"), text.rfind("IsVeskAdmin")) << text;
}

// Blanks around a value go, quotes keep them; lines may end in LF alone.
TEST(PlatProfile, ValuesAndNumbersAsTheFileHoldsThem) {
  ScratchDir dir;
  std::string f = dir.Join("q.ini");
  ASSERT_TRUE(WriteWholeFile(f,
                             "; elsewhere\n[S]\r\nplain =  spaced value  \r\nquoted=\"  in quotes \"\nlf=def\n"
                             "a=42\r\nb=12x\r\nlong=0123456789\r\n"));
  const struct {
    const char *key, *text;
    int number;
  } cases[] = {
      {"plain", "spaced value", 0}, {"quoted", "  in quotes ", 0}, {"lf", "def", 0}, {"a", "42", 42}, {"b", "12x", 12},
      {"missing", "?", 5}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, Get(f, "S", c.key));
    EXPECT_EQ(c.number, PlatGetProfileInt(f.c_str(), "s", c.key, 5)) << c.key;
  }
  char buf[5];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(4, PlatGetProfileString(f.c_str(), "S", "long", "", buf, sizeof buf));
  EXPECT_STREQ("0123", buf);
  char wide[16];
  EXPECT_EQ(10, PlatGetProfileString(f.c_str(), "S", "long", "", wide, sizeof wide));
  EXPECT_EQ(3, PlatGetProfileString(f.c_str(), "S", "missing", "def", buf, sizeof buf));
  EXPECT_STREQ("def", buf);
  EXPECT_EQ(0, PlatGetProfileString(f.c_str(), "S", "missing", nullptr, buf, sizeof buf));
  EXPECT_STREQ("", buf);
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "S", "carl", "ghi"));
  EXPECT_EQ("def", Get(f, "S", "lf"));
  EXPECT_EQ("ghi", Get(f, "S", "carl"));
  EXPECT_NE(std::string::npos, ReadWholeFile(f).find("; elsewhere"));
  // After a flush a read sees what another writer put in the file.
  EXPECT_TRUE(PlatWriteProfileString(f.c_str(), nullptr, nullptr, nullptr));
  ASSERT_TRUE(WriteWholeFile(f, "[S]\r\na=43\r\n"));
  EXPECT_TRUE(PlatWriteProfileString(f.c_str(), nullptr, nullptr, nullptr));
  EXPECT_EQ(43, PlatGetProfileInt(f.c_str(), "S", "a", 5));
}

TEST(PlatProfile, KeyNamesComeAsARunWithItsCount) {
  ScratchDir dir;
  std::string f = dir.Join("keys.ini");
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Passwords", "alpha", "1"));
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Passwords", "beta", "2"));
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Passwords", "gamma", "3"));
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Other", "delta", "4"));

  char buf[64];
  std::memset(buf, 'x', sizeof buf);
  int n = PlatGetProfileString(f.c_str(), "passwords", nullptr, nullptr, buf, sizeof buf);
  EXPECT_EQ(17, n);
  EXPECT_EQ(std::string("alpha\0beta\0gamma\0\0", 18), std::string(buf, 18));

  // Not enough room: cut to size - 2 and ended by two zeros.
  std::memset(buf, 'x', sizeof buf);
  n = PlatGetProfileString(f.c_str(), "Passwords", nullptr, nullptr, buf, 10);
  EXPECT_EQ(8, n);
  EXPECT_EQ(std::string("alpha\0be\0\0", 10), std::string(buf, 10));

  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(0, PlatGetProfileString(f.c_str(), "Nowhere", nullptr, nullptr, buf, sizeof buf));
  EXPECT_EQ('\0', buf[0]);
}

TEST(PlatProfile, NullValueDeletesTheKeyNullKeyTheSection) {
  ScratchDir dir;
  std::string f = dir.Join("del.ini");
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Passwords", "ann", "1"));
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Passwords", "bob", "2"));
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Server", "ServerName", "VESK"));

  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "PASSWORDS", "ANN", nullptr));
  EXPECT_EQ("?", Get(f, "Passwords", "ann"));
  EXPECT_EQ("2", Get(f, "Passwords", "bob"));
  EXPECT_TRUE(PlatWriteProfileString(f.c_str(), "Passwords", "ann", nullptr));  // already gone

  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "passwords", nullptr, nullptr));
  EXPECT_EQ("?", Get(f, "Passwords", "bob"));
  EXPECT_EQ("VESK", Get(f, "Server", "ServerName"));

  // Deleting in a file that does not exist succeeds without making one.
  std::string none = dir.Join("none.ini");
  EXPECT_TRUE(PlatWriteProfileString(none.c_str(), "S", "k", nullptr));
}

// Each would plant a key of its own choosing in the file.
TEST(PlatProfile, WritesThatWouldBreakTheLinesAreRefused) {
  ScratchDir dir;
  std::string f = dir.Join("inject.ini");
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Passwords", "ann", "abc"));
  const std::string before = ReadWholeFile(f);
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"Passwords", "eve", "x\r\nadmin=known"}, {"Passwords", "eve", "x\nadmin=known"},
      {"Passwords", "eve\nadmin", "x"},         {"Passwords", "ann\r\nadmin", nullptr},
      {"Passwords", "admin=known", "x"},        {"Passwords\r\nadmin=known", "eve", "x"},
      {"Passwords]\r\n", "eve", "x"},           {"Pass]words", "admin", "known"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(PlatWriteProfileString(f.c_str(), c.section, c.key, c.value)) << c.section << "/" << c.key;
  }
  EXPECT_EQ(before, ReadWholeFile(f));
}

#ifndef _WIN32
// Comments, blank lines and other sections stay where they were.
TEST(PlatProfilePosix, WritesCrLfAndAppendsWhereWindowsDoes) {
  ScratchDir dir;
  std::string f = dir.Join("bytes.ini");
  ASSERT_TRUE(WriteWholeFile(f, "; c\n[A]\nx=1\n\n[B]\ny=2"));
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "a", "z", "3"));
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "C", "w", "4"));
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "B", "Y", "5"));
  EXPECT_EQ("; c\r\n[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=5\r\n\r\n[C]\r\nw=4\r\n", ReadWholeFile(f));
}

TEST(PlatProfilePosix, WorkstationProfileFromTheEnvironment) {
  ScratchDir dir;
  const std::string env = dir.Join("sub/win.ini"), xdg = dir.Join("xdg");
  {
    vktest::ScopedEnv winini("VKMSG_WININI", nullptr), home("XDG_CONFIG_HOME", xdg.c_str());
    ASSERT_TRUE(PlatWriteProfileString(nullptr, "Mail", "MHS_USER", "bob"));
    EXPECT_EQ("bob", Get(xdg + "/vkmsg/win.ini", "MAIL", "MHS_USER"));
  }
  vktest::ScopedEnv winini("VKMSG_WININI", env.c_str());
  ASSERT_TRUE(PlatWriteProfileString(nullptr, "Mail", "MHS_USER", "ann"));
  EXPECT_EQ("ann", Get(env, "MAIL", "MHS_USER"));
  // A stand-in wins over the environment.
  vktest::PrivateProfile ws(dir);
  EXPECT_EQ("none", Get("", "Mail", "MHS_USER", "none"));
}

// A writer that died holding the lock leaves it behind; the next writer
// takes it for stale once it has not changed for a while, and writes.
TEST(PlatProfilePosix, ALockLeftByADeadWriterIsOutlasted) {
  ScratchDir dir;
  std::string f = dir.Join("passwd");
  ASSERT_TRUE(PlatWriteProfileString(f.c_str(), "Passwords", "ann", "1"));
  ASSERT_TRUE(std::filesystem::create_directory(f + ".lck"));
  ASSERT_TRUE(WriteWholeFile(f + ".lck/owner", "elsewhere 1 dead\n"));
  EXPECT_TRUE(PlatWriteProfileString(f.c_str(), "Passwords", "bob", "2"));
  EXPECT_EQ("1", Get(f, "Passwords", "ann"));
  EXPECT_EQ("2", Get(f, "Passwords", "bob"));
  EXPECT_FALSE(vktest::FileExists(f + ".lck"));
}

TEST(PlatProfilePosix, FilesMatchWithoutRegardToCase) {
  ScratchDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.Join("passwd"), "[Server]\r\nServerName=VESK\r\n"));
  std::string upper = dir.Join("PASSWD");
  EXPECT_EQ("VESK", Get(upper, "Server", "ServerName"));
  ASSERT_TRUE(PlatWriteProfileString(upper.c_str(), "Server", "ServerDescription", "VESK_MSG"));
  EXPECT_FALSE(vktest::FileExists(upper));
  EXPECT_EQ("VESK_MSG", Get(dir.Join("passwd"), "Server", "ServerDescription"));
}
#endif

}  // namespace
