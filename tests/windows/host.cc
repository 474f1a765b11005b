// A host as the library's users write one: it loads VKMSG32.DLL at run time, finds every entry point
// by its plain name, and walks the road of a message through the real dialogs, which a second thread
// plays as a user would, through window messages only, picturing each in screenshots/host-*.png.  The
// workstation starts without a mail tree; its WIN.INI keys are put back and the tree removed on every
// way out.  Prints what failed; exit code 0 only when everything held.
// Usage: host VKMSG32.DLL EXPORT-TABLE
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dialogs/win32_shot.h"
#include "vkmsg/vkmsg.h"

namespace {

namespace fs = std::filesystem;

HMODULE g_dll;
DWORD g_host;                       // the thread that runs the library's dialogs
std::vector<std::string> g_failed;  // both threads add to it, under g_failed_lock
std::mutex g_failed_lock;
fs::path g_root;  // the empty directory that becomes the mail tree
char g_old_dir[MAX_PATH];
struct Key {
  const char *section, *key;
  char saved[256];
  bool present;
} g_keys[] = {{"Mail", "VeskMailPath", "", false}, {"MAIL", "IsVeskAdmin", "", false}, {"MAIL", "MHS_USER", "", false}};

template <class F>
F Proc(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(g_dll, name)));
}
#define CALL(f) Proc<decltype(&f)>(#f)

void Check(bool held, const std::string& what) {
  std::lock_guard<std::mutex> hold(g_failed_lock);
  if (!held) g_failed.push_back(what);
}

void Restore() {
  SetCurrentDirectoryA(g_old_dir);
  for (const Key& k : g_keys) WriteProfileStringA(k.section, k.key, k.present ? k.saved : nullptr);
  std::error_code ignored;
  if (!g_root.empty()) fs::remove_all(g_root, ignored);
}

// The player's end when a dialog does not come or does not go.
struct Lost {};

struct Match {
  const char* caption;  // null: any
  HWND found;
};
std::string Caption(HWND w) {
  char caption[128] = "";
  GetWindowTextA(w, caption, sizeof caption);
  return caption;
}
BOOL CALLBACK MatchDialog(HWND w, LPARAM param) {
  Match* m = reinterpret_cast<Match*>(param);
  char cls[16] = "";
  GetClassNameA(w, cls, sizeof cls);
  // A dialog that owns a modal one is disabled: only the one in front plays.
  if (std::strcmp(cls, "#32770") || !IsWindowVisible(w) || !IsWindowEnabled(w) || !GetDlgItem(w, IDOK) ||
      (m->caption && Caption(w) != m->caption))
    return TRUE;
  m->found = w;
  return FALSE;
}
HWND FindDialog(const char* caption) {
  Match m{caption, nullptr};
  EnumThreadWindows(g_host, MatchDialog, reinterpret_cast<LPARAM>(&m));
  return m.found;
}
HWND Await(const char* caption) {
  for (int waited = 0; waited < 8000; waited += 50, Sleep(50)) {
    if (HWND d = FindDialog(caption)) return d;
  }
  Check(false, std::string("no dialog \"") + caption + "\"");
  throw Lost();
}
// Pictures the dialog, then presses `id`, which must close it or open the
// next one in front of it.
void Leave(HWND d, int id, const char* picture = nullptr) {
  if (picture) Check(vktest::SaveWindowPng(d, std::string("host-") + picture), std::string("no picture of ") + picture);
  PostMessageA(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
  for (int waited = 0; IsWindow(d) && IsWindowEnabled(d); waited += 50, Sleep(50)) {
    if (waited > 5000) {
      Check(false, "\"" + Caption(d) + "\" stayed after pressing " + std::to_string(id));
      throw Lost();
    }
  }
}
std::string Text(HWND d, int id) {
  char buf[256] = "";
  GetDlgItemTextA(d, id, buf, sizeof buf);
  return buf;
}
bool On(HWND d, int id) { return IsWindowVisible(GetDlgItem(d, id)) && IsWindowEnabled(GetDlgItem(d, id)); }
void Send(HWND d, int id, int code = BN_CLICKED) {
  SendMessageA(d, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
}
// Types into fields, then presses `id` if one is given.
void Type(HWND d, std::initializer_list<std::pair<int, const char*>> fields, int id = 0) {
  for (const auto& f : fields) SetDlgItemTextA(d, f.first, f.second);
  if (id) Send(d, id);
}
LRESULT Items(HWND d, int id) { return SendDlgItemMessageA(d, id, LB_GETCOUNT, 0, 0); }
void Select(HWND d, int id, const char* item) {
  LRESULT at = SendDlgItemMessageA(d, id, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item));
  Check(at >= 0, std::string("no ") + item + " to select");
  SendDlgItemMessageA(d, id, LB_SETSEL, TRUE, at);
  Send(d, id, LBN_SELCHANGE);
}

// Runs `host` on this thread while a second one plays `user`.  A dialog
// nobody expected is cancelled, and a call that never returns ends the
// process once the workstation is restored.
void Play(void (*user)(), void (*host)()) {
  std::atomic<bool> done{false};
  std::thread player([&] {
    try {
      user();
    } catch (const Lost&) {
    }
    for (int waited = 0; !done; waited += 50, Sleep(50)) {
      if (HWND stray = FindDialog(nullptr)) {
        Check(false, "cancelled the dialog \"" + Caption(stray) + "\"");
        PostMessageA(stray, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        Sleep(300);
      }
      if (waited > 30000) {
        std::puts("FAIL: a call of the library never returned");
        Restore();
        ExitProcess(1);
      }
    }
  });
  host();
  done = true;
  player.join();
}

// The files in `dir`, or those of them with the extension `ext`.
int Files(const fs::path& dir, const char* ext) {
  std::error_code e;
  int n = 0;
  for (const auto& f : fs::directory_iterator(dir, e))
    n += !*ext || !_stricmp(f.path().extension().string().c_str(), ext);
  return n;
}

// The user, on the player's thread: every dialog of the road in turn.
void User() {
  HWND d = Await("Locate Vesk_Msg Directory ");
  Check(On(d, 1652) && !On(d, IDOK), "locate: an empty directory offers Setup, not OK");
  Leave(d, 1652, "locate");
  d = Await("Set Up New Vesk_Msg Directory ?");
  Check(!_stricmp(Text(d, 1011).c_str(), g_root.string().c_str()), "setup at " + Text(d, 1011));
  Leave(d, IDOK, "confirm_setup");
  d = Await("Please Login");
  Check(On(d, 1504), "login: no Administer Users after setup");
  Leave(d, 1504);
  Type(d = Await("Please provide Admin password"), {{1502, "zirva"}});
  Leave(d, IDOK, "admin_prompt");
  d = Await("Administer Users");
  Check(Items(d, 1600) == 0, "administer: admin is listed");
  const char* users[] = {"Ann", "annpass1", "bob", "bobpass1", "x-y", "pw"};
  for (int i = 0; i < 6; i += 2) Type(d, {{1601, users[i]}, {1602, users[i + 1]}}, 1603);
  Check(Items(d, 1600) == 2 && Text(d, 1601) == "x", "administer: x-y added, or not cut to x");
  Select(d, 1600, "bob");
  Check(Text(d, 1601) == "bob" && On(d, 1604) && !On(d, 1603), "administer: selecting bob");
  Leave(d, IDOK, "administer_users");
  Type(d = Await("Please Login"), {{1501, "ann"}});
  Leave(d, 1503);
  Type(d = Await("Change Password"), {{1550, "wrong"}, {1551, "annpass2"}, {1552, "annpass2"}}, IDOK);
  Check(Text(d, 1553) == "The old password was not correct", "change password: " + Text(d, 1553));
  SetDlgItemTextA(d, 1550, "annpass1");
  Leave(d, IDOK, "change_password");
  Type(d = Await("Please Login"), {{1501, "bob"}, {1502, "bobpass1"}});
  Leave(d, IDOK, "login");

  d = Await("Send Mail");
  Check(!On(d, IDOK), "compose: OK before a recipient");
  Leave(d, 1601);
  d = Await("Select Vesk Users   ");
  Select(d, 1438, "ann");
  Send(d, 1440);
  Check(Items(d, 1439) == 1, "select users: ann not chosen");
  Leave(d, IDOK, "select_users");
  d = Await("Send Mail");
  Check(Items(d, 1605) == 1 && On(d, IDOK), "compose: the recipient");
  Type(d, {{1603, "Road test"}, {1604, "Hello ann,\r\nthe road works."}});
  Leave(d, IDOK, "compose");

  for (int logon = 0; logon < 2; ++logon) {  // the recipient's, filled in by the host
    d = Await("Please Login");
    Check(Text(d, 1501) == "ann", "login: not filled in");
    Leave(d, IDOK);
  }
}

// The host, on its own thread: the calls of the road and what they left.
void Host() {
  CMC_session_id s = 0;
  CMC_return_code rc = CALL(cmc_logon)(nullptr, nullptr, nullptr, nullptr, 0, 100, CMC_LOGON_UI_ALLOWED, &s, nullptr);
  Check(rc == CMC_SUCCESS && s == 1, "bob's logon: " + std::to_string(rc));
  const fs::path mail = g_root / "MHS" / "MAIL", ann = mail / "USERS" / "ann" / "MHS";
  char path[MAX_PATH] = "";
  GetProfileStringA("Mail", "VeskMailPath", "", path, sizeof path);
  Check(!_stricmp(path, (mail.string() + "\\").c_str()), std::string("WIN.INI names the tree as ") + path);
  Check(GetProfileIntA("MAIL", "IsVeskAdmin", 0) == 1 && fs::exists(mail / "PUBLIC" / "passwd"), "setup");
  Check(CALL(bCheckPW)("ann", "annpass2") == 1 && CALL(bCheckPW)("ann", "annpass1") == 0, "ann's new password");

  CMC_message m = {};
  m.subject = m.text_note = const_cast<char*>("draft");
  rc = CALL(cmc_send)(s, &m, CMC_SEND_UI_REQUESTED, 0, nullptr);
  Check(rc == CMC_SUCCESS && Files(ann, "") == 1, "send: " + std::to_string(rc));
  CALL(cmc_logoff)(s, 0, 0, nullptr);

  for (const char* password : {"annpass1", "annpass2"}) {
    s = 0;
    rc = CALL(cmc_logon)(nullptr, const_cast<char*>("ann"), const_cast<char*>(password), nullptr, 0, 100, 0, &s,
                         nullptr);
    const bool refused = !std::strcmp(password, "annpass1");
    Check(rc == (refused ? CMC_E_PASSWORD_REQUIRED : CMC_SUCCESS) && s == !refused,
          std::string("ann's logon with ") + password + ": " + std::to_string(rc));
  }
  CMC_uint32 count = 0;
  CMC_message_summary* list = nullptr;
  CMC_message* read = nullptr;
  rc = CALL(cmc_list)(s, nullptr, 0, nullptr, &count, 0, &list, nullptr);
  Check(rc == CMC_SUCCESS && count == 1 && !std::strcmp(list[0].subject, "Road test") &&
            !(list[0].summary_flags & CMC_SUM_READ),
        "ann's list: " + std::to_string(rc) + " " + std::to_string(count));
  if (count == 1) {
    rc = CALL(cmc_read)(s, list[0].message_reference, 0, &read, 0, nullptr);
    Check(rc == CMC_SUCCESS && std::strstr(read->text_note, "the road works") && Files(ann, ".red") == 1,
          "read: " + std::to_string(rc) + ", or no read mark");
    rc = CALL(cmc_act_on)(s, list[0].message_reference, CMC_ACT_ON_DELETE, 0, 0, nullptr);
    Check(rc == CMC_SUCCESS && Files(ann, "") == 0, "delete: " + std::to_string(rc));
  }
  CALL(cmc_free)(read);
  CALL(cmc_free)(list);
  CALL(cmc_logoff)(s, 0, 0, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return std::puts("usage: host VKMSG32.DLL EXPORT-TABLE"), 2;
  g_host = GetCurrentThreadId();
  g_dll = LoadLibraryA(argv[1]);
  if (!g_dll) return std::printf("FAIL: LoadLibrary %s: error %lu\n", argv[1], GetLastError()), 1;
  std::ifstream table(argv[2]);
  int exports = 0;
  for (std::string line; std::getline(table, line);) {
    std::string name = line.substr(0, line.find(' '));
    if (name.empty() || name[0] == '#') continue;
    ++exports;
    Check(GetProcAddress(g_dll, name.c_str()) != nullptr, "no export " + name);
  }
  Check(exports >= 19, "an export table of " + std::to_string(exports) + " entries");
  if (g_failed.empty()) {
    GetCurrentDirectoryA(MAX_PATH, g_old_dir);
    for (Key& k : g_keys) {
      k.present = GetProfileStringA(k.section, k.key, "\x01", k.saved, sizeof k.saved) != 1 || k.saved[0] != 1;
      WriteProfileStringA(k.section, k.key, nullptr);
    }
    g_root = fs::temp_directory_path() / ("vkmsg-host-" + std::to_string(GetCurrentProcessId()));
    std::error_code e;
    Check(fs::create_directory(g_root, e) && SetCurrentDirectoryA(g_root.string().c_str()), "no empty directory");
    if (g_failed.empty()) Play(User, Host);
    Restore();
  }
  FreeLibrary(g_dll);
  for (const std::string& f : g_failed) std::printf("FAIL: %s\n", f.c_str());
  std::puts(g_failed.empty() ? "host road ok" : "host road FAILED");
  return g_failed.empty() ? 0 : 1;
}
