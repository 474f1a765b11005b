// cmc_read over a real mailbox: the whole message, the read mark and its
// twin, references that lead out of the mailbox, attachments, body limits
// and messages too big for one result block.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "cmc/pool.h"
#include "platform/file.h"
#include "read/read.h"
#include "store/fileprim.h"
#include "support/mail_tree.h"

namespace {

using vktest::MessageBytes;

class ReadTest : public vktest::MailboxTest {
 protected:
  vktest::ReadResult Read(const std::string& reference, CMC_flags flags = 0) { return ReadMessage(reference, flags); }
  // The user's parcel directory, with its separator.
  std::string Parcels() const {
    return (std::filesystem::path(mailbox_).parent_path().parent_path() / "IPARCEL").string() + vk::kPathSep;
  }
  // "address/role" of every recipient record.
  static std::vector<std::string> Roles(const vktest::ReadResult& r) {
    std::vector<std::string> out;
    for (const auto& p : r.recipients) out.push_back(p.address + "/" + std::to_string(p.role));
    return out;
  }
  // "file|title|flags" of every attachment.
  static std::vector<std::string> Atts(const vktest::ReadResult& r) {
    std::vector<std::string> out;
    for (const auto& a : r.attachments) out.push_back(a.filename + "|" + a.title + "|" + std::to_string(a.flags));
    return out;
  }
};

const std::string kFrom = "/" + std::to_string(CMC_ROLE_ORIGINATOR);
const std::string kTo = "/" + std::to_string(CMC_ROLE_TO);
const std::string kCc = "/" + std::to_string(CMC_ROLE_CC);
const std::string kLastAtt = std::to_string(CMC_ATT_LAST_ELEMENT);

TEST_F(ReadTest, TheWholeMessage) {
  Put("KWZ0001", MessageBytes({"From: carol@far.example.org", "To: alice, ", " bob", "Copies-To: dave", "BCC: eve",
                               "Attachment: KWZaaaa, ", " KWZbbbb", "Attachment-name: a.txt, ", " b.doc",
                               "Subject: Budget", "Importance: High", "X-XAPIA_CMC_MESSAGE_TYPE: CMC: IPM",
                               "Date-posted:  4-Dec-1996  9:05:07 -0500"},
                              "Hi,\r\nAttachment: KWZzzzz\r\n"));
  vktest::ReadResult r = Read(InBox("KWZ0001"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.reference, InBox("KWZ0001"));
  EXPECT_EQ(r.subject, "Budget");
  EXPECT_EQ(r.text, "Hi,\r\nAttachment: KWZzzzz\r\n");
  EXPECT_EQ(vktest::When(r.time), "96-11-4 9:5:7 300");
  EXPECT_EQ(r.flags, CMC_MSG_LAST_ELEMENT);  // not read before this call
  // Blanks stay part of an item; the blind copies are not handed out.
  EXPECT_EQ(Roles(r),
            (std::vector<std::string>{"carol@far.example.org" + kFrom, "alice" + kTo, " bob" + kTo, "dave" + kCc}));
  EXPECT_EQ(r.recipients[0].name, "carol");
  EXPECT_EQ(r.recipients[3].flags, CMC_RECIP_LAST_ELEMENT);
  EXPECT_EQ(Atts(r),
            (std::vector<std::string>{Parcels() + "KWZaaaa|a.txt|0", Parcels() + "KWZbbbb|b.doc|" + kLastAtt}));
}

TEST_F(ReadTest, AReadAfterAListingSeesTheFileAsItIsThen) {
  namespace fs = std::filesystem;
  const std::string before = MessageBytes({"Subject: listed"}, "old text\r\n");
  const std::string after = MessageBytes({"Subject: second"}, "new text\r\n");  // as long as before
  ASSERT_EQ(before.size(), after.size());
  struct Case {
    const char* meanwhile;
    std::function<void()> change;
    CMC_return_code code;
    const char* subject;
  };
  const Case cases[] = {
      {"nothing", [] {}, CMC_SUCCESS, "listed"},
      {"another message took the name",
       [&] {
         Put("KWZ0001.tmp", after);
         fs::rename(InBox("KWZ0001.tmp"), InBox("KWZ0001"));
       },
       CMC_SUCCESS, "second"},
      {"deleted", [&] { fs::remove(InBox("KWZ0001")); }, CMC_E_INVALID_MESSAGE_REFERENCE, ""},
      {"read elsewhere", [&] { fs::rename(InBox("KWZ0001"), InBox("KWZ0001.red")); }, CMC_SUCCESS, "listed"},
  };
  // A mailbox that has not changed for a while is looked at once, not each
  // name in it; its time set back again after the change hides nothing.
  std::error_code unset;  // Win32 sets no directory's time here, and never looks only at it
  const fs::file_time_type long_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const bool settled : {false, true})
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.meanwhile) + (settled ? ", settled" : ""));
      for (const std::string& name : FileNames(mailbox_)) fs::remove(InBox(name));
      Put("KWZ0001", before);
      if (settled) fs::last_write_time(mailbox_, long_ago, unset);
      ASSERT_EQ(List().count, 1u);
      if (settled) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the clock's tick
      c.change();
      if (settled) fs::last_write_time(mailbox_, long_ago, unset);
      for (int again = 0; again < 2; ++again) {
        vktest::ReadResult r = Read(InBox("KWZ0001"), CMC_DO_NOT_MARK_AS_READ);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.subject, c.subject);
      }
    }
}

TEST_F(ReadTest, ATakenReadNameIsNeverReplaced) {
  PutMessage("KWZ0001", "the new one");
  PutMessage("KWZ0001.red", "the old one");
  vktest::ReadResult r = Read(InBox("KWZ0001"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.subject, "the new one");
  // Both messages are still there, each as it was: the new one stays unread.
  ASSERT_TRUE(InBoxExists("KWZ0001"));
  ASSERT_TRUE(InBoxExists("KWZ0001.red"));
  EXPECT_NE(vktest::ReadWholeFile(InBox("KWZ0001.red")).find("the old one"), std::string::npos);
  // And a new message never gets the name of a read one lying there.
  char path[vk::kPathMax];
  vk::FileHandle h = vk::UniqueFileDefault(mailbox_.c_str(), path, sizeof path);
  ASSERT_NE(h, vk::kNoFile);
  vk::CloseFile(h);
  EXPECT_EQ(std::string(path).find("KWZ0001"), std::string::npos);
}

TEST_F(ReadTest, ReferencesOutsideTheMailboxAreRefused) {
  PutMessage("KWZ0001", "mine");
  const std::string bob_box = (Mailbox("bob") / "KWZ0001").string();
  ASSERT_TRUE(vktest::WriteWholeFile(bob_box, MessageBytes({"From: x", "Subject: bob's"})));
  const std::string outside = dir_.Join("KWZ0001");
  ASSERT_TRUE(vktest::WriteWholeFile(outside, MessageBytes({"From: x", "Subject: outside"})));
  PutMessage("KWZ0002.tmp", "half delivered");
  Put("KWZ0003", "");
  std::vector<std::string> refused = vktest::RefusedReferences(InBox("KWZ0002.tmp"), bob_box, outside);
  refused.push_back(InBox("KWZ0003"));  // empty
  refused.push_back(InBox("KWZ0fff"));  // no such file under either name
  for (const std::string& ref : refused) {
    vktest::ReadResult r = Read(ref);
    EXPECT_EQ(r.code, CMC_E_INVALID_MESSAGE_REFERENCE) << ref;
    EXPECT_FALSE(r.handed_out) << ref;
  }
  // Nothing was marked read on the way.
  for (const std::string& kept : {bob_box, outside, InBox("KWZ0002.tmp"), InBox("KWZ0001")}) {
    EXPECT_TRUE(vktest::FileExists(kept)) << kept;
  }
  // Another spelling of the mailbox itself is still the mailbox.
  const std::string dotted = mailbox_ + "." + vk::kPathSep + "KWZ0001";
  vktest::ReadResult r = Read(dotted, CMC_DO_NOT_MARK_AS_READ);
  EXPECT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.subject, "mine");
  EXPECT_EQ(r.reference, dotted);
  EXPECT_TRUE(InBoxExists("KWZ0001"));
}

TEST_F(ReadTest, OnlyPlainParcelNamesAreHandedOut) {
  Put("KWZ0001", MessageBytes({"From: carol", "To: ann", "Attachment: .., KWZaaaa, ../../PUBLIC/passwd, C:KWZcccc, ",
                               " KWZdddd", "Attachment-name: t1 t2 t3 t4 t5"}));
  vktest::ReadResult r = Read(InBox("KWZ0001"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(Atts(r), (std::vector<std::string>{Parcels() + "KWZaaaa|t2|0", Parcels() + "KWZdddd|t5|" + kLastAtt}));
  Put("KWZ0002", MessageBytes({"From: carol", "Attachment: ../x"}));
  r = Read(InBox("KWZ0002"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_FALSE(r.has_attachments);
  // Parcels without titles have null titles; titles with no parcels do not
  // make the message unreadable.
  Put("KWZ0003", MessageBytes({"From: carol", "Attachment: KWZaaaa"}));
  EXPECT_EQ(Atts(Read(InBox("KWZ0003"))), (std::vector<std::string>{Parcels() + "KWZaaaa|(null)|" + kLastAtt}));
  Put("KWZ0004", MessageBytes({"From: carol", "Attachment-name: stray.txt"}, "x"));
  r = Read(InBox("KWZ0004"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_FALSE(r.has_attachments);
  EXPECT_EQ(r.text, "x");
}

TEST_F(ReadTest, RecipientRecordsAreNeverWrittenPastTheLast) {
  // No "From": the records run from 0 with the To items; the last record,
  // never reached, stays empty but flagged.
  Put("KWZ0001", MessageBytes({"To: a@x, b@y", "Copies-To: c"}));
  vktest::ReadResult r = Read(InBox("KWZ0001"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(Roles(r), (std::vector<std::string>{"a@x" + kTo, " b@y" + kTo, "c" + kCc, "(null)/0"}));
  EXPECT_EQ(r.recipients[1].name, " b");
  EXPECT_EQ(r.recipients[3].flags, CMC_RECIP_LAST_ELEMENT);
  // More items than counted (a second To field) are dropped at the last
  // record; an empty To gives no items.
  Put("KWZ0002", MessageBytes({"From: carol", "To: a, b, c", "To: d", "Copies-To: "}));
  r = Read(InBox("KWZ0002"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(Roles(r), (std::vector<std::string>{"carol" + kFrom, "a" + kTo}));
  EXPECT_EQ(r.recipients[1].flags, CMC_RECIP_LAST_ELEMENT);
  // A long address gives a name of at most 31 characters.
  const std::string user(40, 'u');
  Put("KWZ0003", MessageBytes({"From: " + user + "@x"}));
  r = Read(InBox("KWZ0003"));
  ASSERT_EQ(r.recipients.size(), 1u);
  EXPECT_EQ(r.recipients[0].name, std::string(31, 'u'));
  EXPECT_EQ(r.recipients[0].address, user + "@x");
}

TEST_F(ReadTest, BodyLimits) {
  std::string body(40000, 'b');
  for (size_t i = 100; i < body.size(); i += 100) body[i] = '\n';
  Put("KWZ0001", MessageBytes({"From: carol"}, body));
  vktest::ReadResult r = Read(InBox("KWZ0001"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.text, body.substr(0, vk::kBodyMax));
  Put("KWZ0002", MessageBytes({"From: carol", "Subject: nothing"}));
  r = Read(InBox("KWZ0002"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_FALSE(r.has_text);
  EXPECT_FALSE(r.has_attachments);
  // A header without its empty line: the message is all header.
  Put("KWZ0003", "SMF-71\r\nFrom: carol\r\nSubject: cut");
  r = Read(InBox("KWZ0003"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.subject, "cut");
  EXPECT_FALSE(r.has_text);
}

TEST_F(ReadTest, AMessageTooBigForOneBlockHandsOutNothing) {
  // A full body and 511 parcels, each handed out as a long path: more than
  // one result block holds.
  std::string parcels;
  for (int i = 0; i < 511; ++i) parcels += "K,";
  Put("KWZ0001", MessageBytes({"From: carol", vktest::Folded("Attachment", parcels)}, std::string(vk::kBodyMax, 'b')));
  const int before = vk::PoolLiveBlockCount();
  vktest::ReadResult r = Read(InBox("KWZ0001"));
  EXPECT_EQ(r.code, CMC_E_INSUFFICIENT_MEMORY);
  EXPECT_FALSE(r.handed_out);
  EXPECT_EQ(vk::PoolLiveBlockCount(), before);
  EXPECT_TRUE(InBoxExists("KWZ0001"));  // and it was not marked read
  EXPECT_FALSE(InBoxExists("KWZ0001.red"));
  // Half of them with a short body fit.
  Put("KWZ0002", MessageBytes({"From: carol", vktest::Folded("Attachment", parcels.substr(0, 510))}, "short"));
  r = Read(InBox("KWZ0002"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.attachments.size(), 255u);
}

}  // namespace
