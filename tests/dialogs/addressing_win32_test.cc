// The real select-users, name entry, compose, locate and setup dialogs
// under Windows, each driven from a second thread through window messages
// as a user would, and saved as a PNG picture in the test's directory.
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
#include "dialogs/select_users.h"
#include "store/namelist.h"
#include "support/mail_tree.h"

namespace {

// The newest visible dialog of `thread` other than `not_this`, waited for.
HWND WaitDialog(DWORD thread, HWND not_this = nullptr) {
  struct Find {
    HWND found, skip;
  } f{nullptr, not_this};
  for (int i = 0; i < 200 && !f.found; ++i) {
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM l) -> BOOL {
          Find* f = reinterpret_cast<Find*>(l);
          char cls[16] = "";
          GetClassNameA(w, cls, sizeof cls);
          if (w == f->skip || std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
          f->found = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&f));
    if (!f.found) Sleep(50);
  }
  return f.found;
}

void Put(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data) {
  auto be = [&](unsigned long v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
  };
  be(static_cast<unsigned long>(data.size()));
  size_t from = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  unsigned long crc = 0xFFFFFFFFul;
  for (size_t i = from; i < out.size(); ++i) {
    crc ^= out[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320ul & (0 - (crc & 1)));
  }
  be(crc ^ 0xFFFFFFFFul);
}

// The window as it is on the screen, into `name`.png (stored, unpacked).
void SavePicture(HWND w, const std::string& name) {
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(200);
  RECT r;
  GetWindowRect(w, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<unsigned char> bgra(static_cast<size_t>(width) * height * 4);
  GetDIBits(mem, bmp, 0, static_cast<UINT>(height), bgra.data(), &bi, DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  std::vector<unsigned char> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
      raw.insert(raw.end(), {p[2], p[1], p[0]});
    }
  }
  std::vector<unsigned char> z{0x78, 0x01};
  unsigned long a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    size_t n = std::min<size_t>(65535, raw.size() - at);
    z.insert(z.end(),
             {static_cast<unsigned char>(at + n >= raw.size()), static_cast<unsigned char>(n),
              static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(~n), static_cast<unsigned char>(~n >> 8)});
    z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
  }
  for (unsigned long v : {(b << 16) | a}) {
    for (int s = 24; s >= 0; s -= 8) z.push_back(static_cast<unsigned char>(v >> s));
  }
  std::vector<unsigned char> head(13, 0), png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (int i = 0; i < 4; ++i) {
    head[static_cast<size_t>(i)] = static_cast<unsigned char>(width >> (24 - 8 * i));
    head[static_cast<size_t>(4 + i)] = static_cast<unsigned char>(height >> (24 - 8 * i));
  }
  head[8] = 8;
  head[9] = 2;
  Put(png, "IHDR", head);
  Put(png, "IDAT", z);
  Put(png, "IEND", {});
  if (std::FILE* f = std::fopen((name + ".png").c_str(), "wb")) {
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
  }
}

void Command(HWND d, int id, int code) {
  SendMessageA(d, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
}
void Press(HWND d, int id) { Command(d, id, BN_CLICKED); }
void DoubleClick(HWND d, int id, int index) {
  SendDlgItemMessageA(d, id, LB_SETSEL, TRUE, index);
  Command(d, id, LBN_DBLCLK);
}
bool Enabled(HWND d, int id) { return IsWindowEnabled(GetDlgItem(d, id)) != 0; }
std::string Item(HWND d, int id, int index) {
  char text[128] = "";
  SendDlgItemMessageA(d, id, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

// Runs `open` on this thread while `play` plays the dialog from another;
// the dialog is cancelled should it still be open afterwards.
void Play(const std::function<void()>& open, const std::function<void(DWORD, HWND)>& play) {
  DWORD self = GetCurrentThreadId();
  std::thread player([&] {
    HWND d = WaitDialog(self);
    if (!d) return;  // the caller's checks fail
    Sleep(300);      // painted
    play(self, d);
    for (int i = 0; i < 100 && IsWindow(d); ++i) Sleep(50);
    if (IsWindow(d)) PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
  });
  open();
  player.join();
}

class RealAddressing : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"ann", "pw"}, {"bob", "pw"}}));
    ASSERT_EQ(LogOnAs("bob", "pw"), CMC_SUCCESS);
    vk_set_dialog_driver(nullptr, nullptr);
  }
};

TEST_F(RealAddressing, PickComposeAndNameEntry) {
  NameList* all = vk::CreateNameList(8, 512);
  for (const char* n : {"ann", "bob", "carl"}) all = vk::AddName(all, n, vk::kNameModeAppend);
  NameList* chosen = nullptr;
  bool include_followed = false;
  Play([&] { chosen = vk::SelectUsersDialog(nullptr, 1000, all, nullptr); },
       [&](DWORD, HWND d) {
         SavePicture(d, "dialog-1000-select-users");
         SendDlgItemMessageA(d, 1438, LB_SETSEL, TRUE, 2);
         Command(d, 1438, LBN_SELCHANGE);
         include_followed = !Enabled(d, 1441) && Enabled(d, 1440);
         Press(d, 1440);
         Press(d, IDOK);
       });
  EXPECT_TRUE(include_followed);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->count == 1 ? std::string(chosen->slots[0]) : "", "carl");
  vk::FreeNameList(chosen);
  vk::FreeNameList(all);

  char name[64] = "zed@far";
  Play([&] { EXPECT_EQ(vk::AddressBookNameDialog(nullptr, name), 1); },
       [&](DWORD, HWND d) {
         SavePicture(d, "dialog-1020-name-entry");
         SetDlgItemTextA(d, 1021, "zoe@near");
         Press(d, IDOK);
       });
  EXPECT_STREQ(name, "zoe@near");

  vk::ResultPool pool{};
  vk::PoolInit(&pool, 4096);
  CMC_message m{};
  m.subject = const_cast<char*>("Lunch");
  m.text_note = const_cast<char*>("At noon?");
  std::string entry;
  bool ok_waited = false;
  Play([&] { EXPECT_EQ(vk::ComposeDialog(nullptr, 1002, &pool, &m), CMC_SUCCESS); },
       [&](DWORD self, HWND d) {
         SavePicture(d, "dialog-1002-compose");
         ok_waited = !Enabled(d, IDOK);
         PostMessageA(d, WM_COMMAND, MAKEWPARAM(1601, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, 1601)));
         HWND pick = WaitDialog(self, d);
         if (!pick) return;
         DoubleClick(pick, 1438, 0);
         Press(pick, IDOK);
         for (int i = 0; i < 100 && IsWindow(pick); ++i) Sleep(50);
         entry = Item(d, 1605, 0);
         Press(d, IDOK);
       });
  EXPECT_TRUE(ok_waited);
  EXPECT_EQ(entry, "To: ann");
  ASSERT_NE(m.recipients, nullptr);
  EXPECT_STREQ(m.recipients[0].name, "ann");
  vk::PoolReleaseBlock(pool.data);
}

TEST_F(RealAddressing, LocateAndConfirm) {
  Play([&] { EXPECT_EQ(vk::ConfirmSetup(nullptr, "C:\\SHARE\\"), 0); },
       [&](DWORD, HWND d) {
         SavePicture(d, "dialog-1010-confirm-setup");
         Press(d, IDCANCEL);
       });
  char buffer[128] = "C:\\";
  const std::string root = dir_.path();
  bool followed = false;
  Play([&] { EXPECT_EQ(bInitServerDlg(buffer, sizeof buffer), 1); },
       [&](DWORD, HWND d) {
         bool before = Enabled(d, 1652) && !Enabled(d, IDOK);
         SetDlgItemTextA(d, 1088, root.c_str());
         followed = before && Enabled(d, IDOK) && !Enabled(d, 1652);
         SavePicture(d, "dialog-1008-locate");
         Press(d, IDOK);
       });
  EXPECT_TRUE(followed);
  std::string want = root + "\\MHS\\MAIL\\";
  for (char& c : want) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(buffer, want);
}

}  // namespace
#endif
