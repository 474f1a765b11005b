// The real select-users, name entry, compose, locate and setup dialogs under
// Windows, each played from a second thread through window messages and
// pictured as <template>.png in the test's directory.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/compose.h"
#include "dialogs/locate.h"
#include "dialogs/resources.h"
#include "dialogs/select_users.h"
#include "store/namelist.h"
#include "support/mail_tree.h"

namespace {

using Bytes = std::vector<unsigned char>;

// The dialog of template `id`, found by its caption once it shows.
HWND WaitDialog(int id) {
  for (int i = 0; i < 200; ++i, Sleep(50)) {
    HWND d = FindWindowA("#32770", vk::FindDialogTemplate(id)->caption);
    if (d && IsWindowVisible(d)) return d;
  }
  return nullptr;
}

void Be32(Bytes& out, unsigned long v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}

void Chunk(Bytes& png, const char* type, const Bytes& data) {
  Be32(png, static_cast<unsigned long>(data.size()));
  size_t from = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  unsigned long crc = 0xFFFFFFFFul;
  for (size_t i = from; i < png.size(); ++i) {
    crc ^= png[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320ul & (0 - (crc & 1)));
  }
  Be32(png, crc ^ 0xFFFFFFFFul);
}

// The dialog as the screen shows it, as an RGB picture with stored blocks.
void Picture(HWND w, int template_id) {
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(200);
  RECT r;
  GetWindowRect(w, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  Bytes bgra(static_cast<size_t>(width) * height * 4), raw, z{0x78, 0x01}, head,
      png{0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  GetDIBits(mem, bmp, 0, static_cast<UINT>(height), bgra.data(), &bi, DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  for (size_t i = 0; i < bgra.size(); i += 4) {
    if (i % (static_cast<size_t>(width) * 4) == 0) raw.push_back(0);
    raw.insert(raw.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
  }
  unsigned long a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  for (size_t at = 0; at < raw.size(); at += 65535) {
    size_t n = std::min<size_t>(65535, raw.size() - at);
    z.insert(z.end(),
             {static_cast<unsigned char>(at + n == raw.size()), static_cast<unsigned char>(n),
              static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(~n), static_cast<unsigned char>(~n >> 8)});
    z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
  }
  Be32(z, (b << 16) | a);
  Be32(head, static_cast<unsigned long>(width));
  Be32(head, static_cast<unsigned long>(height));
  head.insert(head.end(), {8, 2, 0, 0, 0});
  Chunk(png, "IHDR", head);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  if (std::FILE* f = std::fopen((std::to_string(template_id) + ".png").c_str(), "wb")) {
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
  }
}

void Cmd(HWND d, int id, int code, bool post = false) {
  const WPARAM w = MAKEWPARAM(id, code);
  const LPARAM l = reinterpret_cast<LPARAM>(GetDlgItem(d, id));
  post ? PostMessageA(d, WM_COMMAND, w, l) : static_cast<BOOL>(SendMessageA(d, WM_COMMAND, w, l));
}
bool On(HWND d, int id) { return IsWindowEnabled(GetDlgItem(d, id)) != 0; }

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
  char name[64] = "zed@far", buffer[128] = "C:\\";
  vk::ResultPool pool{};
  vk::PoolInit(&pool, 4096);
  CMC_message m{};
  std::string seen;  // what the player saw, in turn
  struct {
    int id;
    std::function<int()> open;
    std::function<void(HWND)> play;
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
         seen += On(d, IDOK) ? "? " : "waits ";
         Cmd(d, 1601, BN_CLICKED, true);
         HWND pick = WaitDialog(1000);
         SendDlgItemMessageA(pick, 1438, LB_SETSEL, TRUE, 0);
         Cmd(pick, 1438, LBN_DBLCLK);
         Cmd(pick, IDOK, BN_CLICKED);
         for (int i = 0; i < 100 && IsWindow(pick); ++i) Sleep(50);
         seen += std::to_string(SendDlgItemMessageA(d, 1605, LB_GETCOUNT, 0, 0)) + " ";
       }},
      {1010, [&] { return vk::ConfirmSetup(nullptr, "C:\\SHARE\\"); }, [&](HWND) {}},
      {1008, [&] { return bInitServerDlg(buffer, sizeof buffer); },
       [&](HWND d) {
         seen += On(d, 1652) && !On(d, IDOK) ? "setup " : "? ";
         SetDlgItemTextA(d, 1088, dir_.path().c_str());
         seen += On(d, IDOK) && !On(d, 1652) ? "tree" : "?";
       }},
  };
  for (const auto& c : cases) {
    std::thread player([&] {
      HWND d = WaitDialog(c.id);
      if (!d) return;
      c.play(d);
      Picture(d, c.id);
      Cmd(d, c.id == 1010 ? IDCANCEL : IDOK, BN_CLICKED);
      for (int i = 0; i < 100 && IsWindow(d); ++i) Sleep(50);
      for (HWND left : {FindWindowA("#32770", vk::FindDialogTemplate(1000)->caption), d}) {
        if (IsWindow(left)) PostMessageA(left, WM_COMMAND, IDCANCEL, 0);
      }
    });
    EXPECT_EQ(c.open(), c.id != 1010) << c.id;
    player.join();
  }
  EXPECT_EQ(seen, "include waits 1 setup tree");
  EXPECT_STREQ(name, "zoe@near");
  EXPECT_STREQ(m.recipients ? m.recipients[0].name : "", "ann");
  std::string want = dir_.path() + "\\MHS\\MAIL\\";
  for (char& ch : want) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  EXPECT_EQ(buffer, want);
  for (NameList* l : {all, chosen}) vk::FreeNameList(l);
  vk::PoolReleaseBlock(pool.data);
}

}  // namespace
#endif
