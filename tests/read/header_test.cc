// Dates and their zones as the header reader parses them, and a field
// replaced in a file with a long body behind it.  Header lines themselves
// the listing tests read through cmc_list.
#include "read/header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "send/smf_writer.h"
#include "store/fileprim.h"
#include "support/mail_tree.h"

namespace {

const CMC_return_code kFailure = CMC_E_FAILURE;
const CMC_return_code kInvalid = CMC_E_INVALID_MESSAGE_PARAMETER;

// Parses a copy that ends exactly where the text ends, so a read past it is
// caught by the sanitizer build.
CMC_return_code Parse(const std::string& text, CMC_time* t) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return vk::ParseDatePosted(copy.get(), t);
}

TEST(ParseDatePosted, ZonesKeepTheirSignAndBadDatesKeepWhatParsed) {
  const std::pair<const char*, const char*> cases[] = {
      {" 4-Dec-1996  9:05:07 -0500", "96-11-4 9:5:7 300"},   {"30-jun-2025 23:59:58 -0830", "125-5-30 23:59:58 510"},
      {"14-Jul-2025 12:00:00 +0100", "125-6-14 12:0:0 -60"}, {" 1-JAN-2000  0:00:00 +0530", "100-0-1 0:0:0 -330"},
      {" 4-Dek-1996  9:05:07 -0500", "96--1-4 9:5:7 300"},  // an unknown month only
  };
  for (const auto& c : cases) {
    CMC_time t{};
    ASSERT_EQ(Parse(c.first, &t), 0u) << c.first;
    EXPECT_EQ(vktest::When(t), c.second) << c.first;
  }
  // What the writer produces reads back as the same moment and zone.
  for (long zoneWest : {18000L, 0L, -3600L, -36000L, 28800L}) {
    char text[32];
    ASSERT_TRUE(vk::FormatDatePosted(vk::LocalTime{101, 1, 9, 7, 8, 9}, zoneWest, text, sizeof text));
    CMC_time t{};
    ASSERT_EQ(Parse(text, &t), 0u) << text;
    EXPECT_EQ(vktest::When(t), "101-1-9 7:8:9 " + std::to_string(zoneWest / 60)) << text;
  }
  CMC_time t{};
  EXPECT_EQ(Parse(" 4-Dec-1996  9.05.07 -0500", &t), kInvalid);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(vk::ParseDatePosted(nullptr, &t), kFailure);
  EXPECT_EQ(vk::ParseDatePosted("", nullptr), kFailure);
  const std::string date = " 4-Dec-1996  9:05:07 -0500";
  for (size_t n = 0; n < date.size(); ++n) EXPECT_EQ(Parse(date.substr(0, n), &t), kInvalid) << "cut after " << n;
}

TEST(ReplaceHeaderField, MovesTheRestOfTheFileBothWays) {
  vktest::ScratchDir dir;
  const std::string path = dir.Join("KWZ0001");
  const std::string message = vktest::MessageBytes({"From: bob", "To: ann", "Attachment: KWZ1a2b., ", " KWZ1a2c.",
                                                    "Attachment-name: report.txt, ", " plan.doc", "Subject: Budget"},
                                                   "Hi\r\nAttachment: not-in-the-header\r\n");
  const std::string oldField = "Attachment: KWZ1a2b., \r\n KWZ1a2c.\r\n";
  const size_t at = message.find(oldField);
  const std::string before = message.substr(0, at), after = message.substr(at + oldField.size());
  const std::string shorter = "Attachment: KWZ9c0d, KWZ9c0e\r\n";
  const std::string longer = "Attachment: " + std::string(80, 'L') + "\r\n";
  // A body of many chunks moves intact, both ways.
  std::string body(100000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 23);
  ASSERT_TRUE(vktest::WriteWholeFile(path, message + body));
  vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kOpenReadWrite);
  ASSERT_NE(h, vk::kNoFile);
  EXPECT_EQ(vk::ReplaceHeaderField(h, "Attachment", longer.c_str()), 0u);
  EXPECT_EQ(vk::ReplaceHeaderField(h, "Attachment", shorter.c_str()), 0u);
  EXPECT_EQ(vk::ReplaceHeaderField(h, "BCC", "BCC: x\r\n"), kFailure);  // not in the header: no change
  vk::CloseFile(h);
  EXPECT_TRUE(vktest::ReadWholeFile(path) == before + shorter + after + body);
}

}  // namespace
