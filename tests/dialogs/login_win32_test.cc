// The real login, administrator prompt, change password and administer
// users dialogs under Windows, each driven from a second thread as a user
// would (the system's controls typed into and pressed through window
// messages) and pictured in screenshots/ for a person to look at.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "dialogs/admin.h"
#include "dialogs/login.h"
#include "dialogs/password.h"
#include "dialogs/win32_shot.h"
#include "support/mail_tree.h"
#include "users/registry.h"

namespace {

BOOL CALLBACK FindDialog(HWND w, LPARAM found) {
  char cls[16] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(w) || !GetDlgItem(w, IDOK)) return TRUE;
  *reinterpret_cast<HWND*>(found) = w;
  return FALSE;
}

// A press handled before it returns (Send), or posted as the last one.
void Press(HWND d, int id, bool last = false, int code = BN_CLICKED) {
  WPARAM w = MAKEWPARAM(id, code);
  LPARAM control = reinterpret_cast<LPARAM>(GetDlgItem(d, id));
  last ? void(PostMessageA(d, WM_COMMAND, w, control)) : void(SendMessageA(d, WM_COMMAND, w, control));
}
std::string Text(HWND d, int id) {
  char buf[256] = "";
  id == -1 ? GetWindowTextA(d, buf, sizeof buf) : GetDlgItemTextA(d, id, buf, sizeof buf);
  return buf;
}
char On(HWND d, int id, char c) {
  return IsWindowVisible(GetDlgItem(d, id)) && IsWindowEnabled(GetDlgItem(d, id)) ? c : '-';
}
void Shoot(HWND d, const char* name, std::string* seen) {
  Sleep(300);  // let the dialog paint what it was sent
  if (!vktest::SaveWindowPng(d, name)) *seen += " (no picture)";
}

class RealDialogs : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"bob", "bobpass"}}));
    vk_set_dialog_driver(nullptr, nullptr);
  }
};

TEST_F(RealDialogs, EachDialogPlayedAsAUserWould) {
  const struct {
    const char* name;
    std::function<std::string()> open;  // on this thread: the outcome
    std::function<void(HWND, std::string*)> act;
    const char* expected;  // outcome | what the player saw
  } cases[] = {
      {"login",
       [] {
         char name[66] = "", password[34] = "";
         return std::to_string(vk::LoginDialog(nullptr, 1001, name, password)) + " " + name + " " + password;
       },
       [](HWND d, std::string* seen) {
         *seen += Text(d, -1) + On(d, 1504, 'A') + On(d, IDOK, 'L');
         SetDlgItemTextA(d, 1501, "Carol");
         SetDlgItemTextA(d, 1502, "Secret");
         *seen += On(d, IDOK, 'L');
         Shoot(d, "login", seen);
         Press(d, IDOK, true);
       },
       "1 carol secret | Please LoginA-L"},
      {"admin_prompt", [] { return std::to_string(vk::AskAdminPassword(nullptr)); },
       [](HWND d, std::string* seen) {
         *seen += Text(d, -1);
         SetDlgItemTextA(d, 1502, "ZIRVA");
         Shoot(d, "admin_prompt", seen);
         Press(d, IDOK, true);
       },
       "1 | Please provide Admin password"},
      {"change_password",
       [] {
         const char* p = vk::ChangePasswordDialog(nullptr, "bob", vk::SetUserPassword);
         return std::string(p ? p : "null") + (bCheckPW("bob", "newpass") ? " stored" : "");
       },
       [](HWND d, std::string* seen) {
         SetDlgItemTextA(d, 1550, "wrong");
         Press(d, IDOK);
         *seen += Text(d, 1553);
         for (int id : {1550, 1551, 1552}) SetDlgItemTextA(d, id, id == 1550 ? "bobpass" : "newpass");
         Shoot(d, "change_password", seen);
         Press(d, IDOK, true);
       },
       "newpass stored | The old password was not correct"},
      {"administer_users",
       [] {
         vk::AdministerUsersDialog(nullptr);
         return std::string(bCheckPW("carl", "carl") ? "carl added" : "");
       },
       [](HWND d, std::string* seen) {
         *seen += On(d, 1603, 'A');
         SetDlgItemTextA(d, 1601, "Carl");
         *seen += On(d, 1603, 'A');
         Press(d, 1603);
         *seen += std::to_string(SendDlgItemMessageA(d, 1600, LB_GETCOUNT, 0, 0)) + " " + Text(d, 1607);
         SendDlgItemMessageA(d, 1600, LB_SETSEL, TRUE, 0);
         Press(d, 1600, false, LBN_SELCHANGE);
         SetDlgItemTextA(d, 1602, "pw");
         *seen += " " + Text(d, 1601) + On(d, 1604, 'R') + On(d, 1605, 'W');
         Shoot(d, "administer_users", seen);
         Press(d, IDOK, true);
       },
       "carl added | -A2 The user was added bobRW"},
  };
  for (const auto& c : cases) {
    std::atomic<bool> acted{false};
    std::string seen;
    // Waits for the dialog, plays it, and cancels it when it is still open
    // after a few seconds, so the test cannot hang.
    std::thread player([&, thread = GetCurrentThreadId()] {
      HWND d = nullptr;
      for (int i = 0; i < 200 && !d; ++i) {
        EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&d));
        if (!d) Sleep(50);
      }
      if (!d) return;
      c.act(d, &seen);
      acted = true;
      for (int i = 0; i < 100 && IsWindow(d); ++i) Sleep(50);
      if (IsWindow(d)) PostMessageA(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    std::string outcome = c.open();
    player.join();
    ASSERT_TRUE(acted) << c.name << ": the dialog did not appear";
    EXPECT_EQ(outcome + " | " + seen, c.expected) << c.name;
  }
}

}  // namespace
#endif
