// The message file writer: the exact bytes of the file, field by field, and
// the failures that end a write.
#include "send/smf_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "cmc/session.h"
#include "platform/fault.h"
#include "store/fileprim.h"
#include "support/test_support.h"

namespace {

// 4 December 1996, 9:05:07, five hours west of UTC.
bool FixedClock(vk::LocalTime* now, long* zoneWest) {
  *now = vk::LocalTime{96, 11, 4, 9, 5, 7};
  *zoneWest = 5 * 3600;
  return true;
}
bool NoClock(vk::LocalTime*, long*) { return false; }

const char kFixedDate[] = "Date-posted:  4-Dec-1996  9:05:07 -0500\r\n";

// Hands out KWZ1a2b., KWZ1a2c., ... and remembers the sources.
std::vector<std::string> g_copied;
CMC_return_code FakeParcelCopy(const char* source, char* nameOut, size_t size) {
  if (!source) return CMC_E_ATTACHMENT_OPEN_FAILURE;
  if (std::strcmp(source, "missing") == 0) return CMC_E_ATTACHMENT_OPEN_FAILURE;
  g_copied.push_back(source);
  static const char* const kNames[] = {"KWZ1a2b.", "KWZ1a2c.", "KWZ1a2d.", "KWZ1a2e."};
  vk::CopyBounded(nameOut, kNames[(g_copied.size() - 1) % 4], size);
  return CMC_SUCCESS;
}

CMC_recipient Recip(const char* name, CMC_enum role, const char* address = nullptr) {
  CMC_recipient r{};
  r.name = const_cast<char*>(name);
  r.address = const_cast<char*>(address);
  r.name_type = CMC_TYPE_INDIVIDUAL;
  r.role = role;
  return r;
}

class SmfWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_session_ = vk::Session().session_id;
    saved_name_ = vk::Session().user_name_copy;
    std::strcpy(user_, "bob");
    vk::Session().session_id = 1;
    vk::Session().user_name_copy = user_;
    vk::SetSmfClock(FixedClock);
    vk::SetSmfParcelCopy(FakeParcelCopy);
    g_copied.clear();
  }
  void TearDown() override {
    vk::PlatFaultDisarm();
    vk::SetSmfClock(nullptr);
    vk::SetSmfParcelCopy(nullptr);
    vk::InitSmfHandlers();
    vk::Session().session_id = saved_session_;
    vk::Session().user_name_copy = saved_name_;
  }

  // Writes the message to a fresh file; the file's bytes.
  std::string Write(CMC_message* m, CMC_return_code expected = CMC_SUCCESS) {
    std::string path = dir_.Join("KWZ" + std::to_string(++files_));
    vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeCreateReadWrite);
    EXPECT_NE(h, vk::kNoFile);
    last_rc_ = vk::WriteMessage(h, m);
    EXPECT_EQ(last_rc_, expected);
    vk::CloseFile(h);
    return vktest::ReadWholeFile(path);
  }
  static CMC_message Message(std::vector<CMC_recipient>& to) {
    CMC_message m{};
    if (!to.empty()) {
      to.back().recip_flags |= CMC_RECIP_LAST_ELEMENT;
      m.recipients = to.data();
    }
    return m;
  }

  vktest::ScratchDir dir_;
  int files_ = 0;
  CMC_return_code last_rc_ = 0;
  char user_[vk::kUserNameCopySize];
  CMC_session_id saved_session_ = 0;
  char* saved_name_ = nullptr;
};

TEST_F(SmfWriterTest, TheWorkedExample) {
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO), Recip("dave", CMC_ROLE_TO), Recip("carl", CMC_ROLE_CC)};
  CMC_attachment a{};
  a.attach_title = const_cast<char*>("report.txt");
  a.attach_filename = const_cast<char*>("report.txt");
  a.attach_flags = CMC_ATT_LAST_ELEMENT;
  CMC_message m = Message(r);
  m.attachments = &a;
  m.subject = const_cast<char*>("Budget");
  m.text_note = const_cast<char*>("Hi");
  EXPECT_EQ(Write(&m), std::string("SMF-71\r\n"
                                   "From: bob\r\n"
                                   "To: ann, \r\n"
                                   " dave\r\n"
                                   "Copies-To: carl\r\n"
                                   "Attachment: KWZ1a2b.\r\n"
                                   "Attachment-name: report.txt\r\n"
                                   "Subject: Budget\r\n") +
                           kFixedDate + "\r\nHi\r\n");
}

TEST_F(SmfWriterTest, OneRecipientAndNothingElseIsFiveLines) {
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
  CMC_message m = Message(r);
  EXPECT_EQ(Write(&m), std::string("SMF-71\r\nFrom: bob\r\nTo: ann\r\n") + kFixedDate + "\r\n");
}

TEST_F(SmfWriterTest, AddressFieldsByRole) {
  {
    std::vector<CMC_recipient> r = {Recip("a", CMC_ROLE_TO), Recip("b", CMC_ROLE_TO), Recip("c", CMC_ROLE_TO)};
    CMC_message m = Message(r);
    EXPECT_EQ(Write(&m), std::string("SMF-71\r\nFrom: bob\r\nTo: a, \r\n b, \r\n c\r\n") + kFixedDate + "\r\n");
  }
  {
    // Only Cc: an empty To field, no BCC.
    std::vector<CMC_recipient> r = {Recip("carl", CMC_ROLE_CC), Recip("dora", CMC_ROLE_CC)};
    CMC_message m = Message(r);
    EXPECT_EQ(Write(&m), std::string("SMF-71\r\nFrom: bob\r\nTo: \r\nCopies-To: carl, \r\n dora\r\n") + kFixedDate +
                             "\r\n");
  }
  {
    // To and Bcc, interleaved; originator and authorizing user are not written.
    std::vector<CMC_recipient> r = {Recip("x", CMC_ROLE_BCC), Recip("ann", CMC_ROLE_TO),
                                    Recip("orig", CMC_ROLE_ORIGINATOR), Recip("y", CMC_ROLE_BCC),
                                    Recip("auth", CMC_ROLE_AUTHORIZING_USER)};
    CMC_message m = Message(r);
    EXPECT_EQ(Write(&m), std::string("SMF-71\r\nFrom: bob\r\nTo: ann\r\nBCC: x, \r\n y\r\n") + kFixedDate + "\r\n");
  }
  {
    // No recipients at all.
    CMC_message m{};
    EXPECT_EQ(Write(&m), std::string("SMF-71\r\nFrom: bob\r\nTo: \r\n") + kFixedDate + "\r\n");
  }
}

TEST_F(SmfWriterTest, EntryIsTheAddressElseTheName) {
  std::string longName(300, 'n');
  std::vector<CMC_recipient> r = {Recip("Ann Smith", CMC_ROLE_TO, "ann"), Recip(nullptr, CMC_ROLE_TO),
                                  Recip(longName.c_str(), CMC_ROLE_CC)};
  CMC_message m = Message(r);
  std::string file = Write(&m);
  EXPECT_NE(file.find("To: ann, \r\n \r\n"), std::string::npos);
  // A name is taken up to 255 characters (folded like any long value).
  std::string cc = file.substr(file.find("Copies-To: ") + 11);
  cc = cc.substr(0, cc.find("\r\nDate-posted"));
  std::string joined;
  for (char c : cc)
    if (c != '\r' && c != '\n') joined += c;
  EXPECT_EQ(joined, std::string(255, 'n'));
}

TEST_F(SmfWriterTest, FoldingOfLongValues) {
  {
    std::string address = std::string(49, 'a') + " " + std::string(50, 'b');
    std::vector<CMC_recipient> r = {Recip("x", CMC_ROLE_TO, address.c_str())};
    CMC_message m = Message(r);
    std::string file = Write(&m);
    EXPECT_NE(file.find("To: " + address.substr(0, 50) + "\r\n" + address.substr(50) + "\r\n"), std::string::npos);
  }
  {
    std::string address(80, 'z');
    std::vector<CMC_recipient> r = {Recip("x", CMC_ROLE_TO, address.c_str())};
    CMC_message m = Message(r);
    std::string file = Write(&m);
    EXPECT_NE(file.find("To: " + std::string(74, 'z') + "\r\n" + std::string(6, 'z') + "\r\n"), std::string::npos);
  }
  {
    // Exactly 74 characters is already folded; a break at the very first
    // character does not count, a comma or semicolon does.
    std::string type = std::string(40, 't') + ";" + std::string(40, 'u') + "," + std::string(3, 'v');
    std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
    CMC_message m = Message(r);
    m.message_type = const_cast<char*>(type.c_str());
    std::string file = Write(&m);
    EXPECT_NE(file.find("X-XAPIA_CMC_MESSAGE_TYPE: " + type.substr(0, 41) + "\r\n" + type.substr(41) + "\r\n"),
              std::string::npos);
    std::string first = " " + std::string(73, 'w');
    m.message_type = const_cast<char*>(first.c_str());
    file = Write(&m);
    EXPECT_NE(file.find("X-XAPIA_CMC_MESSAGE_TYPE:  " + std::string(73, 'w') + "\r\n"), std::string::npos);
    std::string shorter(73, 'q');
    m.message_type = const_cast<char*>(shorter.c_str());
    file = Write(&m);
    EXPECT_NE(file.find("X-XAPIA_CMC_MESSAGE_TYPE: " + shorter + "\r\nDate"), std::string::npos);
  }
}

TEST_F(SmfWriterTest, SubjectIsCutTo64) {
  std::string subject(100, 's');
  subject[63] = 'E';
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
  CMC_message m = Message(r);
  m.subject = const_cast<char*>(subject.c_str());
  EXPECT_NE(Write(&m).find("\r\nSubject: " + subject.substr(0, 64) + "\r\nDate-posted"), std::string::npos);
  m.subject = const_cast<char*>("");
  EXPECT_NE(Write(&m).find("\r\nSubject: \r\nDate-posted"), std::string::npos);
}

TEST_F(SmfWriterTest, Importance) {
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
  CMC_extension ext[2] = {};
  ext[0].item_code = 7;
  ext[1].item_code = X_IMPORTANCE;
  ext[1].extension_flags = CMC_EXT_LAST_ELEMENT;
  CMC_message m = Message(r);
  m.subject = const_cast<char*>("S");
  m.message_type = const_cast<char*>("CMC: IPM");
  m.message_extensions = ext;
  const char* expected[] = {"Normal", "High", "Low"};
  for (CMC_uint32 v = 0; v < 3; ++v) {
    ext[1].item_data = v;
    EXPECT_NE(Write(&m).find(std::string("Subject: S\r\nImportance: ") + expected[v] +
                             "\r\nX-XAPIA_CMC_MESSAGE_TYPE: CMC: IPM\r\nDate-posted"),
              std::string::npos);
  }
  ext[1].item_data = 7;
  std::string file = Write(&m, CMC_E_INVALID_FLAG);
  EXPECT_EQ(file.substr(file.size() - 14), "Importance: \r\n");
}

TEST_F(SmfWriterTest, Body) {
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
  CMC_message m = Message(r);
  std::string head = std::string("SMF-71\r\nFrom: bob\r\nTo: ann\r\n") + kFixedDate + "\r\n";
  m.text_note = const_cast<char*>("Hello");
  EXPECT_EQ(Write(&m), head + "Hello\r\n");
  m.text_note = const_cast<char*>("");
  EXPECT_EQ(Write(&m), head + "\r\n");
  // Line ends inside the note stay as they are.
  m.text_note = const_cast<char*>("a\nb\r\n\rc");
  EXPECT_EQ(Write(&m), head + "a\nb\r\n\rc\r\n");
  m.text_note = nullptr;
  EXPECT_EQ(Write(&m), head);
}

TEST_F(SmfWriterTest, Attachments) {
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
  CMC_attachment a[3] = {};
  a[0].attach_title = const_cast<char*>("one.txt");
  a[0].attach_filename = const_cast<char*>("src-a");
  // Without a title the file-name part of the path stands in.
  a[1].attach_filename = const_cast<char*>("C:\\docs\\plan.doc");
  a[2].attach_filename = const_cast<char*>("/home/bob/notes");
  a[2].attach_flags = CMC_ATT_LAST_ELEMENT;
  CMC_message m = Message(r);
  m.attachments = a;
  std::string file = Write(&m);
  EXPECT_NE(file.find("\r\nAttachment: KWZ1a2b., \r\n KWZ1a2c., \r\n KWZ1a2d.\r\n"
                      "Attachment-name: one.txt, \r\n plan.doc, \r\n notes\r\nDate-posted"),
            std::string::npos);
  EXPECT_EQ(g_copied, (std::vector<std::string>{"src-a", "C:\\docs\\plan.doc", "/home/bob/notes"}));
}

TEST_F(SmfWriterTest, AFailedParcelCopyEndsTheWrite) {
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
  CMC_attachment a[2] = {};
  a[0].attach_filename = const_cast<char*>("first");
  a[1].attach_filename = const_cast<char*>("missing");
  a[1].attach_flags = CMC_ATT_LAST_ELEMENT;
  CMC_message m = Message(r);
  m.attachments = a;
  std::string file = Write(&m, CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(file, "SMF-71\r\nFrom: bob\r\nTo: ann\r\nAttachment: KWZ1a2b.");
}

TEST_F(SmfWriterTest, DatePostedNeedsTheTime) {
  vk::SetSmfClock(NoClock);
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
  CMC_message m = Message(r);
  EXPECT_EQ(Write(&m, CMC_E_FAILURE), "SMF-71\r\nFrom: bob\r\nTo: ann\r\nDate-posted: ");
}

TEST_F(SmfWriterTest, BadArguments) {
  CMC_message m{};
  EXPECT_EQ(vk::WriteMessage(vk::kNoFile, &m), static_cast<CMC_return_code>(CMC_E_FAILURE));
  EXPECT_EQ(Write(nullptr, CMC_E_FAILURE), "");
  EXPECT_EQ(vk::SmfHandlers.WriteFieldValue(vk::kNoFile, nullptr), static_cast<CMC_return_code>(CMC_E_FAILURE));
  EXPECT_EQ(vk::SmfHandlers.WriteFieldName(vk::kNoFile, nullptr), static_cast<CMC_return_code>(CMC_E_FAILURE));
}

TEST_F(SmfWriterTest, EveryFailedWriteIsReported) {
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO), Recip("dave", CMC_ROLE_TO), Recip("carl", CMC_ROLE_CC)};
  CMC_attachment a{};
  a.attach_title = const_cast<char*>("report.txt");
  a.attach_filename = const_cast<char*>("report.txt");
  a.attach_flags = CMC_ATT_LAST_ELEMENT;
  CMC_message m = Message(r);
  m.attachments = &a;
  m.subject = const_cast<char*>("Budget");
  m.text_note = const_cast<char*>("Hi");
  const std::string whole = Write(&m);
  int failures = 0;
  for (long n = 1; n < 200; ++n) {
    std::string path = dir_.Join("fault");
    vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeCreateReadWrite);
    ASSERT_NE(h, vk::kNoFile);
    g_copied.clear();
    vk::PlatFaultArm(n, false);
    CMC_return_code rc = vk::WriteMessage(h, &m);
    bool fired = vk::PlatFaultFired();
    vk::PlatFaultDisarm();
    vk::CloseFile(h);
    std::string got = vktest::ReadWholeFile(path);
    vk::PlatDeleteFile(path.c_str());
    if (!fired) {
      EXPECT_EQ(rc, 0u);
      EXPECT_EQ(got, whole);
      break;
    }
    ++failures;
    EXPECT_EQ(rc, static_cast<CMC_return_code>(CMC_E_FAILURE)) << "failing step " << n;
    // What was written before the failure is a prefix of the whole message.
    EXPECT_EQ(whole.compare(0, got.size(), got), 0) << "failing step " << n;
  }
  EXPECT_GT(failures, 20);
}

TEST_F(SmfWriterTest, TheTableDispatches) {
  EXPECT_STREQ(vk::SmfHandlers.HeaderNames[vk::kFieldDatePosted], "Date-posted");
  EXPECT_STREQ(vk::SmfHandlers.HeaderNames[vk::kFieldMessageType], "X-XAPIA_CMC_MESSAGE_TYPE");
  EXPECT_STREQ(vk::SmfHandlers.HeaderNames[vk::kFieldEnd], "");
  // Slots call each other through the table.
  vk::SmfHandlers.WriteTrailer = [](vk::FileHandle h, const CMC_message*) -> CMC_return_code {
    return vk::SmfHandlers.WriteLineEnd(h, "END");
  };
  std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
  CMC_message m = Message(r);
  std::string file = Write(&m);
  EXPECT_EQ(file.substr(file.size() - 5), "END\r\n");
  vk::InitSmfHandlers();
  file = Write(&m);
  EXPECT_EQ(file.substr(file.size() - 6), "00\r\n\r\n");
}

TEST(FormatDatePosted, Pieces) {
  char out[32];
  ASSERT_TRUE(vk::FormatDatePosted(vk::LocalTime{96, 11, 4, 9, 5, 7}, 18000, out, sizeof out));
  EXPECT_STREQ(out, " 4-Dec-1996  9:05:07 -0500");
  ASSERT_TRUE(vk::FormatDatePosted(vk::LocalTime{100, 0, 1, 0, 0, 0}, 0, out, sizeof out));
  EXPECT_STREQ(out, " 1-Jan-2000  0:00:00 -0000");
  ASSERT_TRUE(vk::FormatDatePosted(vk::LocalTime{125, 5, 30, 23, 59, 58}, 8 * 3600 + 1800, out, sizeof out));
  EXPECT_STREQ(out, "30-Jun-2025 23:59:58 -0800");
  // East of UTC the sign turns.
  ASSERT_TRUE(vk::FormatDatePosted(vk::LocalTime{125, 6, 14, 12, 0, 0}, -3600, out, sizeof out));
  EXPECT_STREQ(out, "14-Jul-2025 12:00:00 +0100");
  ASSERT_TRUE(vk::FormatDatePosted(vk::LocalTime{125, 12, 1, 1, 2, 3}, -36000, out, sizeof out));
  EXPECT_STREQ(out, " 1-ERR-2025  1:02:03 +1000");
  EXPECT_EQ(std::strlen(out), vk::kDatePostedLength);
  // Out of range pieces never lengthen the value.
  ASSERT_TRUE(vk::FormatDatePosted(vk::LocalTime{9000, -1, 1000, -5, 100, 61}, 999999, out, sizeof out));
  EXPECT_EQ(std::strlen(out), vk::kDatePostedLength);
  EXPECT_FALSE(vk::FormatDatePosted(vk::LocalTime{}, 0, out, 26));
  EXPECT_FALSE(vk::FormatDatePosted(vk::LocalTime{}, 0, nullptr, 32));
}

#ifndef _WIN32
// The platform clock with a fixed TZ: the zone written is the standard one.
class TzTest : public SmfWriterTest {
 protected:
  void SetUp() override {
    SmfWriterTest::SetUp();
    const char* tz = std::getenv("TZ");
    had_tz_ = tz != nullptr;
    if (tz) old_tz_ = tz;
    vk::SetSmfClock(nullptr);
  }
  void TearDown() override {
    if (had_tz_) {
      setenv("TZ", old_tz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
    SmfWriterTest::TearDown();
  }
  std::string DateWith(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
    std::vector<CMC_recipient> r = {Recip("ann", CMC_ROLE_TO)};
    CMC_message m = Message(r);
    std::string file = Write(&m);
    size_t at = file.find("Date-posted: ");
    EXPECT_NE(at, std::string::npos);
    std::string value = file.substr(at + 13);
    return value.substr(0, value.find("\r\n"));
  }
  bool had_tz_ = false;
  std::string old_tz_;
};

TEST_F(TzTest, ZoneFromTheEnvironment) {
  std::string west = DateWith("EST5EDT");
  ASSERT_EQ(west.size(), vk::kDatePostedLength);
  EXPECT_EQ(west.substr(20), " -0500");
  EXPECT_EQ(west[2], '-');
  EXPECT_EQ(west[6], '-');
  EXPECT_EQ(west[14], ':');
  EXPECT_EQ(west[17], ':');
  std::string utc = DateWith("UTC0");
  EXPECT_EQ(utc.substr(20), " -0000");
  std::string east = DateWith("JST-9");
  EXPECT_EQ(east.substr(20), " +0900");
}
#endif

}  // namespace
