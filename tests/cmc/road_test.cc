// A message's whole road through the public calls: bob sends, ann and carl
// list, read and delete, each on a tree set up by the library itself, with
// the login dialog played by a driver.  Then the ways a send can go wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/mail_tree.h"
#include "support/test_support.h"
#include "vkmsg/vkmsg.h"

namespace {

namespace fs = std::filesystem;

struct Rcpt {
  std::string name;     // empty: none
  std::string address;  // empty: none (resolved by look-up)
  CMC_enum role;
};

// A listed message, copied out of its result block.
struct Listed {
  std::string ref;
  std::string subject;
  std::string from;
  bool read = false;
  CMC_time time{};
};

using vktest::AsRef;
using vktest::RefBytes;

class Road : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"ann", "ann-pw"}, {"bob", "bob-pw"}, {"carl", "carl-pw"}}));
    attachment_ = dir_.Join("report.txt");
    attachment_bytes_ = std::string("first line\r\n\0\x01\xfe\xff last", 22);
    ASSERT_TRUE(vktest::WriteWholeFile(attachment_, attachment_bytes_));
  }

  CMC_return_code LogOn(const std::string& user) { return LogOnAs(user.c_str(), (user + "-pw").c_str()); }
  void LogOff() { ASSERT_EQ(MailTreeTest::LogOff(), CMC_SUCCESS); }

  CMC_return_code Send(const std::vector<Rcpt>& to, const std::string& subject, const char* text,
                       const std::vector<std::string>& files) {
    std::vector<Rcpt> r = to;
    std::vector<CMC_recipient> recips(r.size());
    for (size_t i = 0; i < r.size(); ++i) {
      recips[i] = CMC_recipient{};
      recips[i].name = r[i].name.empty() ? nullptr : &r[i].name[0];
      recips[i].address = r[i].address.empty() ? nullptr : &r[i].address[0];
      recips[i].role = r[i].role;
    }
    if (!recips.empty()) recips.back().recip_flags = CMC_RECIP_LAST_ELEMENT;
    std::vector<std::string> paths = files;
    std::vector<std::string> titles;
    for (auto& p : paths) titles.push_back(fs::path(p).filename().string());
    std::vector<CMC_attachment> atts(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
      atts[i] = CMC_attachment{};
      atts[i].attach_title = &titles[i][0];
      atts[i].attach_filename = &paths[i][0];
    }
    if (!atts.empty()) atts.back().attach_flags = CMC_ATT_LAST_ELEMENT;
    std::string subj = subject;
    std::string body = text ? text : "";
    char type[] = "CMC: IPM";
    CMC_message m{};
    m.message_type = type;
    m.subject = &subj[0];
    m.text_note = text ? &body[0] : nullptr;
    m.recipients = recips.empty() ? nullptr : recips.data();
    m.attachments = atts.empty() ? nullptr : atts.data();
    m.message_flags = CMC_MSG_LAST_ELEMENT;
    return cmc_send(session_, &m, 0, 0, nullptr);
  }

  CMC_return_code List(std::vector<Listed>* out) {
    out->clear();
    CMC_uint32 count = 0;
    CMC_message_summary* sums = nullptr;
    CMC_return_code r = cmc_list(session_, nullptr, 0, nullptr, &count, 0, &sums, nullptr);
    for (CMC_uint32 i = 0; sums && i < count; ++i) {
      Listed l;
      if (sums[i].message_reference)
        l.ref.assign(sums[i].message_reference->string, sums[i].message_reference->length);
      l.subject = sums[i].subject ? sums[i].subject : "";
      l.from = sums[i].originator && sums[i].originator->name ? sums[i].originator->name : "";
      l.read = (sums[i].summary_flags & CMC_SUM_READ) != 0;
      l.time = sums[i].time_sent;
      out->push_back(l);
    }
    if (sums) cmc_free(sums);
    return r;
  }

  CMC_return_code Read(const std::string& ref, CMC_flags flags, CMC_message** m) {
    std::vector<char> b = RefBytes(ref);
    return cmc_read(session_, AsRef(b), flags, m, 0, nullptr);
  }
  CMC_return_code Delete(const std::string& ref) {
    std::vector<char> b = RefBytes(ref);
    return cmc_act_on(session_, AsRef(b), CMC_ACT_ON_DELETE, 0, 0, nullptr);
  }

  std::string attachment_;
  std::string attachment_bytes_;
};

TEST_F(Road, BobSendsAnnReadsAndDeletesCarlKeepsHis) {
  ASSERT_EQ(LogOn("bob"), CMC_SUCCESS);
  ASSERT_EQ(Send({{"ann", "ann", CMC_ROLE_TO}, {"carl", "carl", CMC_ROLE_TO}}, "Quarterly report",
                 "Hello both,\r\nthe numbers are attached.", {attachment_}),
            CMC_SUCCESS);
  // Nothing of the send is left in the staging directories.
  EXPECT_EQ(CountFiles(MailDir("SND")), 0u);
  EXPECT_EQ(CountFiles(MailDir("PARCEL")), 0u);
  for (const char* user : {"ann", "carl"}) {
    EXPECT_EQ(CountFiles(Mailbox(user)), 1u) << user;
    EXPECT_EQ(CountFiles(Parcels(user)), 1u) << user;
  }
  EXPECT_EQ(CountFiles(Mailbox("bob")), 0u);
  LogOff();

  ASSERT_EQ(LogOn("ann"), CMC_SUCCESS);
  std::vector<Listed> listed;
  ASSERT_EQ(List(&listed), CMC_SUCCESS);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].subject, "Quarterly report");
  EXPECT_EQ(listed[0].from, "bob");
  EXPECT_FALSE(listed[0].read);
  EXPECT_NE(listed[0].time.day, 0);
  EXPECT_TRUE(fs::exists(listed[0].ref)) << listed[0].ref;

  CMC_message* m = nullptr;
  ASSERT_EQ(Read(listed[0].ref, 0, &m), CMC_SUCCESS);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->subject, "Quarterly report");
  ASSERT_NE(m->text_note, nullptr);
  EXPECT_EQ(std::string(m->text_note).rfind("Hello both,\r\nthe numbers are attached.", 0), 0u);
  EXPECT_EQ(m->message_flags & CMC_MSG_READ, 0u);
  std::vector<std::pair<std::string, CMC_enum>> people;
  ASSERT_NE(m->recipients, nullptr);
  for (CMC_recipient* p = m->recipients;; ++p) {
    if (p->name) people.emplace_back(p->name, p->role);
    if (p->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
  }
  ASSERT_EQ(people.size(), 3u);
  EXPECT_EQ(people[0], std::make_pair(std::string("bob"), CMC_enum{CMC_ROLE_ORIGINATOR}));
  EXPECT_EQ(people[1].second, CMC_enum{CMC_ROLE_TO});
  EXPECT_EQ(people[2].second, CMC_enum{CMC_ROLE_TO});
  ASSERT_NE(m->attachments, nullptr);
  EXPECT_NE(m->attachments[0].attach_flags & CMC_ATT_LAST_ELEMENT, 0u);
  EXPECT_STREQ(m->attachments[0].attach_title, "report.txt");
  ASSERT_NE(m->attachments[0].attach_filename, nullptr);
  const std::string parcel = m->attachments[0].attach_filename;
  EXPECT_EQ(vktest::ReadWholeFile(parcel), attachment_bytes_);
  EXPECT_TRUE(fs::equivalent(fs::path(parcel).parent_path(), Parcels("ann")));
  cmc_free(m);

  // Read now: listed with its mark, and the old reference still deletes it.
  std::vector<Listed> again;
  ASSERT_EQ(List(&again), CMC_SUCCESS);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_TRUE(again[0].read);
  EXPECT_EQ(Delete(listed[0].ref), CMC_SUCCESS);
  EXPECT_EQ(CountFiles(Mailbox("ann")), 0u);
  EXPECT_EQ(CountFiles(Parcels("ann")), 0u);
  EXPECT_FALSE(fs::exists(parcel));
  ASSERT_EQ(List(&again), CMC_SUCCESS);
  EXPECT_TRUE(again.empty());
  LogOff();

  ASSERT_EQ(LogOn("carl"), CMC_SUCCESS);
  ASSERT_EQ(List(&listed), CMC_SUCCESS);
  ASSERT_EQ(listed.size(), 1u);
  ASSERT_EQ(Read(listed[0].ref, 0, &m), CMC_SUCCESS);
  ASSERT_NE(m->attachments, nullptr);
  EXPECT_EQ(vktest::ReadWholeFile(m->attachments[0].attach_filename), attachment_bytes_);
  EXPECT_NE(std::string(m->attachments[0].attach_filename), parcel);
  cmc_free(m);
  LogOff();
}

TEST_F(Road, UnknownRecipientStopsTheSendAfterTheEarlierOnesGotTheirCopies) {
  ASSERT_EQ(LogOn("bob"), CMC_SUCCESS);
  EXPECT_EQ(Send({{"ann", "ann", CMC_ROLE_TO}, {"zed", "zed", CMC_ROLE_TO}, {"carl", "carl", CMC_ROLE_CC}},
                 "To a stranger", "text", {}),
            CMC_E_RECIPIENT_NOT_FOUND);
  EXPECT_EQ(CountFiles(Mailbox("ann")), 1u);
  EXPECT_EQ(CountFiles(Mailbox("carl")), 0u);
  EXPECT_FALSE(fs::exists(Mailbox("zed")));
}

TEST_F(Road, UnknownNameWithoutAddressIsRefusedByTheLookUp) {
  ASSERT_EQ(LogOn("bob"), CMC_SUCCESS);
  EXPECT_EQ(Send({{"ann", "", CMC_ROLE_TO}, {"zed", "", CMC_ROLE_TO}}, "By name", "text", {}),
            CMC_E_RECIPIENT_NOT_FOUND);
  EXPECT_EQ(CountFiles(Mailbox("ann")), 1u);
}

TEST_F(Road, NamesWithoutAddressAreResolvedByTheLookUp) {
  ASSERT_EQ(LogOn("bob"), CMC_SUCCESS);
  ASSERT_EQ(Send({{"Ann", "", CMC_ROLE_TO}, {"carl", "", CMC_ROLE_CC}}, "By name", "text", {attachment_}), CMC_SUCCESS);
  EXPECT_EQ(CountFiles(Mailbox("ann")), 1u);
  EXPECT_EQ(CountFiles(Mailbox("carl")), 1u);
  EXPECT_EQ(CountFiles(Parcels("ann")), 1u);
  LogOff();

  ASSERT_EQ(LogOn("ann"), CMC_SUCCESS);
  std::vector<Listed> listed;
  ASSERT_EQ(List(&listed), CMC_SUCCESS);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].subject, "By name");
}

TEST_F(Road, MissingAttachmentDeliversNothing) {
  ASSERT_EQ(LogOn("bob"), CMC_SUCCESS);
  EXPECT_EQ(Send({{"ann", "ann", CMC_ROLE_TO}}, "Lost file", "text", {attachment_, dir_.Join("no-such-file.bin")}),
            CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(CountFiles(Mailbox("ann")), 0u);
  EXPECT_EQ(CountFiles(Parcels("ann")), 0u);
  // The caller's own file is only ever read.
  EXPECT_EQ(vktest::ReadWholeFile(attachment_), attachment_bytes_);
}

TEST_F(Road, SameUserTwiceGetsTwoCopiesWithTheirOwnParcels) {
  ASSERT_EQ(LogOn("bob"), CMC_SUCCESS);
  ASSERT_EQ(Send({{"ann", "ann", CMC_ROLE_TO}, {"ann", "ann", CMC_ROLE_CC}}, "Twice", "text", {attachment_}),
            CMC_SUCCESS);
  EXPECT_EQ(CountFiles(Mailbox("ann")), 2u);
  EXPECT_EQ(CountFiles(Parcels("ann")), 2u);
  LogOff();

  ASSERT_EQ(LogOn("ann"), CMC_SUCCESS);
  std::vector<Listed> listed;
  ASSERT_EQ(List(&listed), CMC_SUCCESS);
  ASSERT_EQ(listed.size(), 2u);
  ASSERT_EQ(Delete(listed[0].ref), CMC_SUCCESS);
  // The other copy keeps its parcel.
  EXPECT_EQ(CountFiles(Parcels("ann")), 1u);
  CMC_message* m = nullptr;
  ASSERT_EQ(Read(listed[1].ref, 0, &m), CMC_SUCCESS);
  ASSERT_NE(m->attachments, nullptr);
  EXPECT_EQ(vktest::ReadWholeFile(m->attachments[0].attach_filename), attachment_bytes_);
  cmc_free(m);
}

TEST_F(Road, EmptyAttachmentArrivesEmpty) {
  const std::string empty = dir_.Join("empty.dat");
  ASSERT_TRUE(vktest::WriteWholeFile(empty, ""));
  ASSERT_EQ(LogOn("bob"), CMC_SUCCESS);
  ASSERT_EQ(Send({{"ann", "ann", CMC_ROLE_TO}, {"carl", "carl", CMC_ROLE_TO}}, "Nothing inside", nullptr, {empty}),
            CMC_SUCCESS);
  for (const char* user : {"ann", "carl"}) {
    std::vector<std::string> parcels = FileNames(Parcels(user));
    ASSERT_EQ(parcels.size(), 1u) << user;
    EXPECT_EQ(fs::file_size(fs::path(Parcels(user)) / parcels[0]), 0u) << user;
  }
  LogOff();

  ASSERT_EQ(LogOn("carl"), CMC_SUCCESS);
  std::vector<Listed> listed;
  ASSERT_EQ(List(&listed), CMC_SUCCESS);
  ASSERT_EQ(listed.size(), 1u);
  CMC_message* m = nullptr;
  ASSERT_EQ(Read(listed[0].ref, 0, &m), CMC_SUCCESS);
  ASSERT_NE(m->attachments, nullptr);
  EXPECT_STREQ(m->attachments[0].attach_title, "empty.dat");
  EXPECT_TRUE(fs::exists(m->attachments[0].attach_filename));
  EXPECT_EQ(fs::file_size(m->attachments[0].attach_filename), 0u);
  EXPECT_EQ(m->text_note, nullptr);
  cmc_free(m);
}

TEST_F(Road, ReferenceFromBeforeTheReadStillOpensTheMessage) {
  ASSERT_EQ(LogOn("bob"), CMC_SUCCESS);
  ASSERT_EQ(Send({{"ann", "ann", CMC_ROLE_TO}}, "Mark me", "body", {}), CMC_SUCCESS);
  LogOff();

  ASSERT_EQ(LogOn("ann"), CMC_SUCCESS);
  std::vector<Listed> listed;
  ASSERT_EQ(List(&listed), CMC_SUCCESS);
  ASSERT_EQ(listed.size(), 1u);
  const std::string before = listed[0].ref;

  CMC_message* m = nullptr;
  ASSERT_EQ(Read(before, CMC_DO_NOT_MARK_AS_READ, &m), CMC_SUCCESS);
  cmc_free(m);
  EXPECT_TRUE(fs::exists(before));  // not marked
  ASSERT_EQ(List(&listed), CMC_SUCCESS);
  EXPECT_FALSE(listed[0].read);

  ASSERT_EQ(Read(before, 0, &m), CMC_SUCCESS);
  EXPECT_EQ(m->message_flags & CMC_MSG_READ, 0u);  // unread when it was opened
  cmc_free(m);
  EXPECT_FALSE(fs::exists(before));
  EXPECT_TRUE(fs::exists(before + ".red"));

  ASSERT_EQ(List(&listed), CMC_SUCCESS);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_TRUE(listed[0].read);
  EXPECT_EQ(listed[0].subject, "Mark me");

  // Both the old and the new reference open the read message.
  for (const std::string& ref : {before, listed[0].ref}) {
    m = nullptr;
    ASSERT_EQ(Read(ref, 0, &m), CMC_SUCCESS) << ref;
    EXPECT_NE(m->message_flags & CMC_MSG_READ, 0u);
    EXPECT_STREQ(m->subject, "Mark me");
    cmc_free(m);
  }
  EXPECT_EQ(Delete(before), CMC_SUCCESS);
  EXPECT_EQ(CountFiles(Mailbox("ann")), 0u);
  EXPECT_EQ(Delete(before), CMC_E_INVALID_MESSAGE_REFERENCE);
  m = nullptr;
  EXPECT_EQ(Read(before, 0, &m), CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_EQ(m, nullptr);
}

}  // namespace
