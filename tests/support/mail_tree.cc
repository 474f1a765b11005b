#include "support/mail_tree.h"

#include <algorithm>
#include <cstring>

#include "cmc/module.h"
#include "cmc/session.h"
#include "store/config.h"
#include "users/registry.h"

namespace fs = std::filesystem;

namespace vktest {

void LoginDriver::AnswerAs(std::string user, std::string password) {
  scripted_ = false;
  user_ = std::move(user);
  password_ = std::move(password);
  answers_.clear();
  used_ = 0;
  seen_.clear();
}

void LoginDriver::Script(std::vector<LoginAnswer> answers) {
  scripted_ = true;
  answers_ = std::move(answers);
  used_ = 0;
  seen_.clear();
}

int LoginDriver::LoginsSeen() const {
  return static_cast<int>(std::count_if(seen_.begin(), seen_.end(), [](const SeenDialog& s) {
    return s.template_id == kAdminLoginTemplate || s.template_id == kLoginTemplate;
  }));
}

void LoginDriver::Play(void* context, VkDialog* d) { static_cast<LoginDriver*>(context)->Answer(d); }

void LoginDriver::Answer(VkDialog* d) {
  char name[80] = "";
  char password[80] = "";
  const int t = vk_dialog_template(d);
  vk_dialog_get_text(d, 1501, name, sizeof name);
  vk_dialog_get_text(d, 1502, password, sizeof password);
  seen_.push_back({t, name, password});
  if (scripted_) {
    if (used_ >= answers_.size()) {
      vk_dialog_click(d, 2);
      return;
    }
    const LoginAnswer& a = answers_[used_++];
    if (a.name != nullptr) vk_dialog_set_text(d, 1501, a.name);
    if (a.password != nullptr) vk_dialog_set_text(d, 1502, a.password);
    vk_dialog_click(d, a.button);
    return;
  }
  if (t != kAdminLoginTemplate && t != kLoginTemplate) {
    vk_dialog_click(d, 2);
    return;
  }
  vk_dialog_set_text(d, 1501, user_.c_str());
  vk_dialog_set_text(d, 1502, password_.c_str());
  vk_dialog_click(d, 1);
}

std::vector<char> RefBytes(const std::string& text) {
  std::vector<char> bytes(sizeof(CMC_uint32) + text.size() + 1, '\0');
  const CMC_uint32 length = static_cast<CMC_uint32>(text.size());
  std::memcpy(bytes.data(), &length, sizeof length);
  std::memcpy(bytes.data() + sizeof length, text.data(), text.size());
  return bytes;
}

void MailTreeTest::MakeTree(const Users& users) {
  vk::ModuleAttach(nullptr);
  ASSERT_EQ(vk::Session().session_id, 0u);
  vk::UnloadConfig();
  vk::SetCachedUserList(nullptr);
  ASSERT_EQ(bSetupMHSDirs(dir_.path().c_str()), 1);
  for (const auto& user : users) ASSERT_EQ(bAddUser(user.first, user.second), 1) << user.first;
  vk::UnloadConfig();
  vk::SetCachedUserList(nullptr);
  login_.Install();
}

void MailTreeTest::CloseTree() {
  if (vk::Session().session_id != 0) cmc_logoff(vk::Session().session_id, 0, 0, nullptr);
  LoginDriver::Remove();
  vk::UnloadConfig();
  vk::SetCachedUserList(nullptr);
}

CMC_return_code MailTreeTest::LogOn(const char* name, const char* password, CMC_extension* ext,
                                    CMC_uint16 version) {
  session_ = 0xDEAD;
  return cmc_logon(nullptr, const_cast<char*>(name), const_cast<char*>(password), nullptr, 0, version, 0, &session_,
                   ext);
}

CMC_return_code MailTreeTest::LogOnAs(const char* user, const char* password) {
  login_.AnswerAs(user, password);
  return LogOn();
}

CMC_return_code MailTreeTest::LogOff() {
  const CMC_return_code r = cmc_logoff(session_, 0, 0, nullptr);
  session_ = 0;
  return r;
}

fs::path MailTreeTest::MailDir(const std::string& rel) const {
  const fs::path mail = fs::path(dir_.path()) / "MHS" / "MAIL";
  return rel.empty() ? mail : mail / rel;
}

std::vector<std::string> MailTreeTest::FileNames(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace vktest
