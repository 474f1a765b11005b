// cmc_send_documents: the message built from the delimited strings, and the
// call with and without an open session (its own logon and logoff).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "send/documents.h"
#include "send/send_test_util.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> RecipientNames(const CMC_message& m) {
  std::vector<std::string> names;
  for (const CMC_recipient* r = m.recipients; r != nullptr; ++r) {
    names.push_back(r->name);
    EXPECT_EQ(r->address, nullptr);
    if (r->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
  }
  return names;
}

// (path, title or "-") of every attachment.
Pairs Attachments(const CMC_message& m) {
  Pairs list;
  for (const CMC_attachment* a = m.attachments; a != nullptr; ++a) {
    list.emplace_back(a->attach_filename, a->attach_title != nullptr ? a->attach_title : "-");
    if (a->attach_flags & CMC_ATT_LAST_ELEMENT) break;
  }
  return list;
}

class Documents : public vktest::SenderTree {
 protected:
  bool LogOnAtStart() const override { return false; }
  void SetUp() override {
    std::memset(&doc_, 0, sizeof doc_);
    SenderTree::SetUp();
  }
  void TearDown() override {
    vk::ReleaseDocumentMessage(&doc_);
    SenderTree::TearDown();
  }
  CMC_return_code Build(const char* recipients, const char* paths, const char* names,
                        const char* delimiter = ";", CMC_flags flags = 0, const char* note = nullptr) {
    vk::ReleaseDocumentMessage(&doc_);
    return vk::BuildDocumentMessage(recipients, "subject", note, flags, paths, names, delimiter, &doc_);
  }
  static CMC_return_code SendDocs(const char* recipients, const char* paths, const char* names,
                                  const char* delimiter, CMC_flags flags = 0) {
    return cmc_send_documents(const_cast<char*>(recipients), const_cast<char*>("subject"),
                              const_cast<char*>("note"), flags, const_cast<char*>(paths),
                              const_cast<char*>(names), const_cast<char*>(delimiter), 0);
  }
  vk::DocumentMessage doc_;
};

TEST_F(Documents, EveryDelimiterCharacterSplitsAndEmptyPiecesDrop) {
  struct Case {
    const char* text;
    const char* delimiter;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {";ann,,bob;;carol,", ";,", {"ann", "bob", "carol"}},
      {"ann;ann", ";", {"ann", "ann"}},     // each piece is one recipient
      {"ann bob", "", {"ann bob"}},         // an empty delimiter leaves the text whole
      {";;;", ";", {}},
      {nullptr, ";", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    ASSERT_EQ(Build(c.text, nullptr, nullptr, c.delimiter), CMC_SUCCESS);
    EXPECT_EQ(RecipientNames(doc_.message), c.names);
    EXPECT_STREQ(doc_.message.message_type, "CMC: IPM");
  }
  // The caller's strings are left as they were.
  char text[] = "ann;bob";
  ASSERT_EQ(Build(text, nullptr, nullptr), CMC_SUCCESS);
  EXPECT_STREQ(text, "ann;bob");
  EXPECT_EQ(Build("ann", nullptr, nullptr, nullptr), CMC_E_INVALID_PARAMETER);
}

TEST_F(Documents, AttachmentsAreTitledOnlyWhenNamesMatchPaths) {
  ASSERT_EQ(Build("ann", "a.txt;dir/b.doc", "First;Second"), CMC_SUCCESS);
  EXPECT_EQ(Attachments(doc_.message), (Pairs{{"a.txt", "First"}, {"dir/b.doc", "Second"}}));
  // The caller's files are never removed by the send.
  EXPECT_EQ(doc_.message.attachments[0].attach_flags & CMC_ATT_APP_OWNS_FILE, CMC_ATT_APP_OWNS_FILE);
  // Too few, too many or no names: untitled, sent under their file names.
  for (const char* names : {"Only", "One;Two;Three", static_cast<const char*>(nullptr), ";;"}) {
    SCOPED_TRACE(names ? names : "(null)");
    ASSERT_EQ(Build("ann", "a.txt;dir/b.doc", names), CMC_SUCCESS);
    EXPECT_EQ(Attachments(doc_.message), (Pairs{{"a.txt", "-"}, {"dir/b.doc", "-"}}));
  }
}

TEST_F(Documents, FirstFileBecomesTheTextNote) {
  const CMC_flags note = CMC_FIRST_ATTACH_AS_TEXT_NOTE;
  const std::string body = "line one\r\nline two\r\n";
  const std::string first = Source("note.txt", body);
  ASSERT_EQ(Build("ann", first.c_str(), nullptr, ";", note, "ignored"), CMC_SUCCESS);
  EXPECT_EQ(std::string(doc_.message.text_note), body);
  EXPECT_EQ(doc_.message.attachments, nullptr);
  // The first name goes with the first path, so the rest stay paired.
  const std::string both = first + ";" + Source("second.bin", "x");
  ASSERT_EQ(Build("ann", both.c_str(), "Note;Second", ";", note), CMC_SUCCESS);
  EXPECT_EQ(Attachments(doc_.message), (Pairs{{dir_.Join("second.bin"), "Second"}}));
  // The largest note there is room for, and one byte more.
  ASSERT_EQ(Build("ann", Source("below.txt", std::string(65535, 'b')).c_str(), nullptr, ";", note), CMC_SUCCESS);
  EXPECT_EQ(std::strlen(doc_.message.text_note), 65535u);
  EXPECT_EQ(Build("ann", Source("large.txt", std::string(65536, 'x')).c_str(), nullptr, ";", note),
            CMC_E_ATTACHMENT_READ_FAILURE);
  ASSERT_EQ(Build("ann", Source("empty.txt", "").c_str(), nullptr, ";", note), CMC_SUCCESS);
  EXPECT_STREQ(doc_.message.text_note, "");
  EXPECT_EQ(Build("ann", dir_.Join("missing.txt").c_str(), nullptr, ";", note), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(Build("ann", dir_.path().c_str(), nullptr, "|", note), CMC_E_ATTACHMENT_OPEN_FAILURE);
  // The flag needs a first file.
  EXPECT_EQ(Build("ann", nullptr, nullptr, ";", note), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(Build("ann", ";", nullptr, ";", note), CMC_E_INVALID_PARAMETER);
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

// A call without a session logs on and off again around itself, whatever
// the outcome; an open session is used and left open.
TEST_F(Documents, TheCallsOwnSessionEndsWithIt) {
  struct Case {
    const char* what;
    bool open;
    bool cancel;
    const char* delimiter;
    CMC_flags flags;
    CMC_return_code rc;
  };
  const Case cases[] = {
      {"null delimiter", false, false, nullptr, CMC_LOGON_UI_ALLOWED, CMC_E_INVALID_PARAMETER},
      {"null delimiter, open", true, false, nullptr, 0, CMC_E_INVALID_PARAMETER},
      {"cancelled logon", false, true, ";", 0, CMC_E_USER_CANCEL},
      {"unsupported flag", false, false, ";", 0x10, CMC_E_UNSUPPORTED_FLAG},
      {"unsupported flag, open", true, false, ";", 0x10, CMC_E_UNSUPPORTED_FLAG},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.open) LogOn();
    if (c.cancel) {
      login_.CancelAll();
    } else {
      login_.AnswerAs("bob", "pw");
    }
    EXPECT_EQ(SendDocs("ann", nullptr, nullptr, c.delimiter, c.flags), c.rc);
    EXPECT_EQ(login_.LoginsSeen(), c.open ? 0 : 1);
    EXPECT_EQ(vk::Session().session_id, c.open ? 1u : 0u);
    if (!c.open && !c.cancel) {
      EXPECT_FALSE(vk::ConfigLoaded());
    }
    if (vk::Session().session_id != 0) cmc_logoff(vk::Session().session_id, 0, 0, nullptr);
    vk::UnloadConfig();
  }
  EXPECT_TRUE(FileNames(Mailbox("ann")).empty());
}

TEST_F(Documents, WithoutSessionTheCallLogsOnSendsAndLogsOff) {
  const std::string doc = Source("report.txt", "report contents");
  ASSERT_EQ(SendDocs("ann;bob", doc.c_str(), "Report", ";", CMC_LOGON_UI_ALLOWED), CMC_SUCCESS);
  EXPECT_EQ(login_.LoginsSeen(), 1);
  EXPECT_EQ(vk::Session().session_id, 0u);
  for (const char* user : {"ann", "bob"}) {
    SCOPED_TRACE(user);
    const std::string text = OnlyMessage(user);
    for (const char* part : {"CMC: IPM", "Attachment-name: Report\r\n", "Subject: subject\r\n", "\r\n\r\nnote"}) {
      EXPECT_NE(text.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(Read(Parcels(user) / Only(Parcels(user))), "report contents");
  }
  ExpectStagingEmpty();
  EXPECT_EQ(vktest::ReadWholeFile(doc), "report contents");
}

TEST_F(Documents, RecipientsAreLookedUpByName) {
  LogOn();
  // A piece is a user name, not an address.
  for (const char* refused : {"ann@host", "nobody", "../ann"}) {
    EXPECT_EQ(SendDocs(refused, nullptr, nullptr, ";"), CMC_E_RECIPIENT_NOT_FOUND) << refused;
  }
  for (size_t i = 0; i < vktest::kUnsafeNameCount; ++i) {
    EXPECT_EQ(SendDocs(vktest::kUnsafeNames[i], nullptr, nullptr, "|"), CMC_E_RECIPIENT_NOT_FOUND)
        << vktest::kUnsafeNames[i];
  }
  EXPECT_EQ(SendDocs(";;", nullptr, nullptr, ";"), CMC_E_INVALID_MESSAGE_PARAMETER);
  EXPECT_TRUE(FileNames(Mailbox("ann")).empty());
  ASSERT_EQ(SendDocs("ANN", nullptr, nullptr, ";"), CMC_SUCCESS);
  EXPECT_EQ(login_.LoginsSeen(), 0);
  EXPECT_EQ(vk::Session().session_id, 1u);
  EXPECT_EQ(FileNames(Mailbox("ann")).size(), 1u);
}

}  // namespace
