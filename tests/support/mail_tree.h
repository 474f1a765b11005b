// A mail tree made by the library's own setup in a scratch directory, with a
// private workstation profile pointing at it, a driver that plays the user in
// front of the login dialog, and the one set of builders of CMC records,
// references and message files that every suite uses.
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

// CMC records as a host fills them.  The strings must outlive the records.
CMC_recipient To(const char* address, CMC_enum role = CMC_ROLE_TO, const char* name = nullptr);
CMC_attachment Attach(const std::string& path, const char* title);
// A message with the given arrays (their last elements are flagged here).
CMC_message Message(std::vector<CMC_recipient>& recipients, std::vector<CMC_attachment>* attachments,
                    const char* subject, const char* text);

// The writer's clock held at 4 December 1996, 9:05:07, five hours west of
// UTC, and the header line it gives.
bool FixedClock(vk::LocalTime* now, long* zoneWest);
extern const char kFixedDateLine[];

// The bytes of a message file: the tag line, the header lines (without
// line ends), the empty line and the body.
std::string MessageBytes(const std::vector<std::string>& header, const std::string& body = "");
// A header field whose long value goes on over continuation lines.
std::string Folded(const std::string& name, const std::string& value);
// "year-month-day hour:minute:second zone", the pieces as numbers.
std::string When(const CMC_time& t);

// Names that must never become a user, a recipient, a parcel or a path
// component: they climb out, name a drive or break a profile line.
extern const char* const kUnsafeNames[];
extern const size_t kUnsafeNameCount;

#ifndef _WIN32
// Sets TZ for the life of the object and puts the old one back.
class ScopedTz {
 public:
  ScopedTz();
  ~ScopedTz();
  ScopedTz(const ScopedTz&) = delete;
  ScopedTz& operator=(const ScopedTz&) = delete;
  void Set(const char* tz);

 private:
  bool had_;
  std::string old_;
};
#endif

// What cmc_list gave for one message, copied out before the block is freed.
struct Listed {
  std::string reference;
  std::string name;  // the file-name part of the reference
  std::string subject;
  bool has_originator = false;
  std::string originator_address;
  std::string originator_name;
  CMC_time time{};
  CMC_flags flags = 0;
  bool read() const { return (flags & CMC_SUM_READ) != 0; }
};

struct Listing {
  CMC_return_code code = 0xFFFF;
  CMC_uint32 count = 0;
  bool result_null = true;
  std::vector<Listed> items;
};

// What cmc_read gave, copied out before the block is freed.  Missing
// strings read "(null)".
struct ReadResult {
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
  bool handed_out = false;
  std::string reference;
  std::string subject;
  bool has_text = false;
  std::string text;
  CMC_time time{};
  CMC_flags flags = 0;
  std::vector<Recipient> recipients;
  bool has_attachments = false;
  std::vector<Attachment> attachments;
};

// The library holds one tree, one session and one dialog driver at a time;
// a fixture derived from this one starts each test with none of an earlier
// test's and drops its own at the end, where every result block handed out
// since MakeTree must have come back.
class MailTreeTest : public ::testing::Test {
 protected:
  using Users = std::vector<std::pair<const char*, const char*>>;  // name, password

  // Call from SetUp under ASSERT_NO_FATAL_FAILURE.  Installs login_.
  void MakeTree(const Users& users);
  void TearDown() override;
  void CloseTree();

  // cmc_logon into session_ (left 0xDEAD when the logon hands none out).
  CMC_return_code LogOn(const char* name = nullptr, const char* password = nullptr, CMC_extension* ext = nullptr,
                        CMC_uint16 version = 100);
  // LogOn with the dialog answered as this user.
  CMC_return_code LogOnAs(const char* user, const char* password);
  CMC_return_code LogOff();

  // The public calls in session_, their results copied out and freed.
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

  // The plain files of `dir` (none when it does not exist).
  static size_t CountFiles(const std::filesystem::path& dir) { return FileNames(dir).size(); }
  // Their names, sorted.
  static std::vector<std::string> FileNames(const std::filesystem::path& dir);
  // The one file of `dir`; "" when there is not exactly one.
  static std::string Only(const std::filesystem::path& dir);
  static std::string Read(const std::filesystem::path& p) { return ReadWholeFile(p.string()); }
  // The bytes of the one message in `user`'s mailbox.
  std::string OnlyMessage(const char* user) const { return Read(Mailbox(user) / Only(Mailbox(user))); }
  // Nothing of a send is left in SND and PARCEL.
  void ExpectStagingEmpty() const;
  // A scratch file with `contents`; its path.
  std::string Source(const std::string& name, const std::string& contents);

  ScratchDir dir_;
  PrivateProfile profile_{dir_};
  LoginDriver login_;
  CMC_session_id session_ = 0;
  int blocks_ = 0;
};

// Users bob, ann, carl and dave, bob logged on through the login dialog
// (unless a fixture asks otherwise), and the writer's clock fixed.
class SenderTree : public MailTreeTest {
 protected:
  virtual bool LogOnAtStart() const { return true; }
  void SetUp() override;
  void TearDown() override;
  // Logs bob on; the dialog count starts again from nothing.
  void LogOn();
};

// Users ann and bob, ann logged on; mailbox_ is her mailbox as the library
// spells it (with its separator).
class MailboxTest : public MailTreeTest {
 protected:
  void SetUp() override;
  std::string InBox(const std::string& name) const { return mailbox_ + name; }
  bool InBoxExists(const std::string& name) const { return FileExists(InBox(name)); }
  void Put(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteWholeFile(InBox(name), bytes)) << name;
  }
  // A plain message from carol with a subject.
  void PutMessage(const std::string& name, const std::string& subject);

  std::string mailbox_;
};

}  // namespace vktest

#endif
