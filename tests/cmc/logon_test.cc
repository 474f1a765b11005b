// Logon and logoff against a mail tree made with the library's own setup,
// with the login dialog played by a driver.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cmc/session.h"
#include "platform/profile.h"
#include "store/config.h"
#include "support/mail_tree.h"

namespace {

namespace fs = std::filesystem;

class Logon : public vktest::MailTreeTest {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(MakeTree({{"bob", "secret"}, {"ann", "pw"}})); }
};

TEST_F(Logon, NamedUserStillSeesThePrefilledDialog) {
  // With a wrong password only the one dialog.
  login_.Script({{nullptr, nullptr, 1}, {nullptr, "secret", 1}});
  EXPECT_EQ(LogOn("bob", "nope"), CMC_E_PASSWORD_REQUIRED);
  EXPECT_EQ(login_.seen().size(), 1u);
  EXPECT_EQ(session_, 0xDEADu);
  login_.Script({{nullptr, nullptr, 1}});
  ASSERT_EQ(LogOn("bob", "secret"), CMC_SUCCESS);
  EXPECT_EQ(session_, 1u);
  ASSERT_EQ(login_.seen().size(), 1u);
  EXPECT_EQ(login_.seen()[0].template_id, 1001);  // setup made this an administrator workstation
  EXPECT_EQ(login_.seen()[0].name, "bob");
  EXPECT_EQ(login_.seen()[0].password, "secret");
  EXPECT_EQ(vktest::ProfileValue(nullptr, "MAIL", "MHS_USER"), "bob");
  EXPECT_STREQ(vk::SessionUserName(), "bob");
  EXPECT_EQ(vk::DirExists(vk::g_mail_config.user_dir), 1);
  EXPECT_NE(std::string(vk::g_mail_config.user_dir).find("bob"), std::string::npos);
  // A second logon hands back the session without a dialog, whoever asks.
  login_.Script({});
  EXPECT_EQ(LogOn("ann", "pw"), CMC_SUCCESS);
  EXPECT_EQ(session_, 1u);
  EXPECT_TRUE(login_.seen().empty());
  EXPECT_STREQ(vk::SessionUserName(), "bob");
}

TEST_F(Logon, WithoutUserTheLastUserIsOfferedAndTwoChancesAreGiven) {
  vk::PlatWriteProfileString(nullptr, "MAIL", "MHS_USER", "ann");
  login_.Script({{nullptr, "wrong", 1}, {nullptr, "worse", 1}});
  EXPECT_EQ(LogOn(nullptr, nullptr), CMC_E_PASSWORD_REQUIRED);
  ASSERT_EQ(login_.seen().size(), 2u);
  EXPECT_EQ(login_.seen()[0].name, "ann");
  EXPECT_EQ(login_.seen()[0].password, "");
  EXPECT_EQ(login_.seen()[1].name, "ann");
  EXPECT_EQ(vk::Session().session_id, 0u);
  EXPECT_EQ(vk::g_mail_config.user_dir[0], '\0');
  login_.Script({{nullptr, "wrong", 1}, {nullptr, "pw", 1}});
  EXPECT_EQ(LogOn("", ""), CMC_SUCCESS);
  EXPECT_EQ(login_.seen().size(), 2u);
  EXPECT_STREQ(vk::SessionUserName(), "ann");
}

TEST_F(Logon, CancelOrAMissingMailboxEndsTheLogon) {
  login_.Script({{"bob", "secret", 2}});
  EXPECT_EQ(LogOn(nullptr, nullptr), CMC_E_USER_CANCEL);
  login_.Script({{nullptr, nullptr, 2}});
  EXPECT_EQ(LogOn("bob", "secret"), CMC_E_USER_CANCEL);
  EXPECT_EQ(vk::Session().session_id, 0u);
  EXPECT_EQ(vk::g_mail_config.user_dir[0], '\0');
  EXPECT_EQ(vktest::ProfileValue(nullptr, "MAIL", "MHS_USER"), "");
#ifndef _WIN32
  // Without any driver every POSIX dialog is cancelled (on Windows the real
  // dialog would wait for a user).
  vk_set_dialog_driver(nullptr, nullptr);
  EXPECT_EQ(LogOn("bob", "secret"), CMC_E_USER_CANCEL);
  login_.Install();
#endif
  std::error_code ec;
  fs::remove_all(Mailbox("bob"), ec);
  ASSERT_FALSE(fs::exists(Mailbox("bob")));
  login_.Script({{nullptr, nullptr, 1}});
  EXPECT_EQ(LogOn("bob", "secret"), CMC_E_PASSWORD_REQUIRED);
  EXPECT_EQ(vk::Session().session_id, 0u);
  // Without a mail tree nothing is left to log on to: no login dialog.
  vk::PlatWriteProfileString(nullptr, "Mail", "VeskMailPath", nullptr);
  vk::UnloadConfig();
  login_.Script({{nullptr, nullptr, 1}});
  EXPECT_EQ(LogOn("bob", "secret"), CMC_E_USER_CANCEL);
  EXPECT_FALSE(vk::ConfigLoaded());
  EXPECT_EQ(login_.LoginsSeen(), 0);
}

TEST_F(Logon, LogoffEndsTheSessionAndManyLogonsReuseOneUserNameBlock) {
  login_.Script({{nullptr, nullptr, 1}});
  ASSERT_EQ(LogOn("bob", "secret"), CMC_SUCCESS);
  const char* block = vk::Session().user_name_copy;
  const unsigned char* next = vk::Session().pool.next;
  EXPECT_EQ(cmc_logoff(2, 0, 0, nullptr), CMC_E_INVALID_SESSION_ID);
  EXPECT_EQ(cmc_logoff(1, 0, 0xFFFFFFFF, nullptr), CMC_SUCCESS);  // flags are not checked
  EXPECT_EQ(vk::Session().session_id, 0u);
  EXPECT_FALSE(vk::ConfigLoaded());
  EXPECT_STREQ(vk::SessionUserName(), "");
  EXPECT_EQ(vk::g_mail_config.user_dir[0], '\0');
  EXPECT_EQ(cmc_logoff(1, 0, 0, nullptr), CMC_E_INVALID_SESSION_ID);
  for (int i = 0; i < 12; ++i) {
    const char* user = i % 2 ? "bob" : "ann";
    login_.Script({{nullptr, nullptr, 1}});
    ASSERT_EQ(LogOn(user, i % 2 ? "secret" : "pw"), CMC_SUCCESS) << i;
    EXPECT_STREQ(vk::SessionUserName(), user);
    EXPECT_EQ(vk::Session().user_name_copy, block);
    ASSERT_EQ(cmc_logoff(1, 0, 0, nullptr), CMC_SUCCESS);
  }
  EXPECT_EQ(vk::Session().pool.next, next);
  EXPECT_EQ(block[0], '\0');  // logoff cleared the name
}

TEST_F(Logon, SessionPointerVersionAndExtensionsAreCheckedBeforeTheDialog) {
  EXPECT_EQ(cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, 100, 0xFFFFFFFF, nullptr, nullptr),
            CMC_E_INVALID_PARAMETER);
  EXPECT_FALSE(vk::ConfigLoaded());
  // The version only after the configuration is loaded.
  login_.Script({{nullptr, nullptr, 1}});
  EXPECT_EQ(LogOn("bob", "secret", nullptr, 101), CMC_E_UNSUPPORTED_VERSION);
  EXPECT_TRUE(vk::ConfigLoaded());
  CMC_extension bad = {CMC_X_COM_SUPPORT_EXT, 1, nullptr, CMC_EXT_LAST_ELEMENT};
  EXPECT_EQ(LogOn("bob", "secret", &bad), CMC_E_INVALID_PARAMETER);
  EXPECT_TRUE(login_.seen().empty());
  EXPECT_EQ(vk::Session().session_id, 0u);
  // The error text is not answered at logon.
  X_error_text_request request = {7, nullptr, 77};
  CMC_extension ext = {X_ERROR_TEXT, 0, &request, CMC_EXT_LAST_ELEMENT};
  EXPECT_EQ(LogOn("bob", "secret", &ext), CMC_SUCCESS);
  EXPECT_EQ(request.size + request.code, 84u);
}

}  // namespace
