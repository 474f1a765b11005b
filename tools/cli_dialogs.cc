// Plays the library's dialogs in the terminal through the automation
// interface: the fields are shown with their labels, typed input goes into
// them (password input hidden), and the button the user names is pressed.
#include <cctype>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {

namespace {

struct Field {
  int id;
  const char* label;
  bool hidden;
};

// The fields of the dialogs the tool knows how to fill; their labels are
// static texts without ids, so the tool keeps its own copy of them.
std::vector<Field> FieldsOf(int templ) {
  switch (templ) {
    case 1001:
    case 1006:
      return {{1501, "Name", false}, {1502, "Password", true}};
    case 1007:
      return {{1502, "Password", true}};
    default:
      return {};
  }
}

const int kButtonIds[] = {1, 1503, 1504, 2};

std::string Text(VkDialog* d, int id) {
  char buf[512];
  int n = vk_dialog_get_text(d, id, buf, sizeof buf);
  if (n < 0) return std::string();
  return std::string(buf);
}

// "&Change Password" -> "Change Password".
std::string Plain(const std::string& label) {
  std::string out;
  for (char c : label)
    if (c != '&') out += c;
  return out;
}

char Accelerator(const std::string& label) {
  size_t amp = label.find('&');
  if (amp == std::string::npos || amp + 1 >= label.size()) return 0;
  return static_cast<char>(std::tolower(static_cast<unsigned char>(label[amp + 1])));
}

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

void PlayAutomatically(DialogPlayer* p, VkDialog* d, int templ) {
  if (templ == 1001 || templ == 1006) {
    if (p->have_user) vk_dialog_set_text(d, 1501, p->user.c_str());
    if (p->have_password) vk_dialog_set_text(d, 1502, p->password.c_str());
    vk_dialog_click(d, 1);
    return;
  }
  // Any other dialog: leave it; the library closes it, as a cancel.
}

void PlayInTerminal(VkDialog* d, int templ) {
  std::vector<Field> fields = FieldsOf(templ);
  while (vk_dialog_is_open(d)) {
    std::cout << "\n== " << Text(d, -1) << " ==\n";
    for (const Field& f : fields) {
      if (!vk_dialog_is_visible(d, f.id) || !vk_dialog_is_enabled(d, f.id)) continue;
      std::string current = Text(d, f.id);
      std::string prompt = std::string(f.label);
      if (f.hidden) {
        prompt += current.empty() ? ": " : " [keep typed]: ";
      } else {
        prompt += current.empty() ? ": " : " [" + current + "]: ";
      }
      std::string line;
      if (!ReadLine(prompt, f.hidden, &line)) {
        vk_dialog_close(d);
        return;
      }
      if (!line.empty() || (!f.hidden && current.empty())) vk_dialog_set_text(d, f.id, line.c_str());
    }
    std::vector<std::pair<int, std::string>> buttons;
    for (int id : kButtonIds) {
      if (vk_dialog_is_visible(d, id) == 1 && vk_dialog_is_enabled(d, id) == 1) buttons.emplace_back(id, Text(d, id));
    }
    if (buttons.empty()) return;
    std::string menu;
    for (auto& b : buttons) menu += (menu.empty() ? "" : ", ") + Plain(b.second);
    std::string answer;
    if (!ReadLine("Press (" + menu + ") [" + Plain(buttons[0].second) + "]: ", false, &answer)) {
      vk_dialog_close(d);
      return;
    }
    int chosen = 0;
    if (answer.empty()) chosen = buttons[0].first;
    for (auto& b : buttons) {
      if (chosen) break;
      if (SameNoCase(answer, Plain(b.second)) ||
          (answer.size() == 1 && std::tolower(static_cast<unsigned char>(answer[0])) == Accelerator(b.second)))
        chosen = b.first;
    }
    if (!chosen) {
      std::cout << "no such button: " << answer << "\n";
      continue;
    }
    vk_dialog_click(d, chosen);
  }
}

void Driver(void* context, VkDialog* d) {
  DialogPlayer* p = static_cast<DialogPlayer*>(context);
  int templ = vk_dialog_template(d);
  if (!p->interactive || (p->have_user && p->have_password && FieldsOf(templ).size() > 1)) {
    PlayAutomatically(p, d, templ);
    return;
  }
  PlayInTerminal(d, templ);
}

}  // namespace

void InstallDialogPlayer(DialogPlayer* player) { vk_set_dialog_driver(Driver, player); }

CMC_return_code Logon(DialogPlayer* player, CMC_session_id* session) {
  InstallDialogPlayer(player);
  std::vector<char> user(player->user.begin(), player->user.end());
  std::vector<char> password(player->password.begin(), player->password.end());
  user.push_back('\0');
  password.push_back('\0');
  CMC_return_code r =
      cmc_logon(nullptr, player->have_user ? user.data() : nullptr, player->have_password ? password.data() : nullptr,
                nullptr, 0, CMC_VERSION, CMC_LOGON_UI_ALLOWED | CMC_ERROR_UI_ALLOWED, session, nullptr);
  if (r != CMC_SUCCESS) {
    const char* why = r == CMC_E_USER_CANCEL         ? "cancelled, or no usable mail tree"
                      : r == CMC_E_PASSWORD_REQUIRED ? "user name or password not accepted"
                                                     : "failed";
    FailCode(std::string("logon ") + why, r);
  }
  return r;
}

}  // namespace cli
