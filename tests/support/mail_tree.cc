#include "support/mail_tree.h"

#include <algorithm>
#include <cstring>

#include "cmc/module.h"
#include "cmc/pool.h"
#include "cmc/session.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "send/deliver.h"
#include "send/smf_writer.h"
#include "store/config.h"
#include "users/registry.h"

namespace fs = std::filesystem;

namespace vktest {

namespace {
CMC_message_reference* AsRef(std::vector<char>& bytes) {
  return reinterpret_cast<CMC_message_reference*>(bytes.data());
}
}  // namespace

void LoginDriver::AnswerAs(std::string user, std::string password) {
  Script({});
  scripted_ = false;
  user_ = std::move(user);
  password_ = std::move(password);
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

void LoginDriver::Play(void* context, VkDialog* d) {
  LoginDriver& self = *static_cast<LoginDriver*>(context);
  char name[80] = "";
  char password[80] = "";
  const int t = vk_dialog_template(d);
  vk_dialog_get_text(d, 1501, name, sizeof name);
  vk_dialog_get_text(d, 1502, password, sizeof password);
  self.seen_.push_back({t, name, password});
  LoginAnswer a = {self.user_.c_str(), self.password_.c_str(), 1};
  if (self.scripted_) {
    a = self.used_ < self.answers_.size() ? self.answers_[self.used_++] : LoginAnswer{nullptr, nullptr, 2};
  } else if (t != kAdminLoginTemplate && t != kLoginTemplate) {
    a.button = 2;
  }
  if (a.button == 1 || self.scripted_) {
    if (a.name != nullptr) vk_dialog_set_text(d, 1501, a.name);
    if (a.password != nullptr) vk_dialog_set_text(d, 1502, a.password);
  }
  vk_dialog_click(d, a.button);
}

std::vector<char> RefBytes(const std::string& text) {
  std::vector<char> bytes(sizeof(CMC_uint32) + text.size() + 1, '\0');
  const CMC_uint32 length = static_cast<CMC_uint32>(text.size());
  std::memcpy(bytes.data(), &length, sizeof length);
  std::memcpy(bytes.data() + sizeof length, text.data(), text.size());
  return bytes;
}

CMC_recipient To(const char* address, CMC_enum role, const char* name) {
  CMC_recipient r{};
  r.name = const_cast<char*>(name);
  r.address = const_cast<char*>(address);
  r.name_type = CMC_TYPE_INDIVIDUAL;
  r.role = role;
  return r;
}

CMC_attachment Attach(const std::string& path, const char* title) {
  CMC_attachment a{};
  a.attach_title = const_cast<char*>(title);
  a.attach_filename = const_cast<char*>(path.c_str());
  return a;
}

CMC_message Message(std::vector<CMC_recipient>& recipients, std::vector<CMC_attachment>* attachments,
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

bool FixedClock(vk::LocalTime* now, long* zoneWest) {
  *now = vk::LocalTime{96, 11, 4, 9, 5, 7};
  *zoneWest = 5 * 3600;
  return true;
}
const char kFixedDateLine[] = "Date-posted:  4-Dec-1996  9:05:07 -0500\r\n";

std::string MessageBytes(const std::vector<std::string>& header, const std::string& body) {
  std::string bytes = "SMF-71\r\n";
  for (const std::string& line : header) bytes += line + "\r\n";
  return bytes + "\r\n" + body;
}

std::string Folded(const std::string& name, const std::string& value) {
  std::string line = name + ": " + value.substr(0, 70);
  for (size_t at = 70; at < value.size(); at += 70) line += "\r\n " + value.substr(at, 70);
  return line;
}

std::string When(const CMC_time& t) {
  return std::to_string(t.year) + "-" + std::to_string(t.month) + "-" + std::to_string(t.day) + " " +
         std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" + std::to_string(t.second) + " " +
         std::to_string(t.tmzone);
}

const char* const kUnsafeNames[] = {"..", "../x", "..\\x", "x/..", "a\\b", "c:x", "x\r\ny=z", "a=b"};
const size_t kUnsafeNameCount = sizeof kUnsafeNames / sizeof kUnsafeNames[0];

std::vector<std::string> RefusedReferences(const std::string& pending, const std::string& other,
                                           const std::string& outside) {
  const std::string up = std::string("..") + vk::kPathSep,
                    box = fs::path(pending).parent_path().string() + vk::kPathSep;
  const fs::path o(other);
  return {other,
          box + up + up + o.parent_path().parent_path().filename().string() + vk::kPathSep + "MHS" + vk::kPathSep +
              o.filename().string(),
          o.filename().string(),
          outside,
          box + up + up + up + up + up + fs::path(outside).filename().string(),
          pending,
          box,
          box + "..",
          ""};
}

void MailTreeTest::MakeTree(const Users& users) {
  vk::ModuleAttach(nullptr);
  ASSERT_EQ(vk::Session().session_id, 0u);
  CloseTree();
  ASSERT_EQ(bSetupMHSDirs(dir_.path().c_str()), 1);
  for (const auto& user : users) ASSERT_EQ(bAddUser(user.first, user.second), 1) << user.first;
  CloseTree();
  login_.Install();
  blocks_ = vk::PoolLiveBlockCount();
}

void MailTreeTest::TearDown() {
  CloseTree();
  EXPECT_EQ(vk::PoolLiveBlockCount(), blocks_) << "a result block was left behind";
}

void MailTreeTest::CloseTree() {
  if (vk::Session().session_id != 0) cmc_logoff(vk::Session().session_id, 0, 0, nullptr);
  LoginDriver::Remove();
  vk::UnloadConfig();
  vk::SetCachedUserList(nullptr);
}

CMC_return_code MailTreeTest::LogOn(const char* name, const char* password, CMC_extension* ext, CMC_uint16 version) {
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

Listing MailTreeTest::List(CMC_flags flags, CMC_uint32 maximum, const std::string* seed) {
  Listing out;
  std::vector<char> seed_bytes = RefBytes(seed ? *seed : "");
  CMC_message_summary* result = reinterpret_cast<CMC_message_summary*>(1);
  out.count = maximum;
  out.code = cmc_list(session_, nullptr, flags, seed ? AsRef(seed_bytes) : nullptr, &out.count, 0, &result, nullptr);
  if (result == nullptr) return out;
  for (const CMC_message_summary* s = result; s != result + out.count; ++s) {
    Listed l;
    if (s->message_reference) {
      l.reference.assign(s->message_reference->string, s->message_reference->length);
      EXPECT_EQ(s->message_reference->string[s->message_reference->length], '\0');
    }
    l.name = fs::path(l.reference).filename().string();
    if (s->subject) l.subject = s->subject;
    if (s->originator != nullptr) {
      l.originator_address = s->originator->address ? s->originator->address : "";
      l.originator_name = s->originator->name ? s->originator->name : "";
    }
    l.time = s->time_sent;
    l.flags = s->summary_flags;
    out.items.push_back(l);
  }
  EXPECT_EQ(cmc_free(result), CMC_SUCCESS);
  return out;
}

CMC_uint32 MailTreeTest::Count(CMC_uint32 maximum, const std::string* seed) {
  std::vector<char> seed_bytes = RefBytes(seed ? *seed : "");
  CMC_uint32 count = maximum;
  EXPECT_EQ(
      cmc_list(session_, nullptr, CMC_LIST_COUNT_ONLY, seed ? AsRef(seed_bytes) : nullptr, &count, 0, nullptr, nullptr),
      CMC_SUCCESS);
  return count;
}

ReadResult MailTreeTest::ReadMessage(const std::string& reference, CMC_flags flags) {
  std::vector<char> ref = RefBytes(reference);
  CMC_message* m = reinterpret_cast<CMC_message*>(1);
  ReadResult r;
  r.code = cmc_read(session_, AsRef(ref), flags, &m, 0, nullptr);
  if (m == nullptr) return r;
  r.handed_out = true;
  if (m->message_reference) r.reference.assign(m->message_reference->string, m->message_reference->length);
  if (m->subject) r.subject = m->subject;
  if ((r.has_text = m->text_note != nullptr)) r.text = m->text_note;
  r.time = m->time_sent;
  r.flags = m->message_flags;
  for (const CMC_recipient* p = m->recipients; p != nullptr; ++p) {
    r.recipients.push_back({p->name ? p->name : "(null)", p->address ? p->address : "(null)", p->role, p->recip_flags});
    if (p->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
  }
  r.has_attachments = m->attachments != nullptr;
  for (const CMC_attachment* a = m->attachments; a != nullptr; ++a) {
    r.attachments.push_back({a->attach_filename ? a->attach_filename : "(null)",
                             a->attach_title ? a->attach_title : "(null)", a->attach_flags});
    if (a->attach_flags & CMC_ATT_LAST_ELEMENT) break;
  }
  EXPECT_EQ(cmc_free(m), CMC_SUCCESS);
  return r;
}

CMC_return_code MailTreeTest::ActOn(const std::string& reference, CMC_enum operation) {
  std::vector<char> ref = RefBytes(reference);
  return cmc_act_on(session_, AsRef(ref), operation, 0, 0, nullptr);
}

std::string MailTreeTest::Only(const fs::path& dir) {
  auto names = FileNames(dir);
  EXPECT_EQ(names.size(), 1u) << dir.string();
  return names.size() == 1 ? names[0] : std::string();
}

void MailTreeTest::ExpectStagingEmpty() const {
  EXPECT_TRUE(FileNames(Mail() / "SND").empty());
  EXPECT_TRUE(FileNames(Mail() / "PARCEL").empty());
}

std::string MailTreeTest::Source(const std::string& name, const std::string& contents) {
  const std::string path = dir_.Join(name);
  EXPECT_TRUE(WriteWholeFile(path, contents));
  return path;
}

void SenderTree::SetUp() {
  ASSERT_NO_FATAL_FAILURE(MakeTree({{"bob", "pw"}, {"ann", "pw"}, {"carl", "pw"}, {"dave", "pw"}}));
  login_.AnswerAs("bob", "pw");
  if (LogOnAtStart()) LogOn();
  vk::SetSmfClock(FixedClock);
}

void SenderTree::TearDown() {
  vk::PlatFaultDisarm();
  vk::SetSmfClock(nullptr);
  vk::SetComposeDialog(nullptr);
  MailTreeTest::TearDown();
}

void SenderTree::LogOn() {
  ASSERT_EQ(MailTreeTest::LogOn("bob", "pw"), CMC_SUCCESS);
  login_.ForgetSeen();
}

void MailboxTest::SetUp() {
  ASSERT_NO_FATAL_FAILURE(MakeTree({{"ann", "pw"}, {"bob", "pw"}}));
  ASSERT_EQ(LogOnAs("ann", "pw"), CMC_SUCCESS);
  mailbox_ = vk::g_mail_config.user_dir;
  ASSERT_FALSE(mailbox_.empty());
}

void MailboxTest::PutMessage(const std::string& name, const std::string& subject) {
  Put(name, MessageBytes({"From: carol", "To: ann", "Subject: " + subject, "Date-posted:  4-Dec-1996  9:05:07 -0500"},
                         "Hello\r\n"));
}

}  // namespace vktest
