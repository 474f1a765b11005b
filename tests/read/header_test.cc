// The header reader: fields and continuation lines, dates, list items, and
// finding, fetching and replacing a field inside a message file.
#include "read/header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "address/namelist.h"
#include "platform/memory.h"
#include "send/smf_writer.h"
#include "store/bufread.h"
#include "store/fileprim.h"
#include "support/test_support.h"

namespace {

using Field = std::pair<int, std::string>;

class HeaderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (reader_) vk::CloseBuffered(reader_);
    if (h_ != vk::kNoFile) vk::CloseFile(h_);
  }
  // Opens a file with `bytes` for reading and writing.
  vk::FileHandle Open(const std::string& bytes) {
    if (h_ != vk::kNoFile) vk::CloseFile(h_);
    path_ = dir_.Join("KWZ0001");
    EXPECT_TRUE(vktest::WriteWholeFile(path_, bytes));
    h_ = vk::OpenFileMode(path_.c_str(), vk::kOpenReadWrite);
    EXPECT_NE(h_, vk::kNoFile);
    return h_;
  }
  vk::BufferedFile* Reader(const std::string& bytes) {
    if (reader_) vk::CloseBuffered(reader_);
    reader_ = vk::OpenBuffered(Open(bytes), vk::kBufferedCapacity);
    h_ = vk::kNoFile;  // the reader closes it
    EXPECT_NE(reader_, nullptr);
    return reader_;
  }
  Field Next(uint32_t size = 512) {
    std::vector<char> value(size, 'x');
    int id = -1;
    EXPECT_EQ(vk::ReadHeaderField(reader_, &id, value.data(), size), 0u);
    return {id, std::string(value.data())};
  }
  // Every field up to and including the end of the header.
  std::vector<Field> All(const std::string& bytes) {
    Reader(bytes);
    std::vector<Field> fields;
    for (int guard = 0; guard < 1000; ++guard) {
      fields.push_back(Next());
      if (fields.back().first == vk::kFieldEnd) break;
    }
    return fields;
  }
  std::string Contents() {
    if (h_ != vk::kNoFile) {
      vk::CloseFile(h_);
      h_ = vk::kNoFile;
    }
    return vktest::ReadWholeFile(path_);
  }

  vktest::ScratchDir dir_;
  std::string path_;
  vk::FileHandle h_ = vk::kNoFile;
  vk::BufferedFile* reader_ = nullptr;
};

const char kMessage[] =
    "SMF-71\r\n"
    "From: bob\r\n"
    "To: ann, \r\n"
    " dave\r\n"
    "Copies-To: carl\r\n"
    "Attachment: KWZ1a2b., \r\n"
    " KWZ1a2c.\r\n"
    "Attachment-name: report.txt, \r\n"
    " plan.doc\r\n"
    "Subject: Budget\r\n"
    "Date-posted:  4-Dec-1996  9:05:07 -0500\r\n"
    "\r\n"
    "Hi\r\n"
    "Attachment: not-in-the-header\r\n";

TEST_F(HeaderTest, ReadsAWrittenHeader) {
  EXPECT_EQ(All(kMessage), (std::vector<Field>{{vk::kFieldTag, "SMF-71"},
                                                {vk::kFieldFrom, "bob"},
                                                {vk::kFieldTo, "ann, dave"},
                                                {vk::kFieldCopiesTo, "carl"},
                                                {vk::kFieldAttachment, "KWZ1a2b., KWZ1a2c."},
                                                {vk::kFieldAttachmentName, "report.txt, plan.doc"},
                                                {vk::kFieldSubject, "Budget"},
                                                {vk::kFieldDatePosted, "4-Dec-1996  9:05:07 -0500"},
                                                {vk::kFieldEnd, ""}}));
  // The reader stands at the body.
  char line[100];
  EXPECT_EQ(vk::ReadLine(reader_, line, 96), 2u);
  EXPECT_STREQ(line, "Hi");
}

TEST_F(HeaderTest, NamesAndIgnoredLines) {
  EXPECT_EQ(All("subject: low\r\n"
                "2To: ann\r\n"
                "X-Other: value\r\n"
                " continued: x\r\n"
                "no colon here\r\n"
                "smf-71\r\n"
                "Subject : blank before colon\r\n"
                "Message-id: 42\r\n"
                "\r\n"),
            (std::vector<Field>{{vk::kFieldSubject, "low"},
                                {vk::kFieldTo, "ann"},
                                {vk::kFieldUnknown, ""},
                                {vk::kFieldUnknown, ""},
                                {vk::kFieldUnknown, "no colon here"},
                                {vk::kFieldTag, "smf-71"},
                                {vk::kFieldUnknown, ""},
                                {vk::kFieldMessageId, "42"},
                                {vk::kFieldEnd, ""}}));
}

TEST_F(HeaderTest, ContinuationsOnlyAfterAValue) {
  // Nothing after the colon: the next line is not examined as a
  // continuation; it is read as a line of its own.
  EXPECT_EQ(All("To:\r\n bob\r\nTo: alice, \r\n\tbob\r\n"),
            (std::vector<Field>{{vk::kFieldTo, ""}, {vk::kFieldUnknown, " bob"}, {vk::kFieldTo, "alice, bob"},
                                {vk::kFieldEnd, ""}}));
  // A value of blanks alone still takes continuations.
  EXPECT_EQ(All("To: \r\n bob\r\n\r\n"), (std::vector<Field>{{vk::kFieldTo, "bob"}, {vk::kFieldEnd, ""}}));
}

TEST_F(HeaderTest, TheEmptyLineEndsTheHeader) {
  Reader("From: bob\r\n\r\nbody\r\n");
  EXPECT_EQ(Next(), Field(vk::kFieldFrom, "bob"));
  EXPECT_EQ(Next(), Field(vk::kFieldEnd, ""));
  EXPECT_EQ(vk::BufferedTell(reader_), 13u);
}

TEST_F(HeaderTest, LastLineWithoutLineEnd) {
  EXPECT_EQ(All("SMF-71\r\nTo: a, \r\n b"),
            (std::vector<Field>{{vk::kFieldTag, "SMF-71"}, {vk::kFieldTo, "a, b"}, {vk::kFieldEnd, ""}}));
  EXPECT_EQ(Next(), Field(vk::kFieldEnd, ""));
}

TEST_F(HeaderTest, LongLinesComeInPieces) {
  const std::string subject(141, 's');
  std::string rest = subject.substr(87);
  EXPECT_EQ(All("Subject: " + subject + "\r\nFrom: bob\r\n\r\n"),
            (std::vector<Field>{{vk::kFieldSubject, subject.substr(0, 87)},
                                {vk::kFieldUnknown, rest},
                                {vk::kFieldFrom, "bob"},
                                {vk::kFieldEnd, ""}}));
}

TEST_F(HeaderTest, ValueIsCutToTheBuffer) {
  Reader("To: aaaaaaaaaa\r\n bbbbbbbbbb\r\n cccccccccc\r\nFrom: bob\r\n");
  EXPECT_EQ(Next(14), Field(vk::kFieldTo, "aaaaaaaaaabb"));
  // The continuation lines beyond the buffer were consumed all the same.
  EXPECT_EQ(Next(14), Field(vk::kFieldFrom, "bob"));
}

TEST_F(HeaderTest, ReadHeaderFieldArguments) {
  Reader("From: bob\r\n");
  char value[16];
  int id = 0;
  EXPECT_EQ(vk::ReadHeaderField(nullptr, &id, value, 16), static_cast<CMC_return_code>(CMC_E_FAILURE));
  EXPECT_EQ(vk::ReadHeaderField(reader_, nullptr, value, 16), static_cast<CMC_return_code>(CMC_E_FAILURE));
  EXPECT_EQ(vk::ReadHeaderField(reader_, &id, nullptr, 16), static_cast<CMC_return_code>(CMC_E_FAILURE));
  EXPECT_EQ(vk::ReadHeaderField(reader_, &id, value, 0), static_cast<CMC_return_code>(CMC_E_FAILURE));
  // Nothing was read by the refused calls.
  EXPECT_EQ(Next(), Field(vk::kFieldFrom, "bob"));
}

TEST(HeaderFieldId, Table) {
  for (int id = 1; id < vk::kFieldEnd; ++id) EXPECT_EQ(vk::HeaderFieldId(vk::HeaderNames[id]), id);
  EXPECT_EQ(vk::HeaderFieldId("copies-to"), vk::kFieldCopiesTo);
  EXPECT_EQ(vk::HeaderFieldId("DATE-POSTED"), vk::kFieldDatePosted);
  EXPECT_EQ(vk::HeaderFieldId("Attachment-names"), vk::kFieldUnknown);
  EXPECT_EQ(vk::HeaderFieldId("Attach"), vk::kFieldUnknown);
  EXPECT_EQ(vk::HeaderFieldId(""), vk::kFieldUnknown);
  EXPECT_EQ(vk::HeaderFieldId(nullptr), vk::kFieldUnknown);
}

TEST(MonthIndex, Names) {
  EXPECT_EQ(vk::MonthIndex("jan"), 0);
  EXPECT_EQ(vk::MonthIndex("Dec"), 11);
  EXPECT_EQ(vk::MonthIndex("MAY"), 4);
  EXPECT_EQ(vk::MonthIndex("Dex"), -1);
  EXPECT_EQ(vk::MonthIndex(""), -1);
  EXPECT_EQ(vk::MonthIndex(nullptr), -1);
}

// Parses a copy that ends exactly where the text ends, so a read past it is
// caught by the sanitizer build.
CMC_return_code Parse(const std::string& text, CMC_time* t) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return vk::ParseDatePosted(copy.get(), t);
}

TEST(ParseDatePosted, WrittenForm) {
  CMC_time t{};
  ASSERT_EQ(Parse(" 4-Dec-1996  9:05:07 -0500", &t), 0u);
  EXPECT_EQ(t.day, 4);
  EXPECT_EQ(t.month, 11);
  EXPECT_EQ(t.year, 96);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(t.minute, 5);
  EXPECT_EQ(t.second, 7);
  EXPECT_EQ(t.tmzone, 300);
  EXPECT_EQ(t.isdst, 0);

  ASSERT_EQ(Parse("30-Jun-2025 23:59:58 -0830", &t), 0u);
  EXPECT_EQ(t.day, 30);
  EXPECT_EQ(t.month, 5);
  EXPECT_EQ(t.year, 125);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.second, 58);
  EXPECT_EQ(t.tmzone, 510);
}

TEST(ParseDatePosted, ZonesKeepTheirSign) {
  CMC_time t{};
  ASSERT_EQ(Parse("14-Jul-2025 12:00:00 +0100", &t), 0u);
  EXPECT_EQ(t.tmzone, -60);
  ASSERT_EQ(Parse(" 1-Jan-2000  0:00:00 -0000", &t), 0u);
  EXPECT_EQ(t.tmzone, 0);
  ASSERT_EQ(Parse(" 1-Jan-2000  0:00:00 +0530", &t), 0u);
  EXPECT_EQ(t.tmzone, -330);
  // What the writer produces reads back as the same moment and zone.
  for (long zoneWest : {18000L, 0L, -3600L, -36000L, 28800L}) {
    char text[32];
    ASSERT_TRUE(vk::FormatDatePosted(vk::LocalTime{101, 1, 9, 7, 8, 9}, zoneWest, text, sizeof text));
    ASSERT_EQ(Parse(text, &t), 0u) << text;
    EXPECT_EQ(t.year, 101);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 9);
    EXPECT_EQ(t.hour, 7);
    EXPECT_EQ(t.minute, 8);
    EXPECT_EQ(t.second, 9);
    EXPECT_EQ(t.tmzone, zoneWest / 60) << text;
  }
}

TEST(ParseDatePosted, BadDates) {
  CMC_time t{};
  ASSERT_EQ(Parse(" 4-Dek-1996  9:05:07 -0500", &t), 0u);
  EXPECT_EQ(t.month, -1);
  EXPECT_EQ(t.year, 96);
  EXPECT_EQ(Parse(" 4 Dec 1996  9:05:07 -0500", &t), static_cast<CMC_return_code>(CMC_E_INVALID_MESSAGE_PARAMETER));
  EXPECT_EQ(t.day, 4);
  EXPECT_EQ(Parse(" 4-Dec-1996  9.05.07 -0500", &t), static_cast<CMC_return_code>(CMC_E_INVALID_MESSAGE_PARAMETER));
  EXPECT_EQ(t.year, 96);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(vk::ParseDatePosted(nullptr, &t), static_cast<CMC_return_code>(CMC_E_FAILURE));
  EXPECT_EQ(vk::ParseDatePosted("", nullptr), static_cast<CMC_return_code>(CMC_E_FAILURE));
}

TEST(ParseDatePosted, EveryTruncationIsAnError) {
  const std::string date = " 4-Dec-1996  9:05:07 -0500";
  for (size_t n = 0; n < date.size(); ++n) {
    CMC_time t{};
    EXPECT_EQ(Parse(date.substr(0, n), &t), static_cast<CMC_return_code>(CMC_E_INVALID_MESSAGE_PARAMETER))
        << "cut after " << n << " characters";
  }
}

TEST(CountListItems, Items) {
  EXPECT_EQ(vk::CountListItems("ann, bob, carl"), 3u);
  EXPECT_EQ(vk::CountListItems("\"Smith, Ann\", bob"), 2u);
  EXPECT_EQ(vk::CountListItems("(Smith, Ann) ann, bob"), 2u);
  EXPECT_EQ(vk::CountListItems("((a, b), c), d"), 2u);
  EXPECT_EQ(vk::CountListItems("{a, b}, c"), 2u);
  EXPECT_EQ(vk::CountListItems("a\\, b, c"), 2u);
  EXPECT_EQ(vk::CountListItems("a\\"), 1u);
  EXPECT_EQ(vk::CountListItems("single"), 1u);
  EXPECT_EQ(vk::CountListItems(""), 0u);
  EXPECT_EQ(vk::CountListItems(nullptr), 0u);
}

TEST(NameFromAddress, BeforeTheAtSign) {
  char out[8];
  EXPECT_EQ(vk::NameFromAddress("ann@office", out, sizeof out), 1);
  EXPECT_STREQ(out, "ann");
  EXPECT_EQ(vk::NameFromAddress("carl", out, sizeof out), 1);
  EXPECT_STREQ(out, "carl");
  EXPECT_EQ(vk::NameFromAddress("bartholomew@x", out, sizeof out), 1);
  EXPECT_STREQ(out, "barthol");
  EXPECT_EQ(vk::NameFromAddress(nullptr, out, sizeof out), 0);
  EXPECT_EQ(vk::NameFromAddress("a", nullptr, 8), 0);
}

TEST(IsPlainFileName, OnlyNamesThatStayInTheDirectory) {
  for (const char* ok : {"KWZ1a2b", "KWZ1a2b.", "report.txt", "a b"}) EXPECT_EQ(vk::IsPlainFileName(ok), 1) << ok;
  for (const char* bad : {"", ".", "..", "...", "../KWZ1a2b", "..\\KWZ1a2b", "sub/KWZ1", "C:KWZ1", "\\\\server\\x",
                          "/etc/passwd"})
    EXPECT_EQ(vk::IsPlainFileName(bad), 0) << bad;
  EXPECT_EQ(vk::IsPlainFileName(nullptr), 0);
}

TEST_F(HeaderTest, FindHeaderField) {
  vk::FileHandle h = Open(kMessage);
  const std::string text = kMessage;
  uint32_t start = 0, length = 0;
  ASSERT_EQ(vk::FindHeaderField(h, "attachment", &start, &length), 0u);
  EXPECT_EQ(text.substr(start, length), "Attachment: KWZ1a2b., \r\n KWZ1a2c.\r\n");
  ASSERT_EQ(vk::FindHeaderField(h, "Date-posted", &start, &length), 0u);
  EXPECT_EQ(text.substr(start, length), "Date-posted:  4-Dec-1996  9:05:07 -0500\r\n");
  ASSERT_EQ(vk::FindHeaderField(h, "SMF-71", &start, &length), 0u);
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(length, 8u);
  const CMC_return_code absent = CMC_E_FAILURE;
  EXPECT_EQ(vk::FindHeaderField(h, "BCC", &start, &length), absent);
  EXPECT_EQ(vk::FindHeaderField(h, "X-Unknown", &start, &length), absent);
  EXPECT_EQ(vk::FindHeaderField(h, nullptr, &start, &length), absent);
  EXPECT_EQ(vk::FindHeaderField(vk::kNoFile, "To", &start, &length), absent);
}

TEST_F(HeaderTest, FindInAnEmptyFile) {
  uint32_t start = 0, length = 0;
  EXPECT_EQ(vk::FindHeaderField(Open(""), "To", &start, &length), static_cast<CMC_return_code>(CMC_E_FAILURE));
}

std::string TakeValue(vk::GlobalHandle block) {
  if (!block) return "<none>";
  std::string s(static_cast<const char*>(vk::PlatGlobalLock(block)));
  vk::PlatGlobalUnlock(block);
  vk::PlatGlobalFree(block);
  return s;
}

TEST_F(HeaderTest, GetHeaderFieldValue) {
  vk::FileHandle h = Open(kMessage);
  EXPECT_EQ(TakeValue(vk::GetHeaderFieldValue(h, "Attachment")), "KWZ1a2b., KWZ1a2c.");
  EXPECT_EQ(TakeValue(vk::GetHeaderFieldValue(h, "From")), "bob");
  EXPECT_EQ(TakeValue(vk::GetHeaderFieldValue(h, "BCC")), "<none>");
  h = Open("SMF-71\r\nTo: \r\nFrom: bob\r\n\r\n");
  EXPECT_EQ(TakeValue(vk::GetHeaderFieldValue(h, "To")), "<none>");
}

TEST_F(HeaderTest, GetHeaderFieldList) {
  vk::FileHandle h = Open(kMessage);
  NameList* list = vk::GetHeaderFieldList(h, "Attachment", ", \r\n");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count, 2u);
  EXPECT_STREQ(list->slots[0], "KWZ1a2b.");
  EXPECT_STREQ(list->slots[1], "KWZ1a2c.");
  vk::FreeNameList(list);
  EXPECT_EQ(vk::GetHeaderFieldList(h, "BCC", ", \r\n"), nullptr);
  EXPECT_EQ(vk::GetHeaderFieldList(h, "Attachment", nullptr), nullptr);
}

TEST_F(HeaderTest, ReplaceShorterLongerAndWithLargeTail) {
  const std::string message = kMessage;
  const std::string oldField = "Attachment: KWZ1a2b., \r\n KWZ1a2c.\r\n";
  const size_t at = message.find(oldField);

  vk::FileHandle h = Open(message);
  const std::string shorter = "Attachment: KWZ9c0d, KWZ9c0e\r\n";
  ASSERT_EQ(vk::ReplaceHeaderField(h, "Attachment", shorter.c_str()), 0u);
  std::string expected = message.substr(0, at) + shorter + message.substr(at + oldField.size());
  EXPECT_EQ(Contents(), expected);

  h = Open(message);
  const std::string longer = "Attachment: " + std::string(80, 'L') + "\r\n";
  ASSERT_EQ(vk::ReplaceHeaderField(h, "Attachment", longer.c_str()), 0u);
  EXPECT_EQ(Contents(), message.substr(0, at) + longer + message.substr(at + oldField.size()));

  // A body of many chunks moves intact, both ways.
  std::string body(100000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 23);
  h = Open(message + body);
  ASSERT_EQ(vk::ReplaceHeaderField(h, "Attachment", longer.c_str()), 0u);
  ASSERT_EQ(vk::ReplaceHeaderField(h, "Attachment", shorter.c_str()), 0u);
  EXPECT_TRUE(Contents() == expected + body);

  // Removing a field.
  h = Open(message);
  ASSERT_EQ(vk::ReplaceHeaderField(h, "Subject", ""), 0u);
  std::string gone = message;
  gone.erase(gone.find("Subject: Budget\r\n"), 17);
  EXPECT_EQ(Contents(), gone);
}

TEST_F(HeaderTest, ReplaceRefusals) {
  vk::FileHandle h = Open(kMessage);
  const CMC_return_code failure = CMC_E_FAILURE;
  EXPECT_EQ(vk::ReplaceHeaderField(h, "BCC", "BCC: x\r\n"), failure);
  EXPECT_EQ(vk::ReplaceHeaderField(h, "X-Unknown", "x\r\n"), failure);
  EXPECT_EQ(vk::ReplaceHeaderField(h, nullptr, "x\r\n"), failure);
  EXPECT_EQ(vk::ReplaceHeaderField(h, "To", nullptr), failure);
  EXPECT_EQ(vk::ReplaceHeaderField(vk::kNoFile, "To", "To: x\r\n"), failure);
  EXPECT_EQ(Contents(), kMessage);
}

}  // namespace
