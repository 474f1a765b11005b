// Plays any of the library's dialogs in the terminal, knowing nothing of
// the particular dialog: everything shown comes from the automation
// interface.  Each round shows the dialog (caption, texts that changed,
// fields with their labels, list boxes as numbered lists with their
// selection, the buttons), then asks for each reachable field in tab order
// and for a button.  Scripted input answers the same questions line by line.
#include <cctype>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {

namespace {

// Control kinds and style bits of the automation interface.
constexpr int kStatic = 0, kEdit = 1, kButton = 2, kListBox = 3;
constexpr unsigned long kPasswordStyle = 0x20, kMultilineStyle = 0x4;
constexpr unsigned long kButtonTypeMask = 0xF, kDefaultButton = 1, kGroupBox = 7;

struct Control {
  int id;
  int kind;
  unsigned long style;
  bool enabled, visible;
  std::string text;
  std::string label;      // the static text labelling a field
  bool is_label = false;  // this static text labels a field
};

bool IsField(const Control& c) { return c.kind == kEdit || c.kind == kListBox; }

// A run of static texts before a run of fields labels them in order: the
// last texts of the run go with the fields ("&Name" before its field, or
// three labels before three fields).
std::vector<Control> Controls(VkDialog* d) {
  std::vector<Control> out;
  char text[1024];
  Control c;
  int state = 0;
  for (int i = 0; vk_dialog_control(d, i, &c.id, &c.kind, &c.style, &state, text, sizeof text) == 1; ++i) {
    c.enabled = (state & VK_CONTROL_ENABLED) != 0;
    c.visible = (state & VK_CONTROL_VISIBLE) != 0;
    c.text = text;
    out.push_back(c);
  }
  size_t statics = 0;
  for (size_t i = 0; i < out.size();) {
    if (out[i].kind == kStatic) {
      ++statics, ++i;
      continue;
    }
    size_t fields = 0;
    while (i + fields < out.size() && IsField(out[i + fields])) ++fields;
    for (size_t f = 0; f < fields && fields <= statics; ++f) {
      out[i - fields + f].is_label = true;
      out[i + f].label = out[i - fields + f].text;
    }
    i += fields ? fields : 1;
    statics = 0;
  }
  return out;
}

// "&Change Password" -> "Change Password".
std::string Plain(const std::string& label) {
  std::string out;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '&' && i + 1 < label.size()) ++i;
    out += label[i];
  }
  while (!out.empty() && (out.back() == ':' || out.back() == ' ')) out.pop_back();
  size_t start = out.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : out.substr(start);
}

// "&Change Password" -> "[C]hange Password".
std::string Marked(const std::string& label) {
  size_t amp = label.find('&');
  if (amp == std::string::npos || amp + 1 >= label.size()) return Plain(label);
  return Plain(label.substr(0, amp) + "[" + label[amp + 1] + "]" + label.substr(amp + 2));
}

char Mnemonic(const std::string& label) {
  size_t amp = label.find('&');
  if (amp == std::string::npos || amp + 1 >= label.size()) return 0;
  return static_cast<char>(std::tolower(static_cast<unsigned char>(label[amp + 1])));
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsPush(const Control& c) {
  unsigned long type = c.style & kButtonTypeMask;
  return c.kind == kButton && type != kGroupBox;
}

std::string ItemText(VkDialog* d, int id, int index) {
  char buf[512];
  return vk_dialog_list_text(d, id, index, buf, sizeof buf) < 0 ? std::string() : std::string(buf);
}

class Session {
 public:
  explicit Session(VkDialog* d) : d_(d) {}

  // The id of the button that ended the dialog, 0 when it ended otherwise.
  int Play() {
    while (vk_dialog_is_open(d_)) {
      std::vector<Control> controls = Controls(d_);
      Show(controls);
      if (!AskFields(controls) || !vk_dialog_is_open(d_)) break;
      if (!AskButton(Controls(d_))) break;
    }
    return ended_by_;
  }

 private:
  void Show(const std::vector<Control>& controls) {
    std::cout << "\n== " << Plain(Caption()) << " ==\n";
    for (size_t i = 0; i < controls.size(); ++i) {
      const Control& c = controls[i];
      if (!c.visible || c.is_label) continue;
      std::string off = c.enabled ? "" : " (disabled)";
      if (c.kind == kStatic && !c.text.empty()) {
        // Texts show once, and again whenever they change (status lines).
        if (shown_[i] != c.text) std::cout << (c.id == -1 ? "" : "> ") << c.text << "\n";
        shown_[i] = c.text;
      } else if (c.kind == kButton && !IsPush(c)) {
        std::cout << "-- " << Plain(c.text) << " --\n";
      } else if (c.kind == kEdit) {
        std::string value = (c.style & kPasswordStyle) ? std::string(c.text.size(), '*') : c.text;
        std::cout << "  " << Plain(c.label) << off << ": " << value << "\n";
      } else if (c.kind == kListBox) {
        int count = vk_dialog_list_count(d_, c.id);
        std::cout << "  " << Plain(c.label) << off << (count == 0 ? ": (empty)" : ":") << "\n";
        for (int n = 0; n < count; ++n) {
          std::cout << (vk_dialog_list_is_selected(d_, c.id, n) == 1 ? "   *" : "    ") << n + 1 << ". "
                    << ItemText(d_, c.id, n) << "\n";
        }
      }
    }
  }

  std::string Caption() {
    char buf[256];
    return vk_dialog_get_text(d_, -1, buf, sizeof buf) < 0 ? std::string() : std::string(buf);
  }

  // False at the end of the input: the dialog is then closed.
  bool Ask(const std::string& prompt, bool hidden, std::string* line) {
    if (ReadLine(prompt, hidden, line)) return true;
    vk_dialog_close(d_);
    return false;
  }

  bool AskFields(const std::vector<Control>& controls) {
    for (const Control& c : controls) {
      if (!c.visible || !c.enabled || !vk_dialog_is_open(d_)) continue;
      std::string line;
      if (c.kind == kEdit) {
        bool hidden = (c.style & kPasswordStyle) != 0;
        std::string now = hidden ? (c.text.empty() ? "" : " [keep]") : (c.text.empty() ? "" : " [" + c.text + "]");
        std::string label = c.label.empty() ? "Text" : Plain(c.label);
        if (!Ask(label + now + (c.style & kMultilineStyle ? " (one line)" : "") + ": ", hidden, &line)) return false;
        // A blank answer keeps the text; a single "-" clears it.
        if (!line.empty()) vk_dialog_set_text(d_, c.id, line == "-" ? "" : line.c_str());
      } else if (c.kind == kListBox && vk_dialog_list_count(d_, c.id) > 0) {
        if (!Ask(Plain(c.label) + " (numbers select, N! opens, - clears, blank keeps): ", false, &line)) return false;
        ChooseItems(c.id, line);
      }
    }
    return true;
  }

  void ChooseItems(int id, const std::string& line) {
    if (line.empty()) return;
    std::vector<int> wanted;
    int open = -1;
    size_t i = 0;
    while (i < line.size()) {
      if (!std::isdigit(static_cast<unsigned char>(line[i]))) {
        ++i;
        continue;
      }
      size_t end = i;
      int n = 0;
      while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end]))) n = n * 10 + (line[end++] - '0');
      if (end < line.size() && line[end] == '!') open = n - 1;
      wanted.push_back(n - 1);
      i = end;
    }
    int count = vk_dialog_list_count(d_, id);
    for (int n = 0; n < count; ++n) {
      bool want = false;
      for (int w : wanted) want = want || w == n;
      if (!want && vk_dialog_list_is_selected(d_, id, n) == 1) vk_dialog_list_select(d_, id, n, 0);
    }
    for (int w : wanted) {
      if (w < 0 || w >= vk_dialog_list_count(d_, id)) {
        std::cout << "no item " << w + 1 << "\n";
      } else if (w == open) {
        vk_dialog_list_double_click(d_, id, w);
      } else if (vk_dialog_list_is_selected(d_, id, w) != 1) {
        vk_dialog_list_select(d_, id, w, 1);
      }
    }
  }

  bool AskButton(const std::vector<Control>& controls) {
    std::string menu;
    const Control* fallback = nullptr;
    for (const Control& c : controls) {
      if (!c.visible || !IsPush(c)) continue;
      menu += (menu.empty() ? "" : ", ") + Marked(c.text) + (c.enabled ? "" : " (disabled)");
      if (c.enabled && (c.style & kButtonTypeMask) == kDefaultButton) fallback = &c;
    }
    std::string prompt = "Press " + menu + (fallback ? " [" + Plain(fallback->text) + "]" : "") + ": ";
    // Scripted answers see no prompts; the buttons still belong to the dialog shown.
    if (!StdinIsTerminal()) std::cout << "  " << prompt << "\n";
    std::string answer;
    if (!Ask(prompt, false, &answer)) return false;
    const Control* chosen = answer.empty() ? fallback : nullptr;
    for (const Control& c : controls) {
      if (chosen || !c.visible || !IsPush(c) || answer.empty()) continue;
      bool by_letter = answer.size() == 1 && Mnemonic(c.text) == std::tolower(static_cast<unsigned char>(answer[0]));
      if (by_letter || Lower(answer) == Lower(Plain(c.text))) chosen = &c;
    }
    if (!chosen) {
      std::cout << "no such button: " << answer << "\n";
    } else if (!chosen->enabled || vk_dialog_click(d_, chosen->id) != 1) {
      std::cout << Plain(chosen->text) << " is disabled\n";
    } else if (!vk_dialog_is_open(d_)) {
      ended_by_ = chosen->id;
    }
    return true;
  }

  VkDialog* d_;
  int ended_by_ = 0;
  std::map<size_t, std::string> shown_;
};

void Driver(void* context, VkDialog* d) { PlayDialog(static_cast<DialogPlayer*>(context), d); }

}  // namespace

int PlayDialog(DialogPlayer* p, VkDialog* d) {
  const std::vector<Control> controls = Controls(d);
  bool asks_password = false;
  for (const Control& c : controls) asks_password = asks_password || (c.kind == kEdit && (c.style & kPasswordStyle));
  if (p->confirm_first && asks_password) {
    // The command line filled this dialog: confirm it.  Any dialog before
    // it (the browser of a workstation without a tree) is the user's.
    p->confirm_first = false;
    for (const Control& c : controls) {
      if (IsPush(c) && (c.style & kButtonTypeMask) == kDefaultButton && vk_dialog_click(d, c.id) == 1) return c.id;
    }
    return 0;
  }
  // Otherwise the dialog is closed unanswered, as a cancel.
  return p->interactive || p->scripted ? Session(d).Play() : 0;
}

void InstallDialogPlayer(DialogPlayer* player) { vk_set_dialog_driver(Driver, player); }

CMC_return_code Logon(DialogPlayer* player, CMC_session_id* session) {
  InstallDialogPlayer(player);
  player->confirm_first = (player->have_user && player->have_password) || (!player->interactive && !player->scripted);
  std::vector<char> user(player->user.begin(), player->user.end());
  std::vector<char> password(player->password.begin(), player->password.end());
  user.push_back('\0');
  password.push_back('\0');
  CMC_return_code r =
      cmc_logon(nullptr, player->have_user ? user.data() : nullptr, player->have_password ? password.data() : nullptr,
                nullptr, 0, CMC_VERSION, CMC_LOGON_UI_ALLOWED | CMC_ERROR_UI_ALLOWED, session, nullptr);
  player->confirm_first = false;
  if (r != CMC_SUCCESS) {
    const char* why = r == CMC_E_USER_CANCEL         ? "cancelled, or no usable mail tree"
                      : r == CMC_E_PASSWORD_REQUIRED ? "user name or password not accepted"
                                                     : "failed";
    FailCode(std::string("logon ") + why, r);
  }
  return r;
}

}  // namespace cli
