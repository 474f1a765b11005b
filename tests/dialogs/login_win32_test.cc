// The real login dialog under Windows, driven from a second thread as a
// user would: the template built in memory (the test program has no
// resources of its own), typed into with the system's edit controls.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "dialogs/login.h"
#include "support/test_support.h"
#include "vkmsg/vkmsg.h"

namespace {

struct Find {
  HWND dialog = nullptr;
};

BOOL CALLBACK FindDialog(HWND w, LPARAM l) {
  char cls[16] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(w) && GetDlgItem(w, IDOK)) {
    reinterpret_cast<Find*>(l)->dialog = w;
    return FALSE;
  }
  return TRUE;
}

// Plays one dialog of `thread`: waits for it, runs `act`, and cancels it
// when it is still open after a few seconds, so the test cannot hang.
template <typename Act>
std::thread Player(DWORD thread, Act act, std::atomic<bool>* acted) {
  return std::thread([thread, act, acted] {
    Find f;
    for (int i = 0; i < 200 && !f.dialog; ++i) {
      EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&f));
      if (!f.dialog) Sleep(50);
    }
    if (!f.dialog) return;
    if (const char* hold = std::getenv("VKMSG_TEST_HOLD_MS")) Sleep(static_cast<DWORD>(std::atoi(hold)));
    act(f.dialog);
    *acted = true;
    for (int i = 0; i < 100 && IsWindow(f.dialog); ++i) Sleep(50);
    if (IsWindow(f.dialog)) PostMessageA(f.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
}

void Press(HWND d, int id) {
  PostMessageA(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
}

TEST(RealLoginDialog, TypedEntriesComeBackLowerCased) {
  vktest::ScratchDir dir;
  vktest::PrivateProfile profile(dir);
  vk_set_dialog_driver(nullptr, nullptr);
  std::atomic<bool> acted{false};
  std::atomic<bool> enabled_empty{true}, enabled_typed{false}, admin_visible{true};
  char caption[64] = "";
  std::thread player = Player(
      GetCurrentThreadId(),
      [&](HWND d) {
        GetWindowTextA(d, caption, sizeof caption);
        enabled_empty = IsWindowEnabled(GetDlgItem(d, IDOK)) != 0;
        admin_visible = IsWindowVisible(GetDlgItem(d, 1504)) != 0;
        SetDlgItemTextA(d, 1501, "Carol");
        SetDlgItemTextA(d, 1502, "Secret");
        enabled_typed = IsWindowEnabled(GetDlgItem(d, IDOK)) != 0;
        Press(d, IDOK);
      },
      &acted);
  char name[66] = "";
  char password[34] = "";
  int result = vk::LoginDialog(nullptr, 1001, name, password);
  player.join();
  ASSERT_TRUE(acted) << "the dialog did not appear";
  EXPECT_STREQ(caption, "Please Login");
  EXPECT_FALSE(enabled_empty);
  EXPECT_TRUE(enabled_typed);
  EXPECT_FALSE(admin_visible);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(name, "carol");
  EXPECT_STREQ(password, "secret");
}

}  // namespace
#endif
