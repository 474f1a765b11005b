// A mail tree made by the library's own setup, a private workstation
// profile, a login-dialog driver, and the builders every suite uses.
#ifndef VKMSG_TESTS_SUPPORT_MAIL_TREE_H
#define VKMSG_TESTS_SUPPORT_MAIL_TREE_H

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "support/test_support.h"
#include "vkmsg/cmc.h"
#include "vkmsg/vkmsg.h"

namespace vktest {

constexpr int kAdminLoginTemplate = 1001;
constexpr int kLoginTemplate = 1006;

struct LoginAnswer {
  const char* name;  // null leaves the field as shown
  const char* password;
  int button;  // 1 Login, 2 Cancel
};

struct SeenDialog {  // as it came up
  int template_id;
  std::string name;
  std::string password;
};

class LoginDriver {
 public:
  // Every login dialog answered as this user; any other dialog cancelled.
  void AnswerAs(std::string user, std::string password);
  // One answer per dialog in turn, then Cancel.
  void Script(std::vector<LoginAnswer> answers);

  void Install() { vk_set_dialog_driver(&LoginDriver::Play, this); }
  static void Remove() { vk_set_dialog_driver(nullptr, nullptr); }

  // Since the last AnswerAs, Script or ForgetSeen.
  const std::vector<SeenDialog>& seen() const { return seen_; }
  int LoginsSeen() const;
  void ForgetSeen() { seen_.clear(); }
  static void Play(void* context, VkDialog* d);

 private:
  bool scripted_ = false;
  std::string user_;
  std::string password_;
  std::vector<LoginAnswer> answers_;
  size_t used_ = 0;
  std::vector<SeenDialog> seen_;
};

// A message reference as a host builds it: length, bytes, zero.
std::vector<char> RefBytes(const std::string& text);

// CMC records as a host fills them; the strings must outlive them.
CMC_recipient To(const char* address, CMC_enum role = CMC_ROLE_TO, const char* name = nullptr);
CMC_attachment Attach(const std::string& path, const char* title);
// Flags the arrays' last elements.
CMC_message Message(std::vector<CMC_recipient>& recipients, std::vector<CMC_attachment>* attachments,
                    const char* subject, const char* text);

// The writer's clock held at 4 December 1996 9:05:07 -0500, and its line.
bool FixedClock(vk::LocalTime* now, long* zoneWest);
extern const char kFixedDateLine[];

// Tag line, header lines (without line ends), empty line, body.
std::string MessageBytes(const std::vector<std::string>& header, const std::string& body = "");
// A header field folded over continuation lines.
std::string Folded(const std::string& name, const std::string& value);
// "year-month-day hour:minute:second zone" as numbers.
std::string When(const CMC_time& t);

// Never a user, recipient, parcel or path component: they climb out, name a
// drive or break a profile line.
extern const char* const kUnsafeNames[];
extern const size_t kUnsafeNameCount;

// References that name no message of the user's own, for a mailbox holding
// `pending` (a copy still being delivered): `other` (another user's message)
// directly, by climbing out of the mailbox and by its bare name; `outside` (a
// file beyond the mail tree) directly and by climbing; the mailbox itself.
std::vector<std::string> RefusedReferences(const std::string& pending, const std::string& other,
                                           const std::string& outside);

// What cmc_list and cmc_read gave, copied out before the block is freed.
struct Listed {
  std::string reference, name /* the reference's file name */, subject, originator_address, originator_name;
  CMC_time time{};
  CMC_flags flags = 0;
  bool read() const { return (flags & CMC_SUM_READ) != 0; }
};
struct Listing {
  CMC_return_code code = 0xFFFF;
  CMC_uint32 count = 0;
  std::vector<Listed> items;
};
struct ReadResult {  // missing strings read "(null)"
  struct Recipient {
    std::string name, address;
    CMC_enum role;
    CMC_flags flags;
  };
  struct Attachment {
    std::string filename, title;
    CMC_flags flags;
  };
  CMC_return_code code = 0xFFFF;
  bool handed_out = false, has_text = false, has_attachments = false;
  std::string reference, subject, text;
  CMC_time time{};
  CMC_flags flags = 0;
  std::vector<Recipient> recipients;
  std::vector<Attachment> attachments;
};

// Each test starts with no tree, session or driver of an earlier one; at
// the end every result block handed out since MakeTree must be back.
class MailTreeTest : public ::testing::Test {
 protected:
  using Users = std::vector<std::pair<const char*, const char*>>;  // name, password

  // Call from SetUp under ASSERT_NO_FATAL_FAILURE.  Installs login_.
  void MakeTree(const Users& users);
  void TearDown() override;
  void CloseTree();

  // Into session_ (0xDEAD when none is handed out).
  CMC_return_code LogOn(const char* name = nullptr, const char* password = nullptr, CMC_extension* ext = nullptr,
                        CMC_uint16 version = 100);
  CMC_return_code LogOnAs(const char* user, const char* password);
  CMC_return_code LogOff();

  // The calls in session_, results copied out and freed.
  CMC_return_code Send(CMC_message* m, CMC_flags flags = 0) { return cmc_send(session_, m, flags, 0, nullptr); }
  Listing List(CMC_flags flags = 0, CMC_uint32 maximum = 0, const std::string* seed = nullptr);
  CMC_uint32 Count(CMC_uint32 maximum = 0, const std::string* seed = nullptr);
  ReadResult ReadMessage(const std::string& reference, CMC_flags flags = 0);
  CMC_return_code ActOn(const std::string& reference, CMC_enum operation = CMC_ACT_ON_DELETE);

  std::filesystem::path MailDir(const std::string& rel = "") const;
  std::filesystem::path Mail() const { return MailDir(); }
  std::filesystem::path UserDir(const std::string& user) const { return MailDir("USERS") / user; }
  std::filesystem::path Mailbox(const std::string& user) const { return UserDir(user) / "MHS"; }
  std::filesystem::path Parcels(const std::string& user) const { return UserDir(user) / "IPARCEL"; }

  // The plain files of `dir`, sorted; Only: the one file, else "".
  static size_t CountFiles(const std::filesystem::path& dir) { return FileNames(dir).size(); }
  static std::vector<std::string> FileNames(const std::filesystem::path& dir);
  static std::string Only(const std::filesystem::path& dir);
  static std::string Read(const std::filesystem::path& p) { return ReadWholeFile(p.string()); }
  std::string OnlyMessage(const char* user) const { return Read(Mailbox(user) / Only(Mailbox(user))); }
  void ExpectStagingEmpty() const;  // SND and PARCEL
  std::string Source(const std::string& name, const std::string& contents);

  ScratchDir dir_;
  PrivateProfile profile_{dir_};
  LoginDriver login_;
  CMC_session_id session_ = 0;
  int blocks_ = 0;
};

// Users bob, ann, carl and dave, bob logged on unless asked otherwise, and
// the writer's clock fixed.
class SenderTree : public MailTreeTest {
 protected:
  virtual bool LogOnAtStart() const { return true; }
  void SetUp() override;
  void TearDown() override;
  void LogOn();  // bob; the dialog count starts afresh
};

// Users ann and bob, ann logged on; mailbox_ as the library spells it.
class MailboxTest : public MailTreeTest {
 protected:
  void SetUp() override;
  std::string InBox(const std::string& name) const { return mailbox_ + name; }
  bool InBoxExists(const std::string& name) const { return FileExists(InBox(name)); }
  void Put(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteWholeFile(InBox(name), bytes)) << name;
  }
  void PutMessage(const std::string& name, const std::string& subject);

  std::string mailbox_;
};

}  // namespace vktest

#endif
