#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/file.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "store/config.h"
#include "support/test_support.h"
#include "users/registry.h"
#include "vkmsg/vkmsg.h"

namespace fs = std::filesystem;
using vktest::FileExists;
using vktest::PrivateProfile;
using vktest::ScratchDir;
using vktest::WriteWholeFile;

namespace {

const std::string kSep(1, vk::kPathSep);

std::string Read(const char* file, const char* section, const char* key) {
  char buf[256];
  vk::PlatGetProfileString(file, section, key, "", buf, sizeof buf);
  return buf;
}

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    vk::UnloadConfig();
    vk::SetCachedUserList(nullptr);
    std::memset(&vk::g_mail_config, 0, sizeof vk::g_mail_config);
  }
  std::string Mail() const { return root_.path() + kSep + "MHS" + kSep + "MAIL" + kSep; }

  ScratchDir profile_dir_;
  PrivateProfile profile_{profile_dir_};
  ScratchDir root_;
};

TEST_F(SetupTest, CreatesTheWholeTree) {
  ASSERT_EQ(bSetupMHSDirs(root_.path().c_str()), 1);
  std::string mail = Mail();
  for (const char* d : {"", "PUBLIC", "USERS", "SND", "PARCEL"}) {
    EXPECT_TRUE(fs::is_directory(mail + d)) << d;
  }
  std::string passwd = mail + "PUBLIC" + kSep + "passwd";
  ASSERT_TRUE(FileExists(passwd));
#ifdef _WIN32
  EXPECT_NE(vk::PlatGetAttributes(passwd.c_str()) & vk::kAttrHidden, 0u);
#endif

  EXPECT_EQ(Read(nullptr, "MAIL", "IsVeskAdmin"), "1");
  EXPECT_EQ(isVeskMsgDir(root_.path().c_str()), 1);

  // The administrator is registered with its directories.
  EXPECT_FALSE(Read(passwd.c_str(), "Passwords", "admin").empty());
  std::string admin = mail + "USERS" + kSep + "admin" + kSep;
  EXPECT_TRUE(fs::is_directory(admin + "MHS"));
  EXPECT_TRUE(fs::is_directory(admin + "IPARCEL"));

  // The workstation now finds the tree by itself.
  Reset();
  ASSERT_EQ(vk::LoadConfig(), 0);
  EXPECT_EQ(vk::PlatCompareNoCase(vk::g_mail_config.mail_dir, mail.c_str()), 0);
  EXPECT_STREQ(vk::g_mail_config.server_name, "VESK");
}

TEST_F(SetupTest, RunningAgainKeepsTheRegistry) {
  ASSERT_EQ(bSetupMHSDirs((root_.path() + kSep).c_str()), 1);
  std::string passwd = Mail() + "PUBLIC" + kSep + "passwd";
  vk::PlatWriteProfileString(passwd.c_str(), "Passwords", "bob", "something");
  vk::PlatWriteProfileString(passwd.c_str(), nullptr, nullptr, nullptr);
  Reset();
  ASSERT_EQ(bSetupMHSDirs(root_.path().c_str()), 1);
  EXPECT_EQ(Read(passwd.c_str(), "Passwords", "bob"), "something");
  EXPECT_EQ(Read(passwd.c_str(), "Server", "ServerName"), "VESK");
}

TEST_F(SetupTest, RefusesAMissingRootAndReportsDirectoryFailures) {
  EXPECT_EQ(bSetupMHSDirs(nullptr), 0);
  EXPECT_EQ(bSetupMHSDirs(""), 0);
  EXPECT_EQ(bSetupMHSDirs(root_.Join("missing").c_str()), 0);
  EXPECT_FALSE(fs::exists(root_.Join("missing")));

  // MHS cannot be made where a plain file holds its name.
  ASSERT_TRUE(WriteWholeFile(root_.Join("MHS"), "in the way"));
  EXPECT_EQ(bSetupMHSDirs(root_.path().c_str()), 8);
  EXPECT_EQ(Read(nullptr, "MAIL", "IsVeskAdmin"), "");

  // PARCEL cannot be made: the directories before it stay.
  fs::remove(root_.Join("MHS"));
  fs::create_directories(Mail());
  ASSERT_TRUE(WriteWholeFile(Mail() + "PARCEL", "in the way"));
  EXPECT_EQ(bSetupMHSDirs(root_.path().c_str()), 8);
  EXPECT_TRUE(fs::is_directory(Mail() + "SND"));
  EXPECT_EQ(Read(nullptr, "MAIL", "IsVeskAdmin"), "");
}

TEST_F(SetupTest, RefusesARootTooLongForTheTreesPaths) {
  std::string deep = root_.path();
  while (deep.size() < 110) deep += kSep + "dddddddddd";
  fs::create_directories(deep);
  EXPECT_EQ(bSetupMHSDirs(deep.c_str()), 0);
  EXPECT_FALSE(fs::exists(deep + kSep + "MHS"));
}

}  // namespace
