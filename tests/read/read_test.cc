// cmc_read over a real mailbox: the whole message, the read mark and its
// twin, references that lead out of the mailbox, attachments, body limits
// and messages too big for one result block.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "mailbox_fixture.h"
#include "platform/file.h"
#include "read/read.h"
#include "send/smf_writer.h"
#include "store/fileprim.h"

namespace {

using readtest::MailboxTest;
using readtest::MessageBytes;

struct Recipient {
  std::string name;
  std::string address;
  CMC_enum role;
  CMC_enum type;
  CMC_flags flags;
};

struct Attachment {
  std::string filename;
  std::string title;  // "(null)" for none
  std::string type;
  CMC_flags flags;
};

struct ReadResult {
  CMC_return_code code = 0xFFFF;
  bool handed_out = false;
  std::string reference;
  std::string subject;
  std::string type;
  bool has_text = false;
  std::string text;
  CMC_time time{};
  CMC_flags flags = 0;
  std::vector<Recipient> recipients;
  bool has_attachments = false;
  std::vector<Attachment> attachments;
};

class ReadTest : public MailboxTest {
 protected:
  ReadResult Read(const std::string& reference, CMC_flags flags = 0) {
    std::vector<char> ref = Reference(reference);
    CMC_message* m = reinterpret_cast<CMC_message*>(1);
    ReadResult r;
    r.code = cmc_read(session_, AsRef(ref), flags, &m, 0, nullptr);
    if (m == nullptr) return r;
    r.handed_out = true;
    if (m->message_reference) r.reference.assign(m->message_reference->string, m->message_reference->length);
    if (m->subject) r.subject = m->subject;
    if (m->message_type) r.type = m->message_type;
    if (m->text_note) {
      r.has_text = true;
      r.text = m->text_note;
    }
    r.time = m->time_sent;
    r.flags = m->message_flags;
    EXPECT_EQ(m->message_extensions, nullptr);
    for (const CMC_recipient* p = m->recipients; p != nullptr; ++p) {
      r.recipients.push_back({p->name ? p->name : "(null)", p->address ? p->address : "(null)", p->role,
                              p->name_type, p->recip_flags});
      EXPECT_EQ(p->recip_extensions, nullptr);
      if (p->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
    }
    r.has_attachments = m->attachments != nullptr;
    for (const CMC_attachment* a = m->attachments; a != nullptr; ++a) {
      r.attachments.push_back({a->attach_filename ? a->attach_filename : "(null)",
                               a->attach_title ? a->attach_title : "(null)",
                               a->attach_type ? a->attach_type : "(null)", a->attach_flags});
      if (a->attach_flags & CMC_ATT_LAST_ELEMENT) break;
    }
    EXPECT_EQ(cmc_free(m), CMC_SUCCESS);
    return r;
  }
  // The user's parcel directory, with its separator.
  std::string Parcels() const {
    return (readtest::fs::path(mailbox_).parent_path().parent_path() / "IPARCEL").string() + vk::kPathSep;
  }
};

TEST_F(ReadTest, TheWholeMessage) {
  Put("KWZ0001", MessageBytes({"From: carol@far.example.org", "To: alice, ", " bob", "Copies-To: dave",
                               "BCC: eve", "Attachment: KWZaaaa, ", " KWZbbbb", "Attachment-name: a.txt, ",
                               " b.doc", "Subject: Budget", "Importance: High",
                               "X-XAPIA_CMC_MESSAGE_TYPE: CMC: IPM", "Date-posted:  4-Dec-1996  9:05:07 -0500"},
                              "Hi,\r\nthe figures.\r\n"));
  ReadResult r = Read(InBox("KWZ0001"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.reference, InBox("KWZ0001"));
  EXPECT_EQ(r.subject, "Budget");
  EXPECT_EQ(r.type, "CMC: IPM");
  EXPECT_EQ(r.text, "Hi,\r\nthe figures.\r\n");
  EXPECT_EQ(r.time.day, 4);
  EXPECT_EQ(r.time.month, 11);
  EXPECT_EQ(r.time.year, 96);
  EXPECT_EQ(r.time.hour, 9);
  EXPECT_EQ(r.time.minute, 5);
  EXPECT_EQ(r.time.second, 7);
  EXPECT_EQ(r.time.tmzone, 300);
  EXPECT_EQ(r.flags, CMC_MSG_LAST_ELEMENT);  // not read before this call

  ASSERT_EQ(r.recipients.size(), 4u);
  EXPECT_EQ(r.recipients[0].address, "carol@far.example.org");
  EXPECT_EQ(r.recipients[0].name, "carol");
  EXPECT_EQ(r.recipients[0].role, static_cast<CMC_enum>(CMC_ROLE_ORIGINATOR));
  EXPECT_EQ(r.recipients[1].address, "alice");
  EXPECT_EQ(r.recipients[1].role, static_cast<CMC_enum>(CMC_ROLE_TO));
  EXPECT_EQ(r.recipients[2].address, " bob");  // blanks stay part of an item
  EXPECT_EQ(r.recipients[2].role, static_cast<CMC_enum>(CMC_ROLE_TO));
  EXPECT_EQ(r.recipients[3].address, "dave");
  EXPECT_EQ(r.recipients[3].role, static_cast<CMC_enum>(CMC_ROLE_CC));
  for (size_t i = 0; i < r.recipients.size(); ++i) {
    EXPECT_EQ(r.recipients[i].type, static_cast<CMC_enum>(CMC_TYPE_INDIVIDUAL));
    EXPECT_EQ(r.recipients[i].flags, i == 3 ? CMC_RECIP_LAST_ELEMENT : 0u);
  }

  ASSERT_EQ(r.attachments.size(), 2u);
  EXPECT_EQ(r.attachments[0].filename, Parcels() + "KWZaaaa");
  EXPECT_EQ(r.attachments[0].title, "a.txt");
  EXPECT_EQ(r.attachments[1].filename, Parcels() + "KWZbbbb");
  EXPECT_EQ(r.attachments[1].title, "b.doc");
  EXPECT_EQ(r.attachments[0].type, "? ? ? ? ? ?");
  EXPECT_EQ(r.attachments[0].flags, 0u);
  EXPECT_EQ(r.attachments[1].flags, CMC_ATT_LAST_ELEMENT);
}

TEST_F(ReadTest, TheReadMarkRenamesOnceAndTheReferenceStaysValid) {
  PutMessage("KWZ0001", "hello");
  const std::string bytes = vktest::ReadWholeFile(InBox("KWZ0001"));
  ReadResult first = Read(InBox("KWZ0001"));
  ASSERT_EQ(first.code, CMC_SUCCESS);
  EXPECT_EQ(first.flags & CMC_MSG_READ, 0u);
  EXPECT_FALSE(InBoxExists("KWZ0001"));
  ASSERT_TRUE(InBoxExists("KWZ0001.red"));
  EXPECT_EQ(vktest::ReadWholeFile(InBox("KWZ0001.red")), bytes);

  // The reference from before the rename still reads the message.
  ReadResult again = Read(InBox("KWZ0001"));
  ASSERT_EQ(again.code, CMC_SUCCESS);
  EXPECT_EQ(again.flags & CMC_MSG_READ, CMC_MSG_READ);
  EXPECT_EQ(again.subject, "hello");
  EXPECT_TRUE(InBoxExists("KWZ0001.red"));
  EXPECT_FALSE(InBoxExists("KWZ0001.red.red"));

  ReadResult by_new_name = Read(InBox("KWZ0001.red"));
  ASSERT_EQ(by_new_name.code, CMC_SUCCESS);
  EXPECT_TRUE(by_new_name.flags & CMC_MSG_READ);

  // The name with the empty extension's dot is the same message.
  PutMessage("KWZ0002", "dot");
  ASSERT_EQ(Read(InBox("KWZ0002.")).code, CMC_SUCCESS);
  EXPECT_TRUE(InBoxExists("KWZ0002.red"));
  EXPECT_FALSE(InBoxExists("KWZ0002"));

  readtest::Listing l = List();
  ASSERT_EQ(l.count, 2u);
  for (const auto& item : l.items) EXPECT_TRUE(item.flags & CMC_SUM_READ) << item.name;
}

TEST_F(ReadTest, DoNotMarkAsReadKeepsTheName) {
  PutMessage("KWZ0001", "hello");
  ReadResult r = Read(InBox("KWZ0001"), CMC_DO_NOT_MARK_AS_READ);
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_TRUE(InBoxExists("KWZ0001"));
  EXPECT_FALSE(InBoxExists("KWZ0001.red"));
  // Other bits are ignored.
  ASSERT_EQ(Read(InBox("KWZ0001"), 0x7FFFFFFEu).code, CMC_SUCCESS);
  EXPECT_FALSE(InBoxExists("KWZ0001"));
}

TEST_F(ReadTest, ATakenReadNameIsNeverReplaced) {
  PutMessage("KWZ0001", "the new one");
  PutMessage("KWZ0001.red", "the old one");
  ReadResult r = Read(InBox("KWZ0001"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.subject, "the new one");
  // Both messages are still there, each as it was: the new one stays unread.
  ASSERT_TRUE(InBoxExists("KWZ0001"));
  ASSERT_TRUE(InBoxExists("KWZ0001.red"));
  EXPECT_NE(vktest::ReadWholeFile(InBox("KWZ0001")).find("the new one"), std::string::npos);
  EXPECT_NE(vktest::ReadWholeFile(InBox("KWZ0001.red")).find("the old one"), std::string::npos);
  EXPECT_EQ(List().count, 2u);

  // And a new message never gets the name of a read one lying there.
  char path[vk::kPathMax];
  vk::FileHandle h = vk::UniqueFileDefault(mailbox_.c_str(), path, sizeof path);
  ASSERT_NE(h, vk::kNoFile);
  vk::CloseFile(h);
  EXPECT_EQ(std::string(path).find("KWZ0001"), std::string::npos);
}

TEST_F(ReadTest, ReferencesOutsideTheMailboxAreRefused) {
  PutMessage("KWZ0001", "mine");
  const std::string bob_box = (readtest::fs::path(mailbox_).parent_path().parent_path().parent_path() / "bob" /
                               "MHS" / "KWZ0001").string();
  ASSERT_TRUE(vktest::WriteWholeFile(bob_box, MessageBytes({"From: x", "Subject: bob's"})));
  const std::string outside = dir_.Join("KWZ0001");
  ASSERT_TRUE(vktest::WriteWholeFile(outside, MessageBytes({"From: x", "Subject: outside"})));
  const std::string up = std::string(1, vk::kPathSep) + ".." + vk::kPathSep;
  PutMessage("KWZ0002.tmp", "half delivered");
  Put("KWZ0003", "");

  const std::vector<std::string> refused = {
      bob_box,
      mailbox_ + ".." + vk::kPathSep + ".." + vk::kPathSep + "bob" + vk::kPathSep + "MHS" + vk::kPathSep + "KWZ0001",
      mailbox_ + ".." + up + ".." + up + ".." + up + "KWZ0001",
      outside,
      "KWZ0001",  // relative: wherever the host happens to stand
      mailbox_ + "KWZ0002.tmp",
      mailbox_ + "KWZ0003",  // empty
      mailbox_ + "KWZ0fff",  // no such file under either name
      mailbox_,
      mailbox_ + "..",
      "",
  };
  for (const std::string& ref : refused) {
    ReadResult r = Read(ref);
    EXPECT_EQ(r.code, CMC_E_INVALID_MESSAGE_REFERENCE) << ref;
    EXPECT_FALSE(r.handed_out) << ref;
  }
  // Nothing was marked read on the way.
  EXPECT_TRUE(vktest::FileExists(bob_box));
  EXPECT_FALSE(vktest::FileExists(bob_box + ".red"));
  EXPECT_TRUE(vktest::FileExists(outside));
  EXPECT_TRUE(InBoxExists("KWZ0002.tmp"));
  EXPECT_TRUE(InBoxExists("KWZ0001"));

  // Another spelling of the mailbox itself is still the mailbox.
  const std::string dotted = mailbox_ + "." + vk::kPathSep + "KWZ0001";
  ReadResult r = Read(dotted, CMC_DO_NOT_MARK_AS_READ);
  EXPECT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.subject, "mine");
  EXPECT_EQ(r.reference, dotted);
}

TEST_F(ReadTest, OnlyPlainParcelNamesAreHandedOut) {
  Put("KWZ0001", MessageBytes({"From: carol", "To: ann", "Attachment: .., KWZaaaa, ../../PUBLIC/passwd, C:KWZcccc, ",
                               " KWZdddd", "Attachment-name: t1 t2 t3 t4 t5"}));
  ReadResult r = Read(InBox("KWZ0001"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  ASSERT_EQ(r.attachments.size(), 2u);
  EXPECT_EQ(r.attachments[0].filename, Parcels() + "KWZaaaa");
  EXPECT_EQ(r.attachments[0].title, "t2");
  EXPECT_EQ(r.attachments[0].flags, 0u);
  EXPECT_EQ(r.attachments[1].filename, Parcels() + "KWZdddd");
  EXPECT_EQ(r.attachments[1].title, "t5");
  EXPECT_EQ(r.attachments[1].flags, CMC_ATT_LAST_ELEMENT);

  Put("KWZ0002", MessageBytes({"From: carol", "Attachment: ../x"}));
  r = Read(InBox("KWZ0002"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_FALSE(r.has_attachments);

  // Parcels without titles have null titles; no "Attachment" no array.
  Put("KWZ0003", MessageBytes({"From: carol", "Attachment: KWZaaaa, ", " KWZbbbb"}));
  r = Read(InBox("KWZ0003"));
  ASSERT_EQ(r.attachments.size(), 2u);
  EXPECT_EQ(r.attachments[0].title, "(null)");
  EXPECT_EQ(r.attachments[1].title, "(null)");
  Put("KWZ0004", MessageBytes({"From: carol", "Attachment-name: stray.txt"}, "x"));
  r = Read(InBox("KWZ0004"));
  ASSERT_EQ(r.code, CMC_SUCCESS);  // titles with no parcels do not make the message unreadable
  EXPECT_FALSE(r.has_attachments);
  EXPECT_EQ(r.text, "x");
}

TEST_F(ReadTest, RecipientListsAndTheirRecords) {
  // No "From": the records run from 0 with the To items; the last record,
  // never reached, stays empty but flagged.
  Put("KWZ0001", MessageBytes({"To: a@x, b@y", "Copies-To: c"}));
  ReadResult r = Read(InBox("KWZ0001"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  ASSERT_EQ(r.recipients.size(), 4u);
  EXPECT_EQ(r.recipients[0].name, "a");
  EXPECT_EQ(r.recipients[1].name, " b");
  EXPECT_EQ(r.recipients[1].address, " b@y");
  EXPECT_EQ(r.recipients[2].address, "c");
  EXPECT_EQ(r.recipients[2].role, static_cast<CMC_enum>(CMC_ROLE_CC));
  EXPECT_EQ(r.recipients[3].address, "(null)");
  EXPECT_EQ(r.recipients[3].flags, CMC_RECIP_LAST_ELEMENT);

  // More items than counted (a second To field) are dropped at the last
  // record, never written past it; an empty To gives no items.
  Put("KWZ0002", MessageBytes({"From: carol", "To: a, b, c", "To: d", "Copies-To: "}));
  r = Read(InBox("KWZ0002"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  ASSERT_EQ(r.recipients.size(), 2u);
  EXPECT_EQ(r.recipients[0].address, "carol");
  EXPECT_EQ(r.recipients[1].address, "a");
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
  ReadResult r = Read(InBox("KWZ0001"));
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
  Put("KWZ0001", MessageBytes({"From: carol", readtest::Folded("Attachment", parcels)},
                              std::string(vk::kBodyMax, 'b')));
  const int before = vk::PoolLiveBlockCount();
  ReadResult r = Read(InBox("KWZ0001"));
  EXPECT_EQ(r.code, CMC_E_INSUFFICIENT_MEMORY);
  EXPECT_FALSE(r.handed_out);
  EXPECT_EQ(vk::PoolLiveBlockCount(), before);
  EXPECT_TRUE(InBoxExists("KWZ0001"));  // and it was not marked read
  EXPECT_FALSE(InBoxExists("KWZ0001.red"));

  // Half of them with a short body fit.
  Put("KWZ0002", MessageBytes({"From: carol", readtest::Folded("Attachment", parcels.substr(0, 510))}, "short"));
  r = Read(InBox("KWZ0002"));
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.attachments.size(), 255u);
}

bool FixedClock(vk::LocalTime* now, long* west) {
  *now = vk::LocalTime{};
  now->year = 99;
  now->month = 6;
  now->day = 21;
  now->hour = 14;
  now->minute = 30;
  now->second = 1;
  *west = 3600;
  return true;
}

CMC_return_code FakeParcel(const char*, char* name, size_t size) {
  vk::CopyBounded(name, "KWZ7e7e.", size);
  return CMC_SUCCESS;
}

TEST_F(ReadTest, AMessageFromTheWriterReadsBack) {
  vk::SmfClockFn clock = vk::SetSmfClock(FixedClock);
  vk::ParcelCopyFn copy = vk::SetSmfParcelCopy(FakeParcel);
  CMC_recipient to[3] = {};
  to[0].name = const_cast<char*>("ann");
  to[0].role = CMC_ROLE_TO;
  to[1].address = const_cast<char*>("bob@site");
  to[1].role = CMC_ROLE_TO;
  to[2].name = const_cast<char*>("carl");
  to[2].role = CMC_ROLE_CC;
  to[2].recip_flags = CMC_RECIP_LAST_ELEMENT;
  CMC_attachment att = {};
  att.attach_title = const_cast<char*>("report.txt");
  att.attach_filename = const_cast<char*>("report.txt");
  att.attach_flags = CMC_ATT_LAST_ELEMENT;
  CMC_message m = {};
  m.subject = const_cast<char*>("Budget");
  m.text_note = const_cast<char*>("Hi");
  m.recipients = to;
  m.attachments = &att;

  char path[vk::kPathMax];
  vk::FileHandle h = vk::UniqueFileDefault(mailbox_.c_str(), path, sizeof path);
  ASSERT_NE(h, vk::kNoFile);
  EXPECT_EQ(vk::WriteMessage(h, &m), CMC_SUCCESS);
  vk::CloseFile(h);
  vk::SetSmfClock(clock);
  vk::SetSmfParcelCopy(copy);

  readtest::Listing l = List();
  ASSERT_EQ(l.count, 1u);
  EXPECT_EQ(l.items[0].subject, "Budget");
  EXPECT_EQ(l.items[0].originator_address, "ann");
  EXPECT_EQ(l.items[0].time.day, 21);
  EXPECT_EQ(l.items[0].time.hour, 14);
  EXPECT_EQ(l.items[0].time.tmzone, 60);

  ReadResult r = Read(l.items[0].reference);
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.text, "Hi\r\n");
  ASSERT_EQ(r.recipients.size(), 4u);
  EXPECT_EQ(r.recipients[0].address, "ann");
  EXPECT_EQ(r.recipients[1].address, "ann");
  EXPECT_EQ(r.recipients[2].address, " bob@site");
  EXPECT_EQ(r.recipients[2].name, " bob");
  EXPECT_EQ(r.recipients[3].address, "carl");
  EXPECT_EQ(r.recipients[3].role, static_cast<CMC_enum>(CMC_ROLE_CC));
  ASSERT_EQ(r.attachments.size(), 1u);
  EXPECT_EQ(r.attachments[0].filename, Parcels() + "KWZ7e7e.");
  EXPECT_EQ(r.attachments[0].title, "report.txt");
  EXPECT_TRUE(InBoxExists(l.items[0].name + ".red"));
}

}  // namespace

namespace {

TEST_F(ReadTest, ASentMessageIsListedAndReadWithItsParcel) {
  const std::string source = dir_.Join("report.txt");
  ASSERT_TRUE(vktest::WriteWholeFile(source, "the figures\r\n"));
  CMC_recipient to[2] = {};
  to[0].name = const_cast<char*>("ann");
  to[0].address = const_cast<char*>("ann");
  to[0].role = CMC_ROLE_TO;
  to[1].name = const_cast<char*>("bob");
  to[1].address = const_cast<char*>("bob");
  to[1].role = CMC_ROLE_CC;
  to[1].recip_flags = CMC_RECIP_LAST_ELEMENT;
  CMC_attachment att = {};
  att.attach_title = const_cast<char*>("report.txt");
  att.attach_filename = const_cast<char*>(source.c_str());
  att.attach_flags = CMC_ATT_LAST_ELEMENT;
  CMC_message m = {};
  m.subject = const_cast<char*>("Figures");
  m.text_note = const_cast<char*>("See the attachment.");
  m.recipients = to;
  m.attachments = &att;
  ASSERT_EQ(cmc_send(session_, &m, 0, 0, nullptr), CMC_SUCCESS);

  readtest::Listing l = List();
  ASSERT_EQ(l.code, CMC_SUCCESS);
  ASSERT_EQ(l.count, 1u);
  EXPECT_EQ(l.items[0].subject, "Figures");
  EXPECT_EQ(l.items[0].originator_address, "ann");
  EXPECT_EQ(l.items[0].flags, CMC_SUM_LAST_ELEMENT);

  ReadResult r = Read(l.items[0].reference);
  ASSERT_EQ(r.code, CMC_SUCCESS);
  EXPECT_EQ(r.text, "See the attachment.\r\n");
  ASSERT_EQ(r.recipients.size(), 3u);
  EXPECT_EQ(r.recipients[1].address, "ann");
  EXPECT_EQ(r.recipients[2].address, "bob");
  EXPECT_EQ(r.recipients[2].role, static_cast<CMC_enum>(CMC_ROLE_CC));
  ASSERT_EQ(r.attachments.size(), 1u);
  EXPECT_EQ(r.attachments[0].title, "report.txt");
  EXPECT_EQ(r.attachments[0].filename.rfind(Parcels(), 0), 0u) << r.attachments[0].filename;
  EXPECT_EQ(vktest::ReadWholeFile(r.attachments[0].filename), "the figures\r\n");

  readtest::Listing after = List();
  ASSERT_EQ(after.count, 1u);
  EXPECT_EQ(after.items[0].name, l.items[0].name + ".red");
  EXPECT_TRUE(after.items[0].flags & CMC_SUM_READ);
}

}  // namespace

namespace {

TEST_F(ReadTest, MarkReadOnItsOwn) {
  EXPECT_EQ(vk::MarkRead(nullptr), CMC_SUCCESS);
  std::vector<char> too_long = Reference(mailbox_ + std::string(200, 'a'));
  EXPECT_EQ(vk::MarkRead(AsRef(too_long)), CMC_E_FAILURE);
  const std::string bob = (readtest::fs::path(mailbox_).parent_path().parent_path().parent_path() / "bob" / "MHS" /
                           "KWZ0001").string();
  ASSERT_TRUE(vktest::WriteWholeFile(bob, MessageBytes({"From: x"})));
  std::vector<char> other = Reference(bob);
  EXPECT_EQ(vk::MarkRead(AsRef(other)), CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_TRUE(vktest::FileExists(bob));

  PutMessage("KWZ0001", "x");
  std::vector<char> mine = Reference(InBox("KWZ0001"));
  EXPECT_EQ(vk::MarkRead(AsRef(mine)), CMC_SUCCESS);
  EXPECT_TRUE(InBoxExists("KWZ0001.red"));
  // Again: the file is already renamed, nothing happens and nothing fails.
  EXPECT_EQ(vk::MarkRead(AsRef(mine)), CMC_SUCCESS);
  EXPECT_TRUE(InBoxExists("KWZ0001.red"));
  std::vector<char> red = Reference(InBox("KWZ0001.red"));
  EXPECT_EQ(vk::MarkRead(AsRef(red)), CMC_SUCCESS);
  EXPECT_FALSE(InBoxExists("KWZ0001.red.red"));

  // Only the first `length` characters of a reference count.
  PutMessage("KWZ0002", "y");
  std::vector<char> longer = Reference(InBox("KWZ0002") + "junk");
  AsRef(longer)->length -= 4;
  EXPECT_EQ(vk::MarkRead(AsRef(longer)), CMC_SUCCESS);
  EXPECT_TRUE(InBoxExists("KWZ0002.red"));
}

}  // namespace
