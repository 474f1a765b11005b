// The workstation's configuration: finding the mail tree from WIN.INI,
// the paths below it, and making a tree with the library's own setup.
#include "store/config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/file.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "users/registry.h"
#include "vkmsg/vkmsg.h"

namespace fs = std::filesystem;
using vktest::ScratchDir;
using vktest::WriteWholeFile;

namespace {

const std::string kSep(1, vk::kPathSep);

// A complete tree below `root`, made by hand.
std::string MakeTree(const std::string& root, bool parcel = true, bool passwd = true) {
  std::string mail = root + kSep + "MHS" + kSep + "MAIL" + kSep;
  for (const char* d : {"PUBLIC", "USERS", "SND"}) fs::create_directories(mail + d);
  if (parcel) fs::create_directories(mail + "PARCEL");
  if (passwd) {
    WriteWholeFile(mail + "PUBLIC" + kSep + "passwd", "[Server]\r\nServerName=VESK\r\nServerDescription=VESK_MSG\r\n");
  }
  return mail;
}

bool SamePath(const std::string& a, const std::string& b) { return vk::PlatCompareNoCase(a.c_str(), b.c_str()) == 0; }

class ConfigTest : public ::testing::Test {
 protected:
  static void Reset() {
    vk::UnloadConfig();
    vk::SetCachedUserList(nullptr);
    std::memset(&vk::g_mail_config, 0, sizeof vk::g_mail_config);
  }
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  void PointWinIniAt(const std::string& path) {
    vk::PlatWriteProfileString(nullptr, "Mail", "VeskMailPath", path.c_str());
  }
  std::string Mail() const { return root_.path() + kSep + "MHS" + kSep + "MAIL" + kSep; }
  ScratchDir dir_;
  vktest::PrivateProfile profile_{dir_};
  ScratchDir root_;
};

TEST(IsVeskMsgDir, RootOrMailDirInAnyCaseOfACompleteTreeOnly) {
  ScratchDir dir, no_parcel, no_passwd, empty;
  const std::string mail = MakeTree(dir.path());
  const std::string lower = dir.path() + kSep + "mhs" + kSep + "mail";
  for (const std::string& p : {dir.path(), dir.path() + kSep, mail, lower, lower + kSep}) {
    EXPECT_EQ(isVeskMsgDir(p.c_str()), 1) << p;
  }
  MakeTree(no_parcel.path(), false, true);
  MakeTree(no_passwd.path(), true, false);
  const std::string file = empty.Join("plain");
  WriteWholeFile(file, "x");
  for (const std::string& p :
       {no_parcel.path(), no_passwd.path(), empty.path(), empty.Join("missing"), file, std::string()}) {
    EXPECT_EQ(isVeskMsgDir(p.c_str()), 0) << p;
  }
  EXPECT_EQ(isVeskMsgDir(nullptr), 0);
}

TEST_F(ConfigTest, RootInWinIniGetsTheMailDirAppendedAndWrittenBack) {
  std::string mail = MakeTree(dir_.path());
  PointWinIniAt(dir_.path());
  ASSERT_EQ(vk::LoadConfig(), 0);
  EXPECT_TRUE(vk::ConfigLoaded());
  EXPECT_TRUE(SamePath(vk::g_mail_config.mail_dir, mail)) << vk::g_mail_config.mail_dir;
  EXPECT_TRUE(fs::is_directory(vk::g_mail_config.mail_dir));
  EXPECT_TRUE(vktest::FileExists(vk::g_mail_config.passwd_path));
  EXPECT_TRUE(SamePath(vktest::ProfileValue(nullptr, "MAIL", "VeskMailPath"), mail));
  EXPECT_STREQ(vk::g_mail_config.server_name, "VESK");
}

TEST_F(ConfigTest, NoUsableTreeIsACancel) {
  MakeTree(dir_.path(), true, false);  // no passwd file
  vk_set_dialog_driver([](void*, VkDialog*) {}, nullptr);  // the user closes the locate dialog
  for (const std::string& at : {std::string(), dir_.path(), dir_.Join("missing")}) {
    if (!at.empty()) PointWinIniAt(at);
    EXPECT_EQ(vk::LoadConfig(), CMC_E_USER_CANCEL) << at;
    EXPECT_FALSE(vk::ConfigLoaded());
  }
  vk_set_dialog_driver(nullptr, nullptr);
}

TEST_F(ConfigTest, SetupMakesTheWholeTreeAndKeepsARegistryWhenRunAgain) {
  ASSERT_EQ(bSetupMHSDirs(root_.path().c_str()), 1);
  const std::string mail = Mail();
  for (const char* d : {"PUBLIC", "USERS", "SND", "PARCEL", "USERS" VK_SEP "admin" VK_SEP "MHS",
                        "USERS" VK_SEP "admin" VK_SEP "IPARCEL"}) {
    EXPECT_TRUE(fs::is_directory(mail + d)) << d;
  }
  const std::string passwd = mail + "PUBLIC" + kSep + "passwd";
#ifdef _WIN32
  EXPECT_NE(vk::PlatGetAttributes(passwd.c_str()) & vk::kAttrHidden, 0u);
#endif
  EXPECT_EQ(vktest::ProfileValue(nullptr, "MAIL", "IsVeskAdmin"), "1");
  EXPECT_FALSE(vktest::ProfileValue(passwd.c_str(), "Passwords", "admin").empty());
  // The workstation now finds the tree by itself.
  Reset();
  ASSERT_EQ(vk::LoadConfig(), 0);
  EXPECT_TRUE(SamePath(vk::g_mail_config.mail_dir, mail));
  vk::PlatWriteProfileString(passwd.c_str(), "Passwords", "bob", "something");
  vk::PlatWriteProfileString(passwd.c_str(), nullptr, nullptr, nullptr);
  Reset();
  ASSERT_EQ(bSetupMHSDirs((root_.path() + kSep).c_str()), 1);
  EXPECT_EQ(vktest::ProfileValue(passwd.c_str(), "Passwords", "bob"), "something");
  EXPECT_EQ(vktest::ProfileValue(passwd.c_str(), "Server", "ServerName"), "VESK");
}

TEST_F(ConfigTest, SetupRefusesAMissingOrTooDeepRootAndReportsDirectoryFailures) {
  for (const char* root : {static_cast<const char*>(nullptr), ""}) EXPECT_EQ(bSetupMHSDirs(root), 0);
  EXPECT_EQ(bSetupMHSDirs(root_.Join("missing").c_str()), 0);
  EXPECT_FALSE(fs::exists(root_.Join("missing")));
  std::string deep = root_.path();
  while (deep.size() < 110) deep += kSep + "dddddddddd";
  fs::create_directories(deep);
  EXPECT_EQ(bSetupMHSDirs(deep.c_str()), 0);
  EXPECT_FALSE(fs::exists(deep + kSep + "MHS"));
  // MHS cannot be made where a plain file holds its name.
  ASSERT_TRUE(WriteWholeFile(root_.Join("MHS"), "in the way"));
  EXPECT_EQ(bSetupMHSDirs(root_.path().c_str()), 8);
  // PARCEL cannot be made: the directories before it stay.
  fs::remove(root_.Join("MHS"));
  fs::create_directories(Mail());
  ASSERT_TRUE(WriteWholeFile(Mail() + "PARCEL", "in the way"));
  EXPECT_EQ(bSetupMHSDirs(root_.path().c_str()), 8);
  EXPECT_TRUE(fs::is_directory(Mail() + "SND"));
  EXPECT_EQ(vktest::ProfileValue(nullptr, "MAIL", "IsVeskAdmin"), "");
}

}  // namespace
