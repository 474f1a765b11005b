// The message file writer: the exact bytes of the file, field by field, and
// the failures that end a write.  What a failed file write leaves the
// delivery fault loops cover.
#include "send/smf_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "store/fileprim.h"
#include "support/mail_tree.h"

namespace {

using vktest::To;
bool NoClock(vk::LocalTime*, long*) { return false; }

const std::string kHead = "SMF-71\r\nFrom: bob\r\n";

// Hands out KWZ1a2b., KWZ1a2c., ... and remembers the sources.
std::vector<std::string> g_copied;
CMC_return_code FakeParcelCopy(void*, const char* source, char* nameOut, size_t size) {
  if (!source || std::strcmp(source, "missing") == 0) return CMC_E_ATTACHMENT_OPEN_FAILURE;
  g_copied.push_back(source);
  static const char* const kNames[] = {"KWZ1a2b.", "KWZ1a2c.", "KWZ1a2d.", "KWZ1a2e."};
  vk::CopyBounded(nameOut, kNames[(g_copied.size() - 1) % 4], size);
  return CMC_SUCCESS;
}

// Bob logged on, the clock fixed.
class SmfWriterTest : public vktest::SenderTree {
 protected:
  void SetUp() override {
    SenderTree::SetUp();
    g_copied.clear();
  }
  std::string Write(CMC_message* m, CMC_return_code expected = CMC_SUCCESS) {
    std::string path = dir_.Join("KWZ" + std::to_string(++files_));
    vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeCreateReadWrite);
    EXPECT_NE(h, vk::kNoFile);
    EXPECT_EQ(vk::WriteMessage(h, m, FakeParcelCopy), expected);
    vk::CloseFile(h);
    return vktest::ReadWholeFile(path);
  }
  int files_ = 0;
};

TEST_F(SmfWriterTest, EveryFieldByteForByte) {
  const std::string spaced = std::string(49, 'a') + " " + std::string(50, 'b');
  const std::string z80(80, 'z');
  const std::string punct = std::string(40, 't') + ";" + std::string(40, 'u') + "," + std::string(3, 'v');
  const std::string blank_first = " " + std::string(73, 'w');
  const std::string q73(73, 'q');
  std::string subject(100, 's');
  subject[63] = 'E';
  const std::string type = "X-XAPIA_CMC_MESSAGE_TYPE: ";
  struct Case {
    const char* what;
    std::vector<CMC_recipient> to;
    const char* subject;
    const char* type;
    const char* text;
    int importance;  // -1: no extension
    std::string fields, body;
  };
  // One case a line reads best as a table.
  // clang-format off
  const Case cases[] = {
      {"three To", {To("a"), To("b"), To("c")}, nullptr, nullptr, nullptr, -1, "To: a, \r\n b, \r\n c\r\n", ""},
      {"only Cc: an empty To field",
       {To("carl", CMC_ROLE_CC), To("dora", CMC_ROLE_CC)}, nullptr, nullptr, nullptr, -1,
       "To: \r\nCopies-To: carl, \r\n dora\r\n", ""},
      {"originator and authorizing user are not written",
       {To("x", CMC_ROLE_BCC), To("ann"), To("orig", CMC_ROLE_ORIGINATOR), To("y", CMC_ROLE_BCC),
        To("auth", CMC_ROLE_AUTHORIZING_USER)}, nullptr, nullptr, nullptr, -1, "To: ann\r\nBCC: x, \r\n y\r\n", ""},
      {"no recipients", {}, nullptr, nullptr, nullptr, -1, "To: \r\n", ""},
      {"the address, else the name", {To("ann", CMC_ROLE_TO, "Ann Smith"), To(nullptr)}, nullptr, nullptr, nullptr,
       -1, "To: ann, \r\n \r\n", ""},
      {"folded at a blank", {To(spaced.c_str())}, nullptr, nullptr, nullptr, -1,
       "To: " + spaced.substr(0, 50) + "\r\n " + spaced.substr(50) + "\r\n", ""},
      {"folded at 74", {To(z80.c_str())}, nullptr, nullptr, nullptr, -1,
       "To: " + z80.substr(0, 74) + "\r\n " + z80.substr(74) + "\r\n", ""},
      {"folded after a comma or semicolon", {To("ann")}, nullptr, punct.c_str(), nullptr, -1,
       "To: ann\r\n" + type + punct.substr(0, 41) + "\r\n " + punct.substr(41) + "\r\n", ""},
      {"a break at the first character does not count", {To("ann")}, nullptr, blank_first.c_str(), nullptr, -1,
       "To: ann\r\n" + type + blank_first + "\r\n", ""},
      {"exactly 74 characters", {To("ann")}, nullptr, q73.c_str(), nullptr, -1, "To: ann\r\n" + type + q73 + "\r\n",
       ""},
      {"subject cut to 64", {To("ann")}, subject.c_str(), nullptr, nullptr, -1,
       "To: ann\r\nSubject: " + subject.substr(0, 64) + "\r\n", ""},
      {"empty subject", {To("ann")}, "", nullptr, nullptr, -1, "To: ann\r\nSubject: \r\n", ""},
      {"importance normal", {To("ann")}, "S", "CMC: IPM", nullptr, 0,
       "To: ann\r\nSubject: S\r\nImportance: Normal\r\n" + type + "CMC: IPM\r\n", ""},
      {"importance high", {To("ann")}, "S", nullptr, nullptr, 1, "To: ann\r\nSubject: S\r\nImportance: High\r\n", ""},
      {"importance low", {To("ann")}, nullptr, nullptr, nullptr, 2, "To: ann\r\nImportance: Low\r\n", ""},
      {"body", {To("ann")}, nullptr, nullptr, "Hello", -1, "To: ann\r\n", "Hello\r\n"},
      {"empty body", {To("ann")}, nullptr, nullptr, "", -1, "To: ann\r\n", "\r\n"},
      {"line ends stay as they are", {To("ann")}, nullptr, nullptr, "a\nb\r\n\rc", -1, "To: ann\r\n",
       "a\nb\r\n\rc\r\n"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<CMC_recipient> r = c.to;
    CMC_message m = vktest::Message(r, nullptr, c.subject, c.text);
    m.message_type = const_cast<char*>(c.type);
    CMC_extension ext[2] = {};
    ext[0].item_code = 7;  // unknown: ignored
    ext[1] = {X_IMPORTANCE, static_cast<CMC_uint32>(c.importance), nullptr, CMC_EXT_LAST_ELEMENT};
    if (c.importance >= 0) m.message_extensions = ext;
    EXPECT_EQ(Write(&m), kHead + c.fields + vktest::kFixedDateLine + "\r\n" + c.body);
  }
}

TEST_F(SmfWriterTest, NoCallerValueStartsAHeaderLine) {
  const std::string folds = std::string(65, 'a') + " To:" + std::string(10, 'x'), file = "f";
  struct Case {
    const char *what, *to, *name, *subject, *title, *type, *lines;
  };
  const Case cases[] = {
      {"subject", "ann", nullptr, "Hi\r\nFrom: eve", nullptr, nullptr, "Subject: Hi From: eve"},
      {"address", "ann\r\n\r\nFrom: eve", nullptr, nullptr, nullptr, nullptr, "To: ann From: eve"},
      {"name", nullptr, "Ann\nAttachment: KWZ0001", nullptr, nullptr, nullptr, "To: Ann Attachment: KWZ0001"},
      {"title", "ann", nullptr, nullptr, "a.txt\rAttachment: KWZ0001\n", nullptr, "Attachment-name: a.txt Attachment"},
      {"folded type", "ann", nullptr, nullptr, nullptr, folds.c_str(), " To:xxxxxxxxxx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<CMC_recipient> r = {To(c.to, CMC_ROLE_TO, c.name)};
    std::vector<CMC_attachment> a = {vktest::Attach(file, c.title)};
    CMC_message m = vktest::Message(r, c.title ? &a : nullptr, c.subject, nullptr);
    m.message_type = const_cast<char*>(c.type);
    const std::string file = Write(&m);
    EXPECT_NE(file.find(c.lines), std::string::npos) << file;
    std::string starts;  // the first word of every line that starts a field
    for (size_t at = 0; at < file.size() && file.compare(at, 2, "\r\n") != 0; at = file.find("\r\n", at) + 2) {
      if (file[at] != ' ') starts += file.substr(at, file.find_first_of(":\r", at) - at) + "|";
    }
    EXPECT_EQ(starts, std::string("SMF-71|From|To|") + (c.title ? "Attachment|Attachment-name|" : "") +
                          (c.subject ? "Subject|" : "") + (c.type ? "X-XAPIA_CMC_MESSAGE_TYPE|" : "") + "Date-posted|");
  }
}

TEST_F(SmfWriterTest, ANameIsTakenUpTo255Characters) {
  const std::string longName(300, 'n');
  std::vector<CMC_recipient> r = {To(nullptr, CMC_ROLE_CC, longName.c_str())};
  CMC_message m = vktest::Message(r, nullptr, nullptr, nullptr);
  std::string cc = Write(&m).substr(kHead.size() + 17);  // past "To: \r\nCopies-To: "
  cc = cc.substr(0, cc.find("\r\nDate-posted"));
  for (size_t fold; (fold = cc.find("\r\n ")) != std::string::npos;) cc.erase(fold, 3);
  EXPECT_EQ(cc, std::string(255, 'n'));
}

TEST_F(SmfWriterTest, AFailedParcelCopyClockOrImportanceEndsTheWrite) {
  std::vector<CMC_recipient> r = {To("ann")};
  const std::string first = "first", missing = "missing";
  std::vector<CMC_attachment> a = {vktest::Attach(first, nullptr), vktest::Attach(missing, nullptr)};
  CMC_message m = vktest::Message(r, &a, nullptr, nullptr);
  EXPECT_EQ(Write(&m, CMC_E_ATTACHMENT_OPEN_FAILURE), kHead + "To: ann\r\nAttachment: KWZ1a2b.");
  m.attachments = nullptr;
  CMC_extension importance = {X_IMPORTANCE, 7, nullptr, CMC_EXT_LAST_ELEMENT};
  m.message_extensions = &importance;
  EXPECT_EQ(Write(&m, CMC_E_INVALID_FLAG), kHead + "To: ann\r\nImportance: \r\n");
  m.message_extensions = nullptr;
  vk::SetSmfClock(NoClock);
  EXPECT_EQ(Write(&m, CMC_E_FAILURE), kHead + "To: ann\r\nDate-posted: ");
  EXPECT_EQ(Write(nullptr, CMC_E_FAILURE), "");
}

}  // namespace
