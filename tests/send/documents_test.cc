// cmc_send_documents: the message built from the delimited strings, and the
// call with and without an open session (its own logon and logoff).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cmc/module.h"
#include "cmc/pool.h"
#include "cmc/session.h"
#include "send/documents.h"
#include "store/config.h"
#include "support/test_support.h"
#include "users/registry.h"
#include "vkmsg/vkmsg.h"

namespace {

namespace fs = std::filesystem;

// Logs on as bob (password "pw"), or cancels, and counts the login dialogs.
struct Login {
  int seen = 0;
  bool cancel = false;
};

void PlayLogin(void* context, VkDialog* d) {
  Login* login = static_cast<Login*>(context);
  ++login->seen;
  if (login->cancel) {
    vk_dialog_click(d, 2);
    return;
  }
  vk_dialog_set_text(d, 1501, "bob");
  vk_dialog_set_text(d, 1502, "pw");
  vk_dialog_click(d, 1);
}

std::vector<std::string> RecipientNames(const CMC_message& m) {
  std::vector<std::string> names;
  for (const CMC_recipient* r = m.recipients; r != nullptr; ++r) {
    names.push_back(r->name);
    if (r->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
  }
  return names;
}

// (path, title or "-") of every attachment.
std::vector<std::pair<std::string, std::string>> Attachments(const CMC_message& m) {
  std::vector<std::pair<std::string, std::string>> list;
  for (const CMC_attachment* a = m.attachments; a != nullptr; ++a) {
    list.emplace_back(a->attach_filename, a->attach_title != nullptr ? a->attach_title : "-");
    if (a->attach_flags & CMC_ATT_LAST_ELEMENT) break;
  }
  return list;
}

class Documents : public ::testing::Test {
 protected:
  void SetUp() override {
    vk::ModuleAttach(nullptr);
    ASSERT_EQ(vk::Session().session_id, 0u);
    vk::UnloadConfig();
    vk::SetCachedUserList(nullptr);
    ASSERT_EQ(bSetupMHSDirs(dir_.path().c_str()), 1);
    for (const char* user : {"ann", "bob"}) ASSERT_EQ(bAddUser(user, "pw"), 1);
    vk::UnloadConfig();
    vk_set_dialog_driver(PlayLogin, &login_);
    blocks_ = vk::PoolLiveBlockCount();
    std::memset(&doc_, 0, sizeof doc_);
  }
  void TearDown() override {
    vk::ReleaseDocumentMessage(&doc_);
    if (vk::Session().session_id != 0) cmc_logoff(vk::Session().session_id, 0, 0, nullptr);
    vk_set_dialog_driver(nullptr, nullptr);
    vk::UnloadConfig();
    vk::SetCachedUserList(nullptr);
    EXPECT_EQ(vk::PoolLiveBlockCount(), blocks_);
  }

  CMC_return_code Build(const char* recipients, const char* paths, const char* names,
                        const char* delimiter = ";", CMC_flags flags = 0, const char* note = nullptr) {
    vk::ReleaseDocumentMessage(&doc_);
    return vk::BuildDocumentMessage(recipients, "subject", note, flags, paths, names, delimiter, &doc_);
  }
  void LogOn() {
    CMC_session_id session = 0;
    ASSERT_EQ(cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, 100, 0, &session, nullptr), CMC_SUCCESS);
    login_.seen = 0;
  }
  std::string File(const char* name, const std::string& contents) {
    const std::string path = dir_.Join(name);
    EXPECT_TRUE(vktest::WriteWholeFile(path, contents));
    return path;
  }
  static CMC_return_code Send(const char* recipients, const char* paths, const char* names,
                              const char* delimiter, CMC_flags flags = 0, const char* note = "note") {
    return cmc_send_documents(const_cast<char*>(recipients), const_cast<char*>("subject"),
                              const_cast<char*>(note), flags, const_cast<char*>(paths),
                              const_cast<char*>(names), const_cast<char*>(delimiter), 0);
  }

  vktest::ScratchDir dir_;
  vktest::PrivateProfile profile_{dir_};
  Login login_;
  vk::DocumentMessage doc_;
  int blocks_ = 0;
};

TEST_F(Documents, MessageRecordOfTheCall) {
  const char* subject = "subject";
  ASSERT_EQ(vk::BuildDocumentMessage("ann;bob", subject, "hello", 0, nullptr, nullptr, ";", &doc_), CMC_SUCCESS);
  const CMC_message& m = doc_.message;
  EXPECT_EQ(m.message_reference, nullptr);
  EXPECT_STREQ(m.message_type, "CMC: IPM");
  EXPECT_EQ(m.subject, subject);
  EXPECT_STREQ(m.text_note, "hello");
  EXPECT_EQ(m.message_flags, CMC_MSG_LAST_ELEMENT);
  EXPECT_EQ(m.message_extensions, nullptr);
  EXPECT_EQ(m.attachments, nullptr);
  CMC_time zero{};
  EXPECT_EQ(std::memcmp(&m.time_sent, &zero, sizeof zero), 0);
  ASSERT_EQ(RecipientNames(m), (std::vector<std::string>{"ann", "bob"}));
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(m.recipients[i].address, nullptr);
    EXPECT_EQ(m.recipients[i].role, static_cast<CMC_enum>(CMC_ROLE_TO));
    EXPECT_EQ(m.recipients[i].name_type, 0u);
    EXPECT_EQ(m.recipients[i].recip_extensions, nullptr);
  }
  EXPECT_EQ(m.recipients[0].recip_flags, 0u);
  EXPECT_EQ(m.recipients[1].recip_flags, CMC_RECIP_LAST_ELEMENT);

  ASSERT_EQ(Build(nullptr, nullptr, nullptr), CMC_SUCCESS);
  EXPECT_EQ(doc_.message.recipients, nullptr);
  EXPECT_EQ(doc_.message.text_note, nullptr);
  ASSERT_EQ(Build(";;;", "", nullptr), CMC_SUCCESS);
  EXPECT_EQ(doc_.message.recipients, nullptr);
  EXPECT_EQ(doc_.message.attachments, nullptr);
}

TEST_F(Documents, EveryDelimiterCharacterSplitsAndEmptyPiecesDrop) {
  ASSERT_EQ(Build(";ann,,bob;;carol,", nullptr, nullptr, ";,"), CMC_SUCCESS);
  EXPECT_EQ(RecipientNames(doc_.message), (std::vector<std::string>{"ann", "bob", "carol"}));
  // Duplicates stay: each piece is one recipient.
  ASSERT_EQ(Build("ann;ann", nullptr, nullptr), CMC_SUCCESS);
  EXPECT_EQ(RecipientNames(doc_.message), (std::vector<std::string>{"ann", "ann"}));
  // No trailing delimiter needed; an empty delimiter leaves the text whole.
  ASSERT_EQ(Build("ann bob", nullptr, nullptr, ""), CMC_SUCCESS);
  EXPECT_EQ(RecipientNames(doc_.message), (std::vector<std::string>{"ann bob"}));
  // The caller's strings are left as they were.
  char text[] = "ann;bob";
  ASSERT_EQ(Build(text, nullptr, nullptr), CMC_SUCCESS);
  EXPECT_STREQ(text, "ann;bob");
  EXPECT_EQ(Build("ann", nullptr, nullptr, nullptr), CMC_E_INVALID_PARAMETER);
}

TEST_F(Documents, AttachmentsAreTitledOnlyWhenNamesMatchPaths) {
  ASSERT_EQ(Build("ann", "a.txt;dir/b.doc", "First;Second"), CMC_SUCCESS);
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(Attachments(doc_.message), (Pairs{{"a.txt", "First"}, {"dir/b.doc", "Second"}}));
  const CMC_attachment* a = doc_.message.attachments;
  EXPECT_STREQ(a[0].attach_type, "? ? ? ? ? ?");
  EXPECT_EQ(a[0].attach_flags, CMC_ATT_APP_OWNS_FILE);
  EXPECT_EQ(a[1].attach_flags, CMC_ATT_APP_OWNS_FILE | CMC_ATT_LAST_ELEMENT);
  EXPECT_EQ(a[1].attach_extensions, nullptr);

  // Too few, too many or no names: untitled, sent under their file names.
  for (const char* names : {"Only", "One;Two;Three", static_cast<const char*>(nullptr), ";;"}) {
    ASSERT_EQ(Build("ann", "a.txt;dir/b.doc", names), CMC_SUCCESS);
    EXPECT_EQ(Attachments(doc_.message), (Pairs{{"a.txt", "-"}, {"dir/b.doc", "-"}}));
  }
}

TEST_F(Documents, FirstFileBecomesTheTextNote) {
  const std::string body = "line one\r\nline two\r\n";
  const std::string first = File("note.txt", body);
  const std::string second = File("second.bin", "x");
  ASSERT_EQ(Build("ann", first.c_str(), nullptr, ";", CMC_FIRST_ATTACH_AS_TEXT_NOTE, "ignored"), CMC_SUCCESS);
  EXPECT_EQ(std::string(doc_.message.text_note), body);
  EXPECT_EQ(doc_.message.attachments, nullptr);

  // The first name goes with the first path, so the rest stay paired.
  const std::string both = first + ";" + second;
  ASSERT_EQ(Build("ann", both.c_str(), "Note;Second", ";", CMC_FIRST_ATTACH_AS_TEXT_NOTE), CMC_SUCCESS);
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(Attachments(doc_.message), (Pairs{{second, "Second"}}));

  const std::string empty = File("empty.txt", "");
  ASSERT_EQ(Build("ann", empty.c_str(), nullptr, ";", CMC_FIRST_ATTACH_AS_TEXT_NOTE), CMC_SUCCESS);
  EXPECT_STREQ(doc_.message.text_note, "");
}

TEST_F(Documents, TextNoteFileThatCannotBeRead) {
  const std::string missing = dir_.Join("missing.txt");
  EXPECT_EQ(Build("ann", missing.c_str(), nullptr, ";", CMC_FIRST_ATTACH_AS_TEXT_NOTE),
            CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(Build("ann", dir_.path().c_str(), nullptr, "|", CMC_FIRST_ATTACH_AS_TEXT_NOTE),
            CMC_E_ATTACHMENT_OPEN_FAILURE);
  const std::string below = File("below.txt", std::string(65535, 'b'));
  ASSERT_EQ(Build("ann", below.c_str(), nullptr, ";", CMC_FIRST_ATTACH_AS_TEXT_NOTE), CMC_SUCCESS);
  EXPECT_EQ(std::strlen(doc_.message.text_note), 65535u);
  const std::string large = File("large.txt", std::string(65536, 'x'));
  EXPECT_EQ(Build("ann", large.c_str(), nullptr, ";", CMC_FIRST_ATTACH_AS_TEXT_NOTE),
            CMC_E_ATTACHMENT_READ_FAILURE);
  // The flag needs a first file.
  EXPECT_EQ(Build("ann", nullptr, nullptr, ";", CMC_FIRST_ATTACH_AS_TEXT_NOTE), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(Build("ann", ";", nullptr, ";", CMC_FIRST_ATTACH_AS_TEXT_NOTE), CMC_E_INVALID_PARAMETER);
}

TEST_F(Documents, StringsThatDoNotSplitWholeFail) {
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "a;";
  EXPECT_EQ(Build(many.c_str(), nullptr, nullptr), CMC_E_FAILURE);
  EXPECT_EQ(Build("ann", many.c_str(), nullptr), CMC_E_FAILURE);
  EXPECT_EQ(Build("ann", "a.txt", many.c_str()), CMC_E_FAILURE);
  // Long but splittable: every piece arrives.
  std::string names;
  for (int i = 0; i < 800; ++i) names += "user" + std::to_string(i) + ",";
  ASSERT_EQ(Build(names.c_str(), nullptr, nullptr, ","), CMC_SUCCESS);
  const std::vector<std::string> got = RecipientNames(doc_.message);
  ASSERT_EQ(got.size(), 800u);
  EXPECT_EQ(got[799], "user799");
}

TEST_F(Documents, NullDelimiterWithSessionLeavesItOpen) {
  LogOn();
  EXPECT_EQ(Send("ann", nullptr, nullptr, nullptr), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(login_.seen, 0);
  EXPECT_EQ(vk::Session().session_id, 1u);
}

TEST_F(Documents, NullDelimiterWithoutSessionLogsOnAndOffAgain) {
  EXPECT_EQ(Send("ann", nullptr, nullptr, nullptr, CMC_LOGON_UI_ALLOWED), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(login_.seen, 1);
  EXPECT_EQ(vk::Session().session_id, 0u);
  EXPECT_FALSE(vk::ConfigLoaded());
}

TEST_F(Documents, CancelledLogonEndsTheCall) {
  login_.cancel = true;
  EXPECT_EQ(Send("ann", nullptr, nullptr, ";"), CMC_E_USER_CANCEL);
  EXPECT_EQ(login_.seen, 1);
  EXPECT_EQ(vk::Session().session_id, 0u);
}

TEST_F(Documents, UnsupportedFlagsAreRefusedBySend) {
  EXPECT_EQ(Send("ann", nullptr, nullptr, ";", 0x00000010), CMC_E_UNSUPPORTED_FLAG);
  EXPECT_EQ(login_.seen, 1);
  EXPECT_EQ(vk::Session().session_id, 0u);
  LogOn();
  EXPECT_EQ(Send("ann", nullptr, nullptr, ";", 0x00000010), CMC_E_UNSUPPORTED_FLAG);
  EXPECT_EQ(vk::Session().session_id, 1u);
  EXPECT_EQ(login_.seen, 0);
}


// Delivery through cmc_send: what arrives in the mailboxes.
class DocumentsDelivered : public Documents {
 protected:
  std::string MailPath(const std::vector<std::string>& parts) const {
    fs::path p = fs::path(dir_.path()) / "MHS" / "MAIL";
    for (const std::string& part : parts) p /= part;
    return p.string();
  }
  // The contents of every file in a directory.
  std::vector<std::string> Files(const std::string& dir) const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
      if (entry.is_regular_file()) files.push_back(vktest::ReadWholeFile(entry.path().string()));
    }
    return files;
  }
  std::vector<std::string> Inbox(const char* user) const { return Files(MailPath({"USERS", user, "MHS"})); }
  std::vector<std::string> Parcels(const char* user) const {
    return Files(MailPath({"USERS", user, "IPARCEL"}));
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(DocumentsDelivered, WithoutSessionTheCallLogsOnSendsAndLogsOff) {
  const std::string doc = File("report.txt", "report contents");
  ASSERT_EQ(Send("ann;bob", doc.c_str(), "Report", ";", CMC_LOGON_UI_ALLOWED), CMC_SUCCESS);
  EXPECT_EQ(login_.seen, 1);
  EXPECT_EQ(vk::Session().session_id, 0u);
  for (const char* user : {"ann", "bob"}) {
    SCOPED_TRACE(user);
    const std::vector<std::string> inbox = Inbox(user);
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_TRUE(Has(inbox[0], "CMC: IPM"));
    EXPECT_TRUE(Has(inbox[0], "Attachment-name: Report\r\n"));
    EXPECT_TRUE(Has(inbox[0], "Subject: subject\r\n"));
    EXPECT_TRUE(Has(inbox[0], "\r\n\r\nnote"));
    EXPECT_EQ(Parcels(user), (std::vector<std::string>{"report contents"}));
  }
  // Nothing of the send stays staged.
  EXPECT_TRUE(Files(MailPath({"SND"})).empty());
  EXPECT_TRUE(Files(MailPath({"PARCEL"})).empty());
  // The caller's file is his.
  EXPECT_EQ(vktest::ReadWholeFile(doc), "report contents");
}

TEST_F(DocumentsDelivered, OpenSessionIsUsedAndLeftOpen) {
  LogOn();
  const std::string doc = File("a.txt", "A");
  ASSERT_EQ(Send("ann", doc.c_str(), "A", ";"), CMC_SUCCESS);
  EXPECT_EQ(login_.seen, 0);
  EXPECT_EQ(vk::Session().session_id, 1u);
  EXPECT_EQ(Inbox("ann").size(), 1u);
  EXPECT_TRUE(Inbox("bob").empty());
}

TEST_F(DocumentsDelivered, UntitledAttachmentsTravelUnderTheirFileNames) {
  LogOn();
  const std::string a = File("first.txt", "1");
  const std::string b = File("second.txt", "2");
  const std::string paths = a + "|" + b;
  ASSERT_EQ(Send("ann", paths.c_str(), nullptr, "|"), CMC_SUCCESS);
  // One name for two paths pairs nothing up.
  ASSERT_EQ(Send("bob", paths.c_str(), "Only", "|"), CMC_SUCCESS);
  for (const char* user : {"ann", "bob"}) {
    SCOPED_TRACE(user);
    const std::vector<std::string> inbox = Inbox(user);
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_TRUE(Has(inbox[0], "Attachment-name: first.txt, "));
    EXPECT_TRUE(Has(inbox[0], "second.txt\r\n"));
    EXPECT_FALSE(Has(inbox[0], "Only"));
    EXPECT_EQ(Parcels(user).size(), 2u);
  }
}

TEST_F(DocumentsDelivered, FirstFileIsSentAsTheBody) {
  LogOn();
  const std::string note = File("note.txt", "the body text");
  ASSERT_EQ(Send("ann,bob", note.c_str(), nullptr, ",", CMC_FIRST_ATTACH_AS_TEXT_NOTE, "ignored"), CMC_SUCCESS);
  const std::vector<std::string> inbox = Inbox("ann");
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_TRUE(Has(inbox[0], "\r\n\r\nthe body text"));
  EXPECT_FALSE(Has(inbox[0], "ignored"));
  EXPECT_FALSE(Has(inbox[0], "Attachment"));
  EXPECT_TRUE(Parcels("ann").empty());
  EXPECT_EQ(Inbox("bob").size(), 1u);
}

TEST_F(DocumentsDelivered, RecipientsAreLookedUpByName) {
  LogOn();
  // A piece is a user name, not an address.
  EXPECT_EQ(Send("ann@host", nullptr, nullptr, ";"), CMC_E_RECIPIENT_NOT_FOUND);
  EXPECT_EQ(Send("nobody", nullptr, nullptr, ";"), CMC_E_RECIPIENT_NOT_FOUND);
  EXPECT_EQ(Send("../ann", nullptr, nullptr, ";"), CMC_E_RECIPIENT_NOT_FOUND);
  EXPECT_TRUE(Inbox("ann").empty());
  EXPECT_EQ(Send(";;", nullptr, nullptr, ";"), CMC_E_INVALID_MESSAGE_PARAMETER);
  EXPECT_EQ(Send(nullptr, nullptr, nullptr, ";"), CMC_E_INVALID_MESSAGE_PARAMETER);
  ASSERT_EQ(Send("ANN", nullptr, nullptr, ";"), CMC_SUCCESS);
  EXPECT_EQ(Inbox("ann").size(), 1u);
}

TEST_F(DocumentsDelivered, MissingAttachmentFailsTheSend) {
  LogOn();
  const std::string missing = dir_.Join("missing.txt");
  EXPECT_EQ(Send("ann", missing.c_str(), "Missing", ";"), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_TRUE(Inbox("ann").empty());
}

}  // namespace
