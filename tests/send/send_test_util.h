// A mail tree with the users bob, ann, carl and dave, bob logged on through
// the login dialog (unless a fixture asks otherwise), and the writer's clock
// fixed, for the tests of sending and deleting.
#ifndef VKMSG_TESTS_SEND_TEST_UTIL_H
#define VKMSG_TESTS_SEND_TEST_UTIL_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cmc/module.h"
#include "cmc/pool.h"
#include "cmc/session.h"
#include "platform/fault.h"
#include "send/deliver.h"
#include "send/smf_writer.h"
#include "store/config.h"
#include "support/test_support.h"
#include "users/registry.h"
#include "vkmsg/cmc.h"
#include "vkmsg/vkmsg.h"

namespace sendtest {

namespace fs = std::filesystem;

// 4 December 1996, 9:05:07, five hours west of UTC.
inline bool FixedClock(vk::LocalTime* now, long* zoneWest) {
  *now = vk::LocalTime{96, 11, 4, 9, 5, 7};
  *zoneWest = 5 * 3600;
  return true;
}
constexpr const char kFixedDateLine[] = "Date-posted:  4-Dec-1996  9:05:07 -0500\r\n";

struct Login {
  const char* name;
  int seen;     // login dialogs shown
  bool cancel;  // cancel them instead
};

// Fills in the login dialog and presses Login; any other dialog is cancelled.
inline void PlayLogin(void* context, VkDialog* d) {
  Login* login = static_cast<Login*>(context);
  const int t = vk_dialog_template(d);
  if (t != 1001 && t != 1006) {
    vk_dialog_click(d, 2);
    return;
  }
  ++login->seen;
  if (login->cancel) {
    vk_dialog_click(d, 2);
    return;
  }
  vk_dialog_set_text(d, 1501, login->name);
  vk_dialog_set_text(d, 1502, "pw");
  vk_dialog_click(d, 1);
}

inline CMC_recipient To(const char* address, CMC_enum role = CMC_ROLE_TO, const char* name = nullptr) {
  CMC_recipient r{};
  r.name = const_cast<char*>(name);
  r.address = const_cast<char*>(address);
  r.name_type = CMC_TYPE_INDIVIDUAL;
  r.role = role;
  return r;
}

inline CMC_attachment Attach(const std::string& path, const char* title) {
  CMC_attachment a{};
  a.attach_title = const_cast<char*>(title);
  a.attach_filename = const_cast<char*>(path.c_str());
  return a;
}

// A reference to `path`, as cmc_list hands it out.
struct Reference {
  explicit Reference(const std::string& path) : bytes(sizeof(CMC_uint32) + path.size() + 1, '\0') {
    CMC_uint32 length = static_cast<CMC_uint32>(path.size());
    std::memcpy(bytes.data(), &length, sizeof length);
    std::memcpy(bytes.data() + sizeof length, path.c_str(), path.size());
  }
  CMC_message_reference* get() { return reinterpret_cast<CMC_message_reference*>(bytes.data()); }
  std::vector<char> bytes;
};

class MailTree : public ::testing::Test {
 protected:
  virtual bool LogOnAtStart() const { return true; }
  void SetUp() override {
    vk::ModuleAttach(nullptr);
    ASSERT_EQ(vk::Session().session_id, 0u);
    vk::UnloadConfig();
    vk::SetCachedUserList(nullptr);
    ASSERT_EQ(bSetupMHSDirs(dir_.path().c_str()), 1);
    for (const char* user : {"bob", "ann", "carl", "dave"}) ASSERT_EQ(bAddUser(user, "pw"), 1);
    vk::UnloadConfig();
    vk_set_dialog_driver(PlayLogin, &login_);
    blocks_ = vk::PoolLiveBlockCount();
    if (LogOnAtStart()) LogOn();
    vk::SetSmfClock(FixedClock);
  }
  void TearDown() override {
    vk::PlatFaultDisarm();
    vk::SetSmfClock(nullptr);
    vk::SetComposeDialog(nullptr);
    if (vk::Session().session_id != 0) cmc_logoff(vk::Session().session_id, 0, 0, nullptr);
    vk_set_dialog_driver(nullptr, nullptr);
    vk::UnloadConfig();
    vk::SetCachedUserList(nullptr);
    EXPECT_EQ(vk::PoolLiveBlockCount(), blocks_) << "a result block was left behind";
  }

  // Logs bob on; the dialog count starts again from nothing.
  void LogOn() {
    session_ = 0;
    ASSERT_EQ(cmc_logon(nullptr, const_cast<char*>("bob"), const_cast<char*>("pw"), nullptr, 0, 100, 0, &session_,
                        nullptr),
              CMC_SUCCESS);
    login_.seen = 0;
  }

  fs::path Mail() const { return fs::path(dir_.path()) / "MHS" / "MAIL"; }
  fs::path Mailbox(const char* user) const { return Mail() / "USERS" / user / "MHS"; }
  fs::path Parcels(const char* user) const { return Mail() / "USERS" / user / "IPARCEL"; }

  // The names of the plain files of `dir`, sorted.
  static std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
      if (e.is_regular_file()) names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The one file of `dir`; "" when there is not exactly one.
  static std::string Only(const fs::path& dir) {
    auto names = FilesIn(dir);
    EXPECT_EQ(names.size(), 1u) << dir.string();
    return names.size() == 1 ? names[0] : std::string();
  }
  // The bytes of the one message in `user`'s mailbox.
  std::string OnlyMessage(const char* user) const { return Read(Mailbox(user) / Only(Mailbox(user))); }
  // Nothing of a send is left in SND and PARCEL.
  void ExpectStagingEmpty() const {
    EXPECT_TRUE(FilesIn(Mail() / "SND").empty());
    EXPECT_TRUE(FilesIn(Mail() / "PARCEL").empty());
  }
  // A scratch file with `contents`; its path.
  std::string Source(const std::string& name, const std::string& contents) {
    const std::string path = dir_.Join(name);
    EXPECT_TRUE(vktest::WriteWholeFile(path, contents));
    return path;
  }
  static std::string Read(const fs::path& p) { return vktest::ReadWholeFile(p.string()); }

  CMC_return_code Send(CMC_message* m, CMC_flags flags = 0) { return cmc_send(session_, m, flags, 0, nullptr); }

  vktest::ScratchDir dir_;
  vktest::PrivateProfile profile_{dir_};
  Login login_{"bob", 0, false};
  CMC_session_id session_ = 0;
  int blocks_ = 0;
};

// A message with the given arrays (the last elements are flagged here).
inline CMC_message Message(std::vector<CMC_recipient>& recipients, std::vector<CMC_attachment>* attachments,
                           const char* subject, const char* text) {
  CMC_message m{};
  m.subject = const_cast<char*>(subject);
  m.text_note = const_cast<char*>(text);
  if (!recipients.empty()) {
    recipients.back().recip_flags |= CMC_RECIP_LAST_ELEMENT;
    m.recipients = recipients.data();
  }
  if (attachments && !attachments->empty()) {
    attachments->back().attach_flags |= CMC_ATT_LAST_ELEMENT;
    m.attachments = attachments->data();
  }
  return m;
}

}  // namespace sendtest

#endif
