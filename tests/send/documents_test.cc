// cmc_send_documents: the message built from the delimited strings, as the
// delivered copy shows it, and the call with and without an open session
// (its own logon and logoff).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "send/send_test_util.h"

namespace {

namespace fs = std::filesystem;

class Documents : public vktest::SenderTree {
 protected:
  bool LogOnAtStart() const override { return false; }
  static CMC_return_code SendDocs(const char* recipients, const char* paths, const char* names, const char* delimiter,
                                  CMC_flags flags = 0) {
    return cmc_send_documents(const_cast<char*>(recipients), const_cast<char*>("subject"), const_cast<char*>("note"),
                              flags, const_cast<char*>(paths), const_cast<char*>(names), const_cast<char*>(delimiter),
                              0);
  }
};

TEST_F(Documents, DelimitedStringsBecomeTheDeliveredMessage) {
  LogOn();
  const CMC_flags note = CMC_FIRST_ATTACH_AS_TEXT_NOTE;
  const std::string ab = Source("a.txt", "A") + ";" + Source("b.doc", "B");
  const std::string text = Source("note.txt", "line one\r\n");
  const std::string largest = Source("largest.txt", std::string(65535, 'n'));
  const std::string large = Source("large.txt", std::string(65536, 'x'));
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "a;";
  struct Case {
    std::string recipients, paths;
    const char *names, *delimiter;
    CMC_flags flags;
    CMC_return_code rc;
    std::string part;  // found in the delivered copy
  };
  const Case cases[] = {
      // Every delimiter character splits; empty pieces drop; names title
      // the files only when they match them one for one.
      {";ann,,", ab, "First,Second;", ";,", 0, CMC_SUCCESS, "Attachment-name: First, \r\n Second\r\n"},
      {"ann", ab, "Only", ";", 0, CMC_SUCCESS, "Attachment-name: a.txt, \r\n b.doc\r\n"},
      // The first file is the text; the first name goes with it.
      {"ann", text + ";" + ab, "Note;First;Second", ";", note, CMC_SUCCESS, "Attachment-name: First, \r\n Second\r\n"},
      {"ann", text, nullptr, ";", note, CMC_SUCCESS, "\r\n\r\nline one\r\n\r\n"},
      {"ann", largest, nullptr, ";", note, CMC_SUCCESS, std::string(65535, 'n')},
      {"ann", large, nullptr, ";", note, CMC_E_ATTACHMENT_READ_FAILURE, ""},
      {"ann", dir_.Join("missing.txt"), nullptr, ";", note, CMC_E_ATTACHMENT_OPEN_FAILURE, ""},
      {"ann", dir_.path(), nullptr, "|", note, CMC_E_ATTACHMENT_OPEN_FAILURE, ""},
      {"ann", ";", nullptr, ";", note, CMC_E_INVALID_PARAMETER, ""},
      // Strings that do not split whole fail.
      {many, "", nullptr, ";", 0, CMC_E_FAILURE, ""},
      {"ann", many, nullptr, ";", 0, CMC_E_FAILURE, ""},
      {"ann", ab, many.c_str(), ";", 0, CMC_E_FAILURE, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recipients.substr(0, 10) + " " + c.paths.substr(0, 40));
    ASSERT_EQ(SendDocs(c.recipients.c_str(), c.paths.c_str(), c.names, c.delimiter, c.flags), c.rc);
    if (c.rc != CMC_SUCCESS) {
      EXPECT_TRUE(FileNames(Mailbox("ann")).empty());
      continue;
    }
    const std::string copy = OnlyMessage("ann");
    EXPECT_NE(copy.find(c.part), std::string::npos);
    EXPECT_NE(copy.find("X-XAPIA_CMC_MESSAGE_TYPE: CMC: IPM\r\n"), std::string::npos);
    for (const auto& dir : {Mailbox("ann"), Parcels("ann")}) {
      for (const std::string& name : FileNames(dir)) fs::remove(dir / name);
    }
  }
  ExpectStagingEmpty();
  // The caller's files are never removed by the send.
  EXPECT_EQ(Read(dir_.Join("a.txt")), "A");
  EXPECT_EQ(Read(text), "line one\r\n");
}

// A call without a session logs on and off again around itself, whatever
// the outcome; an open session is used and left open.
TEST_F(Documents, TheCallsOwnSessionEndsWithIt) {
  const struct {
    const char* what;
    bool open, cancel;
    const char* delimiter;
    CMC_flags flags;
    CMC_return_code rc;
  } cases[] = {
      {"null delimiter", false, false, nullptr, CMC_LOGON_UI_ALLOWED, CMC_E_INVALID_PARAMETER},
      {"cancelled logon", false, true, ";", 0, CMC_E_USER_CANCEL},
      {"unsupported flag", false, false, ";", 0x10, CMC_E_UNSUPPORTED_FLAG},
      {"unsupported flag, open", true, false, ";", 0x10, CMC_E_UNSUPPORTED_FLAG},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.open) LogOn();
    c.cancel ? login_.Script({}) : login_.AnswerAs("bob", "pw");
    EXPECT_EQ(SendDocs("ann", nullptr, nullptr, c.delimiter, c.flags), c.rc);
    EXPECT_EQ(login_.LoginsSeen(), c.open ? 0 : 1);
    EXPECT_EQ(vk::Session().session_id, c.open ? 1u : 0u);
    EXPECT_FALSE(!c.open && !c.cancel && vk::ConfigLoaded());
    if (vk::Session().session_id != 0) cmc_logoff(vk::Session().session_id, 0, 0, nullptr);
    vk::UnloadConfig();
  }
  EXPECT_TRUE(FileNames(Mailbox("ann")).empty());
}

TEST_F(Documents, RecipientsAreLookedUpByName) {
  LogOn();
  // A piece is a user name, not an address.
  EXPECT_EQ(SendDocs("ann@host", nullptr, nullptr, ";"), CMC_E_RECIPIENT_NOT_FOUND);
  for (size_t i = 0; i < vktest::kUnsafeNameCount; ++i) {
    EXPECT_EQ(SendDocs(vktest::kUnsafeNames[i], nullptr, nullptr, "|"), CMC_E_RECIPIENT_NOT_FOUND)
        << vktest::kUnsafeNames[i];
  }
  EXPECT_EQ(SendDocs(";;", nullptr, nullptr, ";"), CMC_E_INVALID_MESSAGE_PARAMETER);
  EXPECT_TRUE(FileNames(Mailbox("ann")).empty());
  ASSERT_EQ(SendDocs("ANN", nullptr, nullptr, ";"), CMC_SUCCESS);
  EXPECT_EQ(FileNames(Mailbox("ann")).size(), 1u);
}

}  // namespace
