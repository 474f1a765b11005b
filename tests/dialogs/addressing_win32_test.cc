// The real select-users, name entry, compose, locate and setup dialogs under
// Windows, each played from a second thread through window messages and
// pictured as <template>.png.  The compose text takes every key; it and the
// recipients share a normal-weight copy of the dialog's font.  The locate
// dialog is the system's browser: it starts in an empty directory, walks up
// into the tree and back, and sets up a tree there.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "address/compose.h"
#include "dialogs/locate.h"
#include "dialogs/resources.h"
#include "address/select_users.h"
#include "store/namelist.h"
#include "dialogs/win32_shot.h"
#include "support/mail_tree.h"

namespace {

// The dialog of template `id`, found by its caption once it shows.
HWND WaitDialog(int id) {
  for (int i = 0; i < 200; ++i, Sleep(50)) {
    HWND d = FindWindowA("#32770", vk::FindDialogTemplate(id)->caption);
    if (d && IsWindowVisible(d)) return d;
  }
  return nullptr;
}

void Cmd(HWND d, int id, int code, bool post = false) {
  const WPARAM w = MAKEWPARAM(id, code);
  const LPARAM l = reinterpret_cast<LPARAM>(GetDlgItem(d, id));
  post ? PostMessageA(d, WM_COMMAND, w, l) : static_cast<BOOL>(SendMessageA(d, WM_COMMAND, w, l));
}
bool On(HWND d, int id) { return IsWindowEnabled(GetDlgItem(d, id)) != 0; }
HGDIOBJ FontOf(HWND d, int id) { return reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(d, id, WM_GETFONT, 0, 0)); }

class RealAddressing : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"ann", "pw"}, {"bob", "pw"}}));
    ASSERT_EQ(LogOnAs("bob", "pw"), CMC_SUCCESS);
    vk_set_dialog_driver(nullptr, nullptr);
  }
};

TEST_F(RealAddressing, EachDialogPlayedAndPictured) {
  NameList* all = vk::AddName(vk::CreateNameList(8, 512), "carl", 0);
  NameList* chosen = nullptr;
  char name[64] = "zed@far", buffer[128] = "";
  const std::string share = dir_.Join("Share");
  ASSERT_TRUE(CreateDirectoryA(share.c_str(), nullptr));
  share.copy(buffer, sizeof buffer - 1);
  vk::ResultPool pool{};
  vk::PoolInit(&pool, 4096);
  CMC_message m{};
  std::string seen;  // what the player saw, in turn
  struct {
    int id;
    std::function<int()> open;
    std::function<void(HWND)> play;
    int close = IDOK;
  } cases[] = {
      {1000, [&] { return (chosen = vk::SelectUsersDialog(nullptr, 1000, all, nullptr)) ? chosen->count : -1; },
       [&](HWND d) {
         SendDlgItemMessageA(d, 1438, LB_SETSEL, TRUE, 0);
         Cmd(d, 1438, LBN_SELCHANGE);
         seen += On(d, 1440) && !On(d, 1441) ? "include " : "? ";
         Cmd(d, 1440, BN_CLICKED);
       }},
      {1020, [&] { return vk::AddressBookNameDialog(nullptr, name); },
       [&](HWND d) { SetDlgItemTextA(d, 1021, "zoe@near"); }},
      {1002, [&] { return vk::ComposeDialog(nullptr, 1002, &pool, &m) == CMC_SUCCESS && m.recipients; },
       [&](HWND d) {
         LOGFONTA font{};
         GetObjectA(FontOf(d, 1604), sizeof font, &font);
         // The text field's own procedure answers for every key, the subject's does not.
         auto proc = [&](int id) { return GetWindowLongPtrA(GetDlgItem(d, id), GWLP_WNDPROC); };
         seen += SendDlgItemMessageA(d, 1604, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS && proc(1604) != proc(1603)
                     ? "keys "
                     : "? ";
         seen += font.lfWeight == FW_NORMAL && FontOf(d, 1605) == FontOf(d, 1604) && FontOf(d, 1603) != FontOf(d, 1604)
                     ? "normal "
                     : "? ";
         seen += On(d, IDOK) ? "? " : "waits ";
         Cmd(d, 1601, BN_CLICKED, true);
         HWND pick = WaitDialog(1000);
         SendDlgItemMessageA(pick, 1438, LB_SETSEL, TRUE, 0);
         Cmd(pick, 1438, LBN_DBLCLK);
         Cmd(pick, IDOK, BN_CLICKED);
         for (int i = 0; i < 100 && IsWindow(pick); ++i) Sleep(50);
         seen += std::to_string(SendDlgItemMessageA(d, 1605, LB_GETCOUNT, 0, 0)) + " ";
       }},
      {1010, [&] { return vk::ConfirmSetup(nullptr, "C:\\SHARE\\"); }, [&](HWND) {}, IDCANCEL},
      {1008, [&] { return bInitServerDlg(buffer, sizeof buffer); },
       [&](HWND d) {
         for (const char* into : {"[..]", "[share]", ""}) {
           seen += On(d, IDOK) ? (On(d, 1652) ? "both " : "tree ") : (On(d, 1652) ? "setup " : "none ");
           LRESULT at = SendDlgItemMessageA(d, 1121, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(into));
           if (*into && at != LB_ERR) SendDlgItemMessageA(d, 1121, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
           if (*into) Cmd(d, 1121, LBN_DBLCLK);
         }
       },
       1652},
  };
  for (const auto& c : cases) {
    std::thread player([&] {
      HWND d = WaitDialog(c.id);
      if (!d) return;
      c.play(d);
      RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
      Sleep(200);
      if (!vktest::SaveWindowPng(d, "addressing-" + std::to_string(c.id))) seen += " no picture";
      Cmd(d, c.close, BN_CLICKED, true);
      if (c.close == 1652) Cmd(WaitDialog(1010), IDOK, BN_CLICKED, true);  // Setup is confirmed
      for (int i = 0; i < 100 && IsWindow(d); ++i) Sleep(50);
      for (HWND left : {FindWindowA("#32770", vk::FindDialogTemplate(1000)->caption), d}) {
        if (IsWindow(left)) PostMessageA(left, WM_COMMAND, IDCANCEL, 0);
      }
    });
    EXPECT_EQ(c.open(), c.id != 1010) << c.id;
    player.join();
  }
  EXPECT_EQ(seen, "include keys normal waits 1 setup tree setup ");
  EXPECT_STREQ(name, "zoe@near");
  EXPECT_STREQ(m.recipients ? m.recipients[0].name : "", "ann");
  std::string want = share + "\\MHS\\MAIL\\";
  for (char& ch : want) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  EXPECT_EQ(buffer, want);
  for (NameList* l : {all, chosen}) vk::FreeNameList(l);
  vk::PoolReleaseBlock(pool.data);
}

}  // namespace
#endif
