// A mail tree made by the library's own setup in a scratch directory, with a
// private workstation profile pointing at it, and a driver that plays the
// user in front of the login dialog.
#ifndef VKMSG_TESTS_SUPPORT_MAIL_TREE_H
#define VKMSG_TESTS_SUPPORT_MAIL_TREE_H

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"
#include "vkmsg/cmc.h"
#include "vkmsg/vkmsg.h"

namespace vktest {

// The login dialog on an administrator's workstation and on an ordinary one.
constexpr int kAdminLoginTemplate = 1001;
constexpr int kLoginTemplate = 1006;

// What the user does in one login dialog.
struct LoginAnswer {
  const char* name;      // typed into the name field; null leaves it
  const char* password;  // typed into the password field; null leaves it
  int button;            // 1 Login, 2 Cancel
};

// What a dialog showed when it came up.
struct SeenDialog {
  int template_id;
  std::string name;
  std::string password;
};

class LoginDriver {
 public:
  // Every login dialog: types these and presses Login.  Any other dialog is
  // cancelled.
  void AnswerAs(std::string user, std::string password);
  // The dialogs in turn, one answer each, whatever they are; once the
  // answers run out every dialog is cancelled.
  void Script(std::vector<LoginAnswer> answers);
  void CancelAll() { Script({}); }

  void Install() { vk_set_dialog_driver(&LoginDriver::Play, this); }
  static void Remove() { vk_set_dialog_driver(nullptr, nullptr); }

  // Every dialog since the last AnswerAs, Script or ForgetSeen.
  const std::vector<SeenDialog>& seen() const { return seen_; }
  int LoginsSeen() const;
  void ForgetSeen() { seen_.clear(); }
  size_t AnswersLeft() const { return answers_.size() - used_; }

  static void Play(void* context, VkDialog* d);

 private:
  void Answer(VkDialog* d);

  bool scripted_ = false;
  std::string user_;
  std::string password_;
  std::vector<LoginAnswer> answers_;
  size_t used_ = 0;
  std::vector<SeenDialog> seen_;
};

// A message reference as a host builds it from text: the length, the bytes
// and a zero.
std::vector<char> RefBytes(const std::string& text);
inline CMC_message_reference* AsRef(std::vector<char>& bytes) {
  return reinterpret_cast<CMC_message_reference*>(bytes.data());
}

// The library holds one tree, one session and one dialog driver at a time;
// a fixture derived from this one starts each test with none of an earlier
// test's and drops its own at the end.
class MailTreeTest : public ::testing::Test {
 protected:
  using Users = std::vector<std::pair<const char*, const char*>>;  // name, password

  // Call from SetUp under ASSERT_NO_FATAL_FAILURE.  Installs login_.
  void MakeTree(const Users& users);
  void TearDown() override { CloseTree(); }
  void CloseTree();

  // cmc_logon into session_ (left 0xDEAD when the logon hands none out).
  CMC_return_code LogOn(const char* name = nullptr, const char* password = nullptr, CMC_extension* ext = nullptr,
                        CMC_uint16 version = 100);
  // LogOn with the dialog answered as this user.
  CMC_return_code LogOnAs(const char* user, const char* password);
  CMC_return_code LogOff();

  std::filesystem::path MailDir(const std::string& rel = "") const;
  std::filesystem::path UserDir(const std::string& user) const { return MailDir("USERS") / user; }
  std::filesystem::path Mailbox(const std::string& user) const { return UserDir(user) / "MHS"; }
  std::filesystem::path Parcels(const std::string& user) const { return UserDir(user) / "IPARCEL"; }

  // The plain files of `dir` (none when it does not exist).
  static size_t CountFiles(const std::filesystem::path& dir) { return FileNames(dir).size(); }
  // Their names, sorted.
  static std::vector<std::string> FileNames(const std::filesystem::path& dir);

  ScratchDir dir_;
  PrivateProfile profile_{dir_};
  LoginDriver login_;
  CMC_session_id session_ = 0;
};

}  // namespace vktest

#endif
