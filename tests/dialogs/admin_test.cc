// The administrator prompt, the administer users dialog and the change
// password dialog, played through the automation interface on a real tree.
#include "dialogs/admin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/dialog_test_util.h"
#include "dialogs/login.h"
#include "platform/profile.h"
#include "support/mail_tree.h"

namespace {

using vktest::DialogText;
using vktest::ScopedDriver;

// One user action: type (t), click (c), select (s) or double-click (d) a
// list item by its text.
struct Step {
  char op;
  int id;
  const char* text;
};
using Script = std::vector<Step>;

void Play(VkDialog* d, const Script& script) {
  for (const Step& s : script) {
    int item = -1;
    for (int i = 0; i < vk_dialog_list_count(d, s.id); ++i) {
      if (s.text && DialogText(d, s.id, i) == s.text) item = i;
    }
    int done = s.op == 't'   ? vk_dialog_set_text(d, s.id, s.text)
               : s.op == 'c' ? vk_dialog_click(d, s.id)
               : s.op == 's' ? vk_dialog_list_select(d, s.id, item, 1)
                             : vk_dialog_list_double_click(d, s.id, item);
    ASSERT_EQ(done, 1) << s.op << " " << s.id << " " << (s.text ? s.text : "");
  }
}

// The administer dialog as the user sees it: the enabled buttons (Add,
// Remove, Change Password), the name field, the list and the status line.
std::string Shown(VkDialog* d) {
  std::string out;
  for (auto b : {std::pair<int, char>{1603, 'A'}, {1604, 'R'}, {1605, 'W'}})
    out += vk_dialog_is_enabled(d, b.first) ? b.second : '-';
  out += " [" + DialogText(d, 1601) + "] ";
  for (int i = 0; i < vk_dialog_list_count(d, 1600); ++i)
    out += DialogText(d, 1600, i) + (vk_dialog_list_is_selected(d, 1600, i) ? "* " : " ");
  return out + "| " + DialogText(d, 1607);
}

class AdminDialogs : public vktest::MailTreeTest {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(MakeTree({{"ann", "annpass"}, {"bob", "bobpass"}})); }
  // Plays `script` in the administer dialog and answers what it shows then.
  std::string Administer(const Script& script) {
    std::string shown;
    ScopedDriver driver([&](VkDialog* d) {
      Play(d, script);
      shown = Shown(d);
    });
    vk::AdministerUsersDialog(nullptr);
    EXPECT_EQ(driver.calls(), 1);
    return shown;
  }
};

TEST_F(AdminDialogs, EnablingFollowsTheFieldsAndTheSelection) {
  const struct {
    Script script;
    const char* shown;
  } cases[] = {
      {{}, "--- [] ann bob | "},
      {{{'t', 1601, "carl"}}, "A-- [carl] ann bob | "},
      {{{'t', 1601, "ANN"}}, "--- [ANN] ann bob | "},
      {{{'t', 1601, "ann"}, {'t', 1602, "x"}}, "--W [ann] ann bob | "},
      {{{'t', 1601, "admin"}}, "A-- [admin] ann bob | "},  // never listed
      {{{'s', 1600, "bob"}}, "-R- [bob] ann bob* | "},
      {{{'s', 1600, "bob"}, {'t', 1602, "pw"}}, "-RW [bob] ann bob* | "},
      {{{'s', 1600, "bob"}, {'s', 1600, "ann"}}, "-R- [] ann* bob* | "},
      {{{'s', 1600, "bob"}, {'t', 1601, "bo"}}, "A-- [bo] ann bob | "},
      {{{'d', 1600, "ann"}}, "--- [] ann bob | "},
  };
  for (const auto& c : cases) EXPECT_EQ(Administer(c.script), c.shown) << c.shown;
}

TEST_F(AdminDialogs, AddRemoveAndChangePassword) {
  const struct {
    Script script;
    const char* shown;
    const char* user;  // then logs on with
    const char* password;
  } cases[] = {
      // clang-format off
      {{{'t', 1601, "Carl_9"}, {'c', 1603, nullptr}}, "--- [] ann bob carl_9 | The user was added", "carl_9", "carl_9"},
      {{{'t', 1601, "Dan"}, {'t', 1602, "Secret"}, {'c', 1603, nullptr}}, "--- [] ann bob carl_9 dan | The user was added", "dan", "secret"},
      {{{'t', 1601, "Eve-x"}, {'c', 1603, nullptr}}, "A-- [eve] ann bob carl_9 dan | ", nullptr, nullptr},
      {{{'s', 1600, "bob"}, {'t', 1602, "newpass"}, {'c', 1605, nullptr}}, "-R- [bob] ann bob* carl_9 dan | The password was changed", "bob", "newpass"},
      {{{'s', 1600, "ann"}, {'s', 1600, "dan"}, {'c', 1604, nullptr}}, "--- [] bob carl_9 | The selected users were removed", nullptr, nullptr},
      {{{'t', 1601, "admin"}, {'t', 1602, "other"}, {'c', 1603, nullptr}}, "--- [] bob carl_9 | The user was added", "admin", "other"},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Administer(c.script), c.shown);
    if (c.user) {
      EXPECT_EQ(bCheckPW(c.user, c.password), 1) << c.user;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(UserDir("ann")));
  EXPECT_FALSE(std::filesystem::exists(UserDir("eve")));
  EXPECT_EQ(bCheckPW("dan", "secret"), 0);
  // The login dialog could never take a longer name.
  EXPECT_EQ(bAddUser("ninechars", "x"), 0);
  EXPECT_EQ(bAddUser("eightchr", "x"), 1);
}

TEST_F(AdminDialogs, LoginTakesEightAndThirtyOneCharactersInSmallLetters) {
  char name[66] = "Bob", password[34] = "OldPW";
  ScopedDriver driver([&](VkDialog* d) {
    EXPECT_EQ(DialogText(d, -1) + DialogText(d, 1501) + DialogText(d, 1502), "Please LoginBobOldPW");
    // Login is enabled exactly while a name is typed.
    EXPECT_EQ(vk_dialog_set_text(d, 1501, "") + vk_dialog_is_enabled(d, 1) + vk_dialog_click(d, 1), 1);
    EXPECT_EQ(vk_dialog_set_text(d, 1501, "CARL_1ABCDEF") + vk_dialog_is_enabled(d, 1), 2);
    vk_dialog_set_text(d, 1502, std::string(40, 'P').c_str());
    EXPECT_EQ(DialogText(d, 1501) + " " + DialogText(d, 1502), "CARL_1AB " + std::string(32, 'P'));
    EXPECT_EQ(vk_dialog_click(d, 1), 1);
  });
  EXPECT_EQ(vk::LoginDialog(nullptr, 1006, name, password), 1);
  EXPECT_EQ(std::string(name) + " " + password, "carl_1ab " + std::string(31, 'p'));
}

// The login dialog's two side doors: the administrator prompt, then the
// administer dialog only for admin's password; the change password dialog
// with its refusals.
TEST_F(AdminDialogs, SideDoorsOfTheLoginDialog) {
  ASSERT_TRUE(vk::PlatWriteProfileString(nullptr, "MAIL", "IsVeskAdmin", "1"));
  const std::string x32(32, 'x');
  const struct {
    int door;
    Script script;      // in the dialog behind it
    const char* after;  // its status line then, or the dialogs it opened
  } cases[] = {
      // clang-format off
      {1504, {{'c', 2, nullptr}}, "1001 1007"},
      {1504, {{'t', 1502, "wrong"}, {'c', 1, nullptr}}, "1001 1007"},
      {1504, {{'t', 1502, "ZIRVA"}, {'c', 1, nullptr}}, "1001 1007 1005"},
      {1503, {{'t', 1550, "nope"}, {'c', 1, nullptr}}, "The old password was not correct"},
      {1503, {{'t', 1550, "BOBPASS"}, {'t', 1551, "abcdef"}, {'t', 1552, "abcdeg"}, {'c', 1, nullptr}}, "The new passwords do not match"},
      {1503, {{'t', 1550, "bobpass"}, {'t', 1551, "abcde"}, {'t', 1552, "abcde"}, {'c', 1, nullptr}}, "The new password is too short (at least 6 chars)"},
      {1503, {{'t', 1550, "bobpass"}, {'t', 1551, x32.c_str()}, {'t', 1552, x32.c_str()}, {'c', 1, nullptr}}, "The new passwords do not match"},
      {1503, {{'t', 1550, "bobpass"}, {'t', 1551, "Abcdef"}, {'t', 1552, "aBCDEF"}, {'c', 1, nullptr}}, "closed"},
      // clang-format on
  };
  for (const auto& c : cases) {
    std::string after;
    ScopedDriver driver([&](VkDialog* d) {
      int t = vk_dialog_template(d);
      if (c.door == 1504) after += (after.empty() ? "" : " ") + std::to_string(t);
      if (t == 1001) {
        vk_dialog_set_text(d, 1501, "bob");
        vk_dialog_click(d, c.door);
        EXPECT_EQ(DialogText(d, 1501), "bob");  // the login stays as it was
      } else if (t != 1005) {
        // Runs nest: the prompt's state is current, the login's before it.
        if (t == 1007) {
          EXPECT_EQ(vk::CurrentLoginDialog()->previous->template_id, 1001);
        }
        Play(d, c.script);
        if (c.door == 1503) after = vk_dialog_is_open(d) ? DialogText(d, 1553) : "closed";
      }
    });
    char name[66] = "", password[34] = "";
    EXPECT_EQ(vk::LoginDialog(nullptr, 1001, name, password), 0);
    EXPECT_EQ(after, c.after);
  }
  EXPECT_EQ(bCheckPW("bob", "ABCDEF"), 1);
}

}  // namespace
