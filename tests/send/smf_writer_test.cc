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
const std::string kHead = "SMF-71\r\nFrom: bob\r\n";

// Hands out KWZ1a2b., KWZ1a2c., ... and remembers the sources.
std::vector<std::string> g_copied;
CMC_return_code FakeParcelCopy(const char* source, char* nameOut, size_t size) {
  if (!source || std::strcmp(source, "missing") == 0) return CMC_E_ATTACHMENT_OPEN_FAILURE;
  g_copied.push_back(source);
  static const char* const kNames[] = {"KWZ1a2b.", "KWZ1a2c.", "KWZ1a2d.", "KWZ1a2e."};
  vk::CopyBounded(nameOut, kNames[(g_copied.size() - 1) % 4], size);
  return CMC_SUCCESS;
}

CMC_recipient Recip(const char* name, CMC_enum role = CMC_ROLE_TO, const char* address = nullptr) {
  CMC_recipient r{};
  r.name = const_cast<char*>(name);
  r.address = const_cast<char*>(address);
  r.name_type = CMC_TYPE_INDIVIDUAL;
  r.role = role;
  return r;
}

CMC_attachment Attachment(const char* filename, const char* title = nullptr, bool last = false) {
  CMC_attachment a{};
  a.attach_title = const_cast<char*>(title);
  a.attach_filename = const_cast<char*>(filename);
  if (last) a.attach_flags = CMC_ATT_LAST_ELEMENT;
  return a;
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
    vk::Session().session_id = saved_session_;
    vk::Session().user_name_copy = saved_name_;
  }

  // Writes the message to a fresh file; the file's bytes.
  std::string Write(CMC_message* m, CMC_return_code expected = CMC_SUCCESS) {
    std::string path = dir_.Join("KWZ" + std::to_string(++files_));
    vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeCreateReadWrite);
    EXPECT_NE(h, vk::kNoFile);
    EXPECT_EQ(vk::WriteMessage(h, m), expected);
    vk::CloseFile(h);
    return vktest::ReadWholeFile(path);
  }
  // A message to `to` (flagged here) with nothing else.
  static CMC_message Message(std::vector<CMC_recipient>& to) {
    CMC_message m{};
    if (!to.empty()) {
      to.back().recip_flags |= CMC_RECIP_LAST_ELEMENT;
      m.recipients = to.data();
    }
    return m;
  }
  // The file of a message to ann with the given message type.
  std::string WithType(const std::string& type) {
    std::vector<CMC_recipient> r = {Recip("ann")};
    CMC_message m = Message(r);
    m.message_type = const_cast<char*>(type.c_str());
    return Write(&m);
  }

  vktest::ScratchDir dir_;
  int files_ = 0;
  char user_[vk::kUserNameCopySize];
  CMC_session_id saved_session_ = 0;
  char* saved_name_ = nullptr;
};

TEST_F(SmfWriterTest, AddressFieldsByRole) {
  struct Case {
    const char* what;
    std::vector<CMC_recipient> recipients;
    std::string fields;
  };
  const Case cases[] = {
      {"three To", {Recip("a"), Recip("b"), Recip("c")}, "To: a, \r\n b, \r\n c\r\n"},
      {"only Cc: an empty To field",
       {Recip("carl", CMC_ROLE_CC), Recip("dora", CMC_ROLE_CC)},
       "To: \r\nCopies-To: carl, \r\n dora\r\n"},
      {"originator and authorizing user are not written",
       {Recip("x", CMC_ROLE_BCC), Recip("ann"), Recip("orig", CMC_ROLE_ORIGINATOR), Recip("y", CMC_ROLE_BCC),
        Recip("auth", CMC_ROLE_AUTHORIZING_USER)},
       "To: ann\r\nBCC: x, \r\n y\r\n"},
      {"no recipients", {}, "To: \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<CMC_recipient> r = c.recipients;
    CMC_message m = Message(r);
    EXPECT_EQ(Write(&m), kHead + c.fields + kFixedDate + "\r\n");
  }
}

TEST_F(SmfWriterTest, EntryIsTheAddressElseTheName) {
  std::string longName(300, 'n');
  std::vector<CMC_recipient> r = {Recip("Ann Smith", CMC_ROLE_TO, "ann"), Recip(nullptr),
                                  Recip(longName.c_str(), CMC_ROLE_CC)};
  CMC_message m = Message(r);
  std::string file = Write(&m);
  EXPECT_NE(file.find("To: ann, \r\n \r\n"), std::string::npos);
  // A name is taken up to 255 characters (folded like any long value).
  std::string cc = file.substr(file.find("Copies-To: ") + 11);
  cc = cc.substr(0, cc.find("\r\nDate-posted"));
  std::string joined;
  for (char c : cc) {
    if (c != '\r' && c != '\n') joined += c;
  }
  EXPECT_EQ(joined, std::string(255, 'n'));
}

TEST_F(SmfWriterTest, FoldingOfLongValues) {
  {
    std::string address = std::string(49, 'a') + " " + std::string(50, 'b');
    std::vector<CMC_recipient> r = {Recip("x", CMC_ROLE_TO, address.c_str())};
    CMC_message m = Message(r);
    EXPECT_NE(Write(&m).find("To: " + address.substr(0, 50) + "\r\n" + address.substr(50) + "\r\n"),
              std::string::npos);
  }
  {
    std::string address(80, 'z');
    std::vector<CMC_recipient> r = {Recip("x", CMC_ROLE_TO, address.c_str())};
    CMC_message m = Message(r);
    EXPECT_NE(Write(&m).find("To: " + std::string(74, 'z') + "\r\n" + std::string(6, 'z') + "\r\n"),
              std::string::npos);
  }
  // Exactly 74 characters is already folded; a break at the very first
  // character does not count, a comma or semicolon does.
  const std::string field = "X-XAPIA_CMC_MESSAGE_TYPE: ";
  std::string type = std::string(40, 't') + ";" + std::string(40, 'u') + "," + std::string(3, 'v');
  EXPECT_NE(WithType(type).find(field + type.substr(0, 41) + "\r\n" + type.substr(41) + "\r\n"), std::string::npos);
  EXPECT_NE(WithType(" " + std::string(73, 'w')).find(field + " " + std::string(73, 'w') + "\r\n"),
            std::string::npos);
  EXPECT_NE(WithType(std::string(73, 'q')).find(field + std::string(73, 'q') + "\r\nDate"), std::string::npos);
}

TEST_F(SmfWriterTest, SubjectIsCutTo64) {
  std::string subject(100, 's');
  subject[63] = 'E';
  std::vector<CMC_recipient> r = {Recip("ann")};
  CMC_message m = Message(r);
  m.subject = const_cast<char*>(subject.c_str());
  EXPECT_NE(Write(&m).find("\r\nSubject: " + subject.substr(0, 64) + "\r\nDate-posted"), std::string::npos);
  m.subject = const_cast<char*>("");
  EXPECT_NE(Write(&m).find("\r\nSubject: \r\nDate-posted"), std::string::npos);
}

TEST_F(SmfWriterTest, Importance) {
  std::vector<CMC_recipient> r = {Recip("ann")};
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

TEST_F(SmfWriterTest, BodyLineEndsStayAsTheyAre) {
  std::vector<CMC_recipient> r = {Recip("ann")};
  CMC_message m = Message(r);
  const std::string head = kHead + "To: ann\r\n" + kFixedDate + "\r\n";
  const char* notes[] = {"Hello", "", "a\nb\r\n\rc", nullptr};
  const std::string files[] = {head + "Hello\r\n", head + "\r\n", head + "a\nb\r\n\rc\r\n", head};
  for (int i = 0; i < 4; ++i) {
    m.text_note = const_cast<char*>(notes[i]);
    EXPECT_EQ(Write(&m), files[i]) << i;
  }
}

TEST_F(SmfWriterTest, AttachmentsWithoutTitleAreNamedByTheirFile) {
  std::vector<CMC_recipient> r = {Recip("ann")};
  CMC_attachment a[3] = {Attachment("src-a", "one.txt"), Attachment("C:\\docs\\plan.doc"),
                         Attachment("/home/bob/notes", nullptr, true)};
  CMC_message m = Message(r);
  m.attachments = a;
  EXPECT_NE(Write(&m).find("\r\nAttachment: KWZ1a2b., \r\n KWZ1a2c., \r\n KWZ1a2d.\r\n"
                           "Attachment-name: one.txt, \r\n plan.doc, \r\n notes\r\nDate-posted"),
            std::string::npos);
  EXPECT_EQ(g_copied, (std::vector<std::string>{"src-a", "C:\\docs\\plan.doc", "/home/bob/notes"}));
}

TEST_F(SmfWriterTest, AFailedParcelCopyOrClockEndsTheWrite) {
  std::vector<CMC_recipient> r = {Recip("ann")};
  CMC_attachment a[2] = {Attachment("first"), Attachment("missing", nullptr, true)};
  CMC_message m = Message(r);
  m.attachments = a;
  EXPECT_EQ(Write(&m, CMC_E_ATTACHMENT_OPEN_FAILURE), kHead + "To: ann\r\nAttachment: KWZ1a2b.");

  vk::SetSmfClock(NoClock);
  m.attachments = nullptr;
  EXPECT_EQ(Write(&m, CMC_E_FAILURE), kHead + "To: ann\r\nDate-posted: ");
  EXPECT_EQ(Write(nullptr, CMC_E_FAILURE), "");
}

TEST_F(SmfWriterTest, EveryFailedWriteIsReported) {
  std::vector<CMC_recipient> r = {Recip("ann"), Recip("dave"), Recip("carl", CMC_ROLE_CC)};
  CMC_attachment a = Attachment("report.txt", "report.txt", true);
  CMC_message m = Message(r);
  m.attachments = &a;
  m.subject = const_cast<char*>("Budget");
  m.text_note = const_cast<char*>("Hi");
  const std::string whole = Write(&m);
  EXPECT_EQ(whole, kHead +
                       "To: ann, \r\n dave\r\nCopies-To: carl\r\nAttachment: KWZ1a2b.\r\n"
                       "Attachment-name: report.txt\r\nSubject: Budget\r\n" +
                       kFixedDate + "\r\nHi\r\n");
  int failures = 0;
  for (long n = 1; n < 200; ++n) {
    SCOPED_TRACE(n);
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
    EXPECT_EQ(rc, static_cast<CMC_return_code>(CMC_E_FAILURE));
    // What was written before the failure is a prefix of the whole message.
    EXPECT_EQ(whole.compare(0, got.size(), got), 0);
  }
  EXPECT_GT(failures, 20);
}

TEST(FormatDatePosted, ZonesAndOutOfRangePieces) {
  struct Case {
    vk::LocalTime time;
    long zoneWest;
    const char* text;
  };
  const Case cases[] = {
      {{96, 11, 4, 9, 5, 7}, 18000, " 4-Dec-1996  9:05:07 -0500"},
      {{100, 0, 1, 0, 0, 0}, 0, " 1-Jan-2000  0:00:00 -0000"},
      {{125, 5, 30, 23, 59, 58}, 8 * 3600 + 1800, "30-Jun-2025 23:59:58 -0800"},
      {{125, 6, 14, 12, 0, 0}, -3600, "14-Jul-2025 12:00:00 +0100"},  // east of UTC the sign turns
      {{125, 12, 1, 1, 2, 3}, -36000, " 1-ERR-2025  1:02:03 +1000"},
  };
  char out[32];
  for (const Case& c : cases) {
    ASSERT_TRUE(vk::FormatDatePosted(c.time, c.zoneWest, out, sizeof out));
    EXPECT_STREQ(out, c.text);
  }
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
    std::vector<CMC_recipient> r = {Recip("ann")};
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
  EXPECT_EQ(DateWith("UTC0").substr(20), " -0000");
  EXPECT_EQ(DateWith("JST-9").substr(20), " +0900");
}
#endif

}  // namespace
