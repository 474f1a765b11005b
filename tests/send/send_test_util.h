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
#include "support/mail_tree.h"
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

class MailTree : public vktest::MailTreeTest {
 protected:
  virtual bool LogOnAtStart() const { return true; }
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"bob", "pw"}, {"ann", "pw"}, {"carl", "pw"}, {"dave", "pw"}}));
    login_.AnswerAs("bob", "pw");
    blocks_ = vk::PoolLiveBlockCount();
    if (LogOnAtStart()) LogOn();
    vk::SetSmfClock(FixedClock);
  }
  void TearDown() override {
    vk::PlatFaultDisarm();
    vk::SetSmfClock(nullptr);
    vk::SetComposeDialog(nullptr);
    CloseTree();
    EXPECT_EQ(vk::PoolLiveBlockCount(), blocks_) << "a result block was left behind";
  }

  // Logs bob on; the dialog count starts again from nothing.
  void LogOn() {
    ASSERT_EQ(MailTreeTest::LogOn("bob", "pw"), CMC_SUCCESS);
    login_.ForgetSeen();
  }

  fs::path Mail() const { return MailDir(); }

  // The one file of `dir`; "" when there is not exactly one.
  static std::string Only(const fs::path& dir) {
    auto names = FileNames(dir);
    EXPECT_EQ(names.size(), 1u) << dir.string();
    return names.size() == 1 ? names[0] : std::string();
  }
  // The bytes of the one message in `user`'s mailbox.
  std::string OnlyMessage(const char* user) const { return Read(Mailbox(user) / Only(Mailbox(user))); }
  // Nothing of a send is left in SND and PARCEL.
  void ExpectStagingEmpty() const {
    EXPECT_TRUE(FileNames(Mail() / "SND").empty());
    EXPECT_TRUE(FileNames(Mail() / "PARCEL").empty());
  }
  // A scratch file with `contents`; its path.
  std::string Source(const std::string& name, const std::string& contents) {
    const std::string path = dir_.Join(name);
    EXPECT_TRUE(vktest::WriteWholeFile(path, contents));
    return path;
  }
  static std::string Read(const fs::path& p) { return vktest::ReadWholeFile(p.string()); }

  CMC_return_code Send(CMC_message* m, CMC_flags flags = 0) { return cmc_send(session_, m, flags, 0, nullptr); }

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
