// The login dialog through its entry and the automation interface.
#include "dialogs/login.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dialogs/dialog_test_util.h"
#include "support/test_support.h"

namespace {

using vktest::DialogText;
using vktest::ScopedDriver;

class LoginDialogTest : public ::testing::Test {
 protected:
  // Buffers as the logon passes them.
  char name_[66] = "";
  char password_[34] = "";
  vktest::ScratchDir dir_;
  vktest::PrivateProfile profile_{dir_};
};

TEST_F(LoginDialogTest, LoginNeedsANameAndHandsBackTheFieldsInSmallLetters) {
  std::strcpy(name_, "Bob");
  std::strcpy(password_, "OldPW");
  const std::string typed(40, 'P');
  ScopedDriver driver([&](VkDialog* d) {
    EXPECT_EQ(DialogText(d, -1), "Please Login");
    EXPECT_EQ(DialogText(d, 1501), "Bob");
    EXPECT_EQ(DialogText(d, 1502), "OldPW");
    // Login is enabled exactly while a name is typed.
    EXPECT_EQ(vk_dialog_set_text(d, 1501, ""), 1);
    EXPECT_EQ(vk_dialog_is_enabled(d, 1), 0);
    EXPECT_EQ(vk_dialog_click(d, 1), 0);
    // The fields take 8 and 32 characters.
    EXPECT_EQ(vk_dialog_set_text(d, 1501, "CARL_1ABCDEF"), 1);
    EXPECT_EQ(vk_dialog_is_enabled(d, 1), 1);
    vk_dialog_set_text(d, 1502, typed.c_str());
    EXPECT_EQ(DialogText(d, 1501), "CARL_1AB");
    EXPECT_EQ(DialogText(d, 1502), std::string(32, 'P'));
    EXPECT_EQ(vk_dialog_click(d, 1), 1);
  });
  EXPECT_EQ(vk::LoginDialog(nullptr, 1006, name_, password_), 1);
  EXPECT_STREQ(name_, "carl_1ab");
  EXPECT_EQ(std::string(password_), std::string(31, 'p'));  // the buffer's 31
}

}  // namespace
