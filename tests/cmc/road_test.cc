// A message's whole road through the public calls: bob sends, ann and carl
// list, read and delete, each on a tree set up by the library itself, with
// the login dialog played by a driver.  What a failed send leaves behind the
// delivery tests cover.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/mail_tree.h"

namespace {

namespace fs = std::filesystem;
using vktest::Attach;
using vktest::To;

class Road : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"ann", "ann-pw"}, {"bob", "bob-pw"}, {"carl", "carl-pw"}}));
    attachment_ = Source("report.txt", attachment_bytes_);
  }
  CMC_return_code LogOn(const std::string& user) { return LogOnAs(user.c_str(), (user + "-pw").c_str()); }
  void LogOff() { ASSERT_EQ(MailTreeTest::LogOff(), CMC_SUCCESS); }
  CMC_return_code SendTo(std::vector<CMC_recipient> to, const char* subject, const char* text,
                         const std::vector<std::string>& files) {
    std::vector<std::string> titles;
    for (const std::string& p : files) titles.push_back(fs::path(p).filename().string());
    std::vector<CMC_attachment> atts;
    for (size_t i = 0; i < files.size(); ++i) atts.push_back(Attach(files[i], titles[i].c_str()));
    CMC_message m = vktest::Message(to, &atts, subject, text);
    m.message_type = const_cast<char*>("CMC: IPM");
    m.message_flags = CMC_MSG_LAST_ELEMENT;
    return Send(&m);
  }
  std::string attachment_;
  const std::string attachment_bytes_ = std::string("first line\r\n\0\x01\xfe\xff last", 22);
};

TEST_F(Road, BobSendsAnnReadsAndDeletesCarlKeepsHis) {
  ASSERT_EQ(LogOn("bob"), CMC_SUCCESS);
  ASSERT_EQ(
      SendTo({To("ann"), To("carl")}, "Quarterly report", "Hello both,\r\nthe numbers are attached.", {attachment_}),
      CMC_SUCCESS);
  ExpectStagingEmpty();
  for (const char* user : {"ann", "carl"}) {
    EXPECT_EQ(CountFiles(Mailbox(user)), 1u) << user;
    EXPECT_EQ(CountFiles(Parcels(user)), 1u) << user;
  }
  EXPECT_EQ(CountFiles(Mailbox("bob")), 0u);
  LogOff();
  ASSERT_EQ(LogOn("ann"), CMC_SUCCESS);
  vktest::Listing listed = List();
  ASSERT_EQ(listed.items.size(), 1u);
  const vktest::Listed first = listed.items[0];
  EXPECT_EQ(first.subject, "Quarterly report");
  EXPECT_EQ(first.originator_name, "bob");
  EXPECT_FALSE(first.read());
  EXPECT_NE(first.time.day, 0);
  ASSERT_EQ(ReadMessage(first.reference, CMC_DO_NOT_MARK_AS_READ).code, CMC_SUCCESS);
  EXPECT_FALSE(List().items[0].read());
  vktest::ReadResult m = ReadMessage(first.reference);
  ASSERT_EQ(m.code, CMC_SUCCESS);
  EXPECT_TRUE(fs::exists(first.reference + ".red"));
  EXPECT_EQ(m.subject, "Quarterly report");
  EXPECT_EQ(m.text.rfind("Hello both,\r\nthe numbers are attached.", 0), 0u);
  EXPECT_EQ(m.flags & CMC_MSG_READ, 0u);  // unread when it was opened
  EXPECT_EQ(m.recipients.size(), 3u);     // bob, ann and carl
  ASSERT_EQ(m.attachments.size(), 1u);
  EXPECT_EQ(m.attachments[0].title, "report.txt");
  const std::string parcel = m.attachments[0].filename;
  EXPECT_EQ(vktest::ReadWholeFile(parcel), attachment_bytes_);
  EXPECT_TRUE(fs::equivalent(fs::path(parcel).parent_path(), Parcels("ann")));
  // Read now: listed with its mark; the old reference still seeds a
  // listing, opens the read message and deletes it.
  listed = List(0, 0, &first.reference);
  ASSERT_EQ(listed.items.size(), 1u);
  EXPECT_TRUE(listed.items[0].read());
  for (const std::string& ref : {first.reference, listed.items[0].reference}) {
    EXPECT_NE(ReadMessage(ref).flags & CMC_MSG_READ, 0u) << ref;
  }
  EXPECT_EQ(ActOn(first.reference), CMC_SUCCESS);
  EXPECT_EQ(CountFiles(Mailbox("ann")), 0u);
  EXPECT_EQ(CountFiles(Parcels("ann")), 0u);
  EXPECT_TRUE(List().items.empty());
  EXPECT_EQ(ActOn(first.reference), CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_FALSE(ReadMessage(first.reference).handed_out);
  LogOff();
  ASSERT_EQ(LogOn("carl"), CMC_SUCCESS);
  listed = List();
  ASSERT_EQ(listed.items.size(), 1u);
  m = ReadMessage(listed.items[0].reference);
  ASSERT_EQ(m.attachments.size(), 1u);
  EXPECT_EQ(vktest::ReadWholeFile(m.attachments[0].filename), attachment_bytes_);
  EXPECT_NE(m.attachments[0].filename, parcel);
  LogOff();
}

}  // namespace
