// Sending through cmc_send into a real mail tree: the delivered files byte
// for byte, the parcels, what a failed send leaves behind, and injected
// failures at every file operation of a send.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "address/namelist.h"
#include "send/parcel.h"
#include "send/send_test_util.h"

namespace {

namespace fs = std::filesystem;
using sendtest::Attach;
using sendtest::fs::path;
using sendtest::kFixedDateLine;
using sendtest::Message;
using sendtest::To;

class Deliver : public sendtest::MailTree {
 protected:
  // True when nothing of a send is left in SND and PARCEL.
  void ExpectStagingEmpty() {
    EXPECT_TRUE(FilesIn(Mail() / "SND").empty());
    EXPECT_TRUE(FilesIn(Mail() / "PARCEL").empty());
  }
  // The one file of `dir`; "" when there is not exactly one.
  static std::string Only(const path& dir) {
    auto names = FilesIn(dir);
    EXPECT_EQ(names.size(), 1u) << dir.string();
    return names.size() == 1 ? names[0] : std::string();
  }
};

// The example of a message with one attachment to two To and one Cc
// recipient.
std::string BudgetMessage(const std::string& attachmentLine) {
  return std::string("SMF-71\r\n") + "From: bob\r\n" + "To: ann, \r\n" + " dave\r\n" + "Copies-To: carl\r\n" +
         attachmentLine + "Attachment-name: report.txt\r\n" + "Subject: Budget\r\n" + kFixedDateLine + "\r\n" +
         "Hi\r\n";
}

TEST_F(Deliver, EachRecipientGetsTheMessageWithItsOwnParcel) {
  const std::string report = Source("report.txt", "budget figures\r\n");
  std::vector<CMC_recipient> r = {To("ann"), To("dave"), To("carl", CMC_ROLE_CC)};
  std::vector<CMC_attachment> a = {Attach(report, "report.txt")};
  CMC_message m = Message(r, &a, "Budget", "Hi");
  ASSERT_EQ(Send(&m), CMC_SUCCESS);

  for (const char* user : {"ann", "dave", "carl"}) {
    SCOPED_TRACE(user);
    const std::string parcel = Only(Parcels(user));
    ASSERT_EQ(parcel.size(), 7u);
    EXPECT_EQ(parcel.substr(0, 3), "KWZ");
    EXPECT_EQ(Read(Parcels(user) / parcel), "budget figures\r\n");
    const std::string message = Only(Mailbox(user));
    EXPECT_EQ(message.size(), 7u);
    EXPECT_EQ(Read(Mailbox(user) / message), BudgetMessage("Attachment: " + parcel + "\r\n"));
  }
  EXPECT_TRUE(FilesIn(Mailbox("bob")).empty());
  ExpectStagingEmpty();
  // The caller's file is only read.
  EXPECT_EQ(vktest::ReadWholeFile(report), "budget figures\r\n");
}

TEST_F(Deliver, WithoutAttachmentsEveryCopyIsTheStagedFile) {
  std::vector<CMC_recipient> r = {To("ann"), To("bob")};
  CMC_message m = Message(r, nullptr, nullptr, nullptr);
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  const std::string expected = std::string("SMF-71\r\nFrom: bob\r\nTo: ann, \r\n bob\r\n") + kFixedDateLine + "\r\n";
  EXPECT_EQ(Read(Mailbox("ann") / Only(Mailbox("ann"))), expected);
  EXPECT_EQ(Read(Mailbox("bob") / Only(Mailbox("bob"))), expected);
  EXPECT_TRUE(FilesIn(Parcels("ann")).empty());
  ExpectStagingEmpty();
}

TEST_F(Deliver, TheSameUserTwiceGetsTwoCopiesWithTwoSetsOfParcels) {
  const std::string file = Source("a.txt", "AAA");
  std::vector<CMC_recipient> r = {To("ann"), To("ANN@elsewhere", CMC_ROLE_CC)};
  std::vector<CMC_attachment> a = {Attach(file, "a.txt")};
  CMC_message m = Message(r, &a, nullptr, "x");
  ASSERT_EQ(Send(&m), CMC_SUCCESS);

  auto messages = FilesIn(Mailbox("ann"));
  auto parcels = FilesIn(Parcels("ann"));
  ASSERT_EQ(messages.size(), 2u);
  ASSERT_EQ(parcels.size(), 2u);
  std::vector<std::string> named;
  for (const auto& message : messages) {
    const std::string text = Read(Mailbox("ann") / message);
    EXPECT_NE(text.find("To: ann\r\nCopies-To: ANN@elsewhere\r\n"), std::string::npos);
    const size_t at = text.find("Attachment: ");
    ASSERT_NE(at, std::string::npos);
    named.push_back(text.substr(at + 12, 7));
  }
  std::sort(named.begin(), named.end());
  EXPECT_EQ(named, parcels);
  for (const auto& p : parcels) EXPECT_EQ(Read(Parcels("ann") / p), "AAA");
  ExpectStagingEmpty();
}

TEST_F(Deliver, TheAddressBeforeTheAtSignNamesTheUser) {
  std::vector<CMC_recipient> r = {To("carl@host.example")};
  CMC_message m = Message(r, nullptr, "s", nullptr);
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  const std::string text = Read(Mailbox("carl") / Only(Mailbox("carl")));
  EXPECT_NE(text.find("\r\nTo: carl@host.example\r\n"), std::string::npos);
}

TEST_F(Deliver, UnknownRecipientStopsTheSendAfterEarlierOnesAreDelivered) {
  const std::string file = Source("a.txt", "AAA");
  std::vector<CMC_recipient> r = {To("ann"), To("zed"), To("carl")};
  std::vector<CMC_attachment> a = {Attach(file, "a.txt")};
  CMC_message m = Message(r, &a, nullptr, nullptr);
  EXPECT_EQ(Send(&m), CMC_E_RECIPIENT_NOT_FOUND);
  EXPECT_EQ(FilesIn(Mailbox("ann")).size(), 1u);
  EXPECT_EQ(FilesIn(Parcels("ann")).size(), 1u);
  EXPECT_TRUE(FilesIn(Mailbox("carl")).empty());
  EXPECT_FALSE(fs::exists(Mail() / "USERS" / "zed"));
  ExpectStagingEmpty();
}

TEST_F(Deliver, AddressesThatAreNoUserNameAreNotFound) {
  const std::string outside = dir_.Join("outside");
  fs::create_directories(path(outside) / "MHS");
  const std::string longName(40, 'a');
  for (const char* address : {"", "..", ".", "../../..", "ann/../bob", "ann\\x", "a:b", "bob.", " ann", "*",
                              "../../../outside", longName.c_str()}) {
    SCOPED_TRACE(address);
    std::vector<CMC_recipient> r = {To(address)};
    CMC_message m = Message(r, nullptr, nullptr, nullptr);
    EXPECT_EQ(Send(&m), CMC_E_RECIPIENT_NOT_FOUND);
  }
  EXPECT_TRUE(FilesIn(path(outside) / "MHS").empty());
  for (const char* user : {"bob", "ann"}) EXPECT_TRUE(FilesIn(Mailbox(user)).empty());
  ExpectStagingEmpty();
}

TEST_F(Deliver, MissingAttachmentFailsBeforeAnyDeliveryAndLeavesNothing) {
  const std::string file = Source("a.txt", "AAA");
  std::vector<CMC_recipient> r = {To("ann")};
  const std::string missing = dir_.Join("missing.txt");
  std::vector<CMC_attachment> a = {Attach(file, "a.txt"), Attach(missing, "m.txt")};
  CMC_message m = Message(r, &a, nullptr, nullptr);
  EXPECT_EQ(Send(&m), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_TRUE(FilesIn(Mailbox("ann")).empty());
  EXPECT_TRUE(FilesIn(Parcels("ann")).empty());
  ExpectStagingEmpty();
}

TEST_F(Deliver, EmptyAttachmentArrivesAsAnEmptyParcel) {
  const std::string empty = Source("empty.dat", "");
  std::vector<CMC_recipient> r = {To("ann"), To("carl")};
  std::vector<CMC_attachment> a = {Attach(empty, "empty.dat")};
  CMC_message m = Message(r, &a, nullptr, nullptr);
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  for (const char* user : {"ann", "carl"}) {
    const std::string parcel = Only(Parcels(user));
    EXPECT_EQ(fs::file_size(Parcels(user) / parcel), 0u);
    EXPECT_NE(Read(Mailbox(user) / Only(Mailbox(user))).find("Attachment: " + parcel + "\r\n"), std::string::npos);
  }
  ExpectStagingEmpty();
}

TEST_F(Deliver, SeveralAttachmentsBecomeOneLineOfTheRecipientsNamesInOrder) {
  const std::string fa = Source("a", "first"), fb = Source("b", "second"), fc = Source("c", "third");
  std::vector<CMC_attachment> a = {Attach(fa, "a"), Attach(fb, nullptr), Attach(fc, "c")};
  std::vector<CMC_recipient> r = {To("ann"), To("dave")};
  CMC_message m = Message(r, &a, nullptr, "body");
  ASSERT_EQ(Send(&m), CMC_SUCCESS);

  for (const char* user : {"ann", "dave"}) {
    SCOPED_TRACE(user);
    const std::string text = Read(Mailbox(user) / Only(Mailbox(user)));
    const std::string head = "SMF-71\r\nFrom: bob\r\nTo: ann, \r\n dave\r\nAttachment: ";
    ASSERT_EQ(text.substr(0, head.size()), head);
    // Three names of seven characters joined by ", " on one line.
    const std::string names = text.substr(head.size(), 25);
    ASSERT_EQ(text.substr(head.size() + 25, 2), "\r\n") << text;
    EXPECT_EQ(names[7], ',');
    EXPECT_EQ(names[16], ',');
    const std::string rest = text.substr(head.size() + 27);
    // The untitled attachment is named by its file.
    EXPECT_EQ(rest, std::string("Attachment-name: a, \r\n b, \r\n c\r\n") + kFixedDateLine + "\r\nbody\r\n");
    const char* expected[] = {"first", "second", "third"};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Read(Parcels(user) / names.substr(i * 9, 7)), expected[i]);
    EXPECT_EQ(FilesIn(Parcels(user)).size(), 3u);
  }
  ExpectStagingEmpty();
}

TEST_F(Deliver, ManyAttachmentsStayReadableInTheDeliveredCopy) {
  std::vector<std::string> files;
  for (int i = 0; i < 12; ++i) files.push_back(Source("f" + std::to_string(i), "content " + std::to_string(i)));
  std::vector<CMC_attachment> a;
  for (const auto& f : files) a.push_back(Attach(f, "t"));
  std::vector<CMC_recipient> r = {To("ann")};
  CMC_message m = Message(r, &a, nullptr, nullptr);
  ASSERT_EQ(Send(&m), CMC_SUCCESS);

  const std::string copy = (Mailbox("ann") / Only(Mailbox("ann"))).string();
  const std::string text = vktest::ReadWholeFile(copy);
  // Nine names on the field's first line, the rest on a continuation line;
  // no line longer than a reader takes.
  const size_t at = text.find("Attachment: ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(text.find("\r\n", at), at + 12 + 9 * 9);
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    EXPECT_LE(end - start, 96u);
  }
  vk::FileHandle h = vk::OpenFileMode(copy.c_str(), vk::kModeReadShared);
  ASSERT_NE(h, vk::kNoFile);
  NameList* names = vk::ParcelNames(h);
  vk::CloseFile(h);
  ASSERT_NE(names, nullptr);
  ASSERT_EQ(names->count, 12u);
  for (unsigned i = 0; i < 12; ++i) {
    EXPECT_EQ(Read(Parcels("ann") / names->slots[i]), "content " + std::to_string(i));
  }
  vk::FreeNameList(names);
  EXPECT_EQ(FilesIn(Parcels("ann")).size(), 12u);
  ExpectStagingEmpty();
}

TEST_F(Deliver, NoRecipientArrayAndTheComposeRequestCreateNothing) {
  std::vector<CMC_recipient> none;
  CMC_message m = Message(none, nullptr, "s", "t");
  EXPECT_EQ(Send(&m), CMC_E_INVALID_MESSAGE_PARAMETER);
  std::vector<CMC_recipient> r = {To("ann")};
  CMC_message m2 = Message(r, nullptr, "s", "t");
  EXPECT_EQ(Send(&m2, CMC_SEND_UI_REQUESTED), CMC_E_USER_CANCEL);
  EXPECT_TRUE(FilesIn(Mailbox("ann")).empty());
  ExpectStagingEmpty();
}

// A compose dialog that changes the subject and the recipients of the copy.
CMC_recipient g_composed[1];
CMC_return_code EditingCompose(CMC_ui_id, vk::ResultPool* pool, CMC_message* copy) {
  copy->subject = vk::PoolDupString(pool, "Edited");
  g_composed[0] = To(nullptr, CMC_ROLE_TO, nullptr);
  g_composed[0].address = vk::PoolDupString(pool, "carl");
  g_composed[0].recip_flags = CMC_RECIP_LAST_ELEMENT;
  copy->recipients = g_composed;
  return CMC_SUCCESS;
}

TEST_F(Deliver, TheComposedCopyIsSentAndTheCallersMessageStaysAsItWas) {
  vk::SetComposeDialog(EditingCompose);
  std::vector<CMC_recipient> r = {To("ann")};
  CMC_message m = Message(r, nullptr, "Original", nullptr);
  const int blocks = vk::PoolLiveBlockCount();
  ASSERT_EQ(Send(&m, CMC_SEND_UI_REQUESTED), CMC_SUCCESS);
  EXPECT_EQ(vk::PoolLiveBlockCount(), blocks);
  EXPECT_STREQ(m.subject, "Original");
  EXPECT_TRUE(FilesIn(Mailbox("ann")).empty());
  EXPECT_NE(Read(Mailbox("carl") / Only(Mailbox("carl"))).find("Subject: Edited\r\n"), std::string::npos);
}

TEST(CopyMessageForUi, CopiesStringsAndArraysIntoThePool) {
  CMC_recipient r[2] = {To("ann", CMC_ROLE_TO, "Ann"), To(nullptr, CMC_ROLE_CC, "bob")};
  r[1].recip_flags = CMC_RECIP_LAST_ELEMENT;
  CMC_attachment a{};
  a.attach_title = const_cast<char*>("t");
  a.attach_filename = const_cast<char*>("f");
  a.attach_flags = CMC_ATT_LAST_ELEMENT;
  CMC_message m{};
  m.subject = const_cast<char*>("s");
  m.message_type = const_cast<char*>("type");
  m.recipients = r;
  m.attachments = &a;
  vk::ResultPool pool{};
  vk::PoolInit(&pool, 32000);
  ASSERT_NE(pool.next, nullptr);
  CMC_message* copy = nullptr;
  ASSERT_EQ(vk::CopyMessageForUi(&m, &pool, &copy), CMC_SUCCESS);
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(vk::PoolIsLiveBlock(copy->subject));
  EXPECT_STREQ(copy->subject, "s");
  EXPECT_EQ(copy->text_note, nullptr);
  EXPECT_EQ(copy->message_type, m.message_type);  // not copied
  ASSERT_TRUE(vk::PoolIsLiveBlock(copy->recipients));
  EXPECT_STREQ(copy->recipients[0].address, "ann");
  EXPECT_NE(copy->recipients[0].address, r[0].address);
  EXPECT_STREQ(copy->recipients[1].name, "bob");
  EXPECT_EQ(copy->recipients[1].address, nullptr);
  EXPECT_EQ(copy->recipients[1].recip_flags, CMC_RECIP_LAST_ELEMENT);
  ASSERT_TRUE(vk::PoolIsLiveBlock(copy->attachments));
  EXPECT_STREQ(copy->attachments[0].attach_filename, "f");
  EXPECT_TRUE(vk::PoolIsLiveBlock(copy->attachments[0].attach_title));
  EXPECT_EQ(cmc_free(copy), CMC_SUCCESS);
}

TEST_F(Deliver, NameOnlyRecipientsAreResolvedByTheLookUp) {
  CMC_recipient probe = To(nullptr, CMC_ROLE_TO, "ann");
  probe.recip_flags = CMC_RECIP_LAST_ELEMENT;
  CMC_uint32 count = 0;
  CMC_recipient* found = nullptr;
  if (cmc_look_up(session_, &probe, 0, 0, &count, &found, nullptr) == CMC_E_NOT_SUPPORTED) {
    GTEST_SKIP() << "no look-up in this build";
  }
  if (found) cmc_free(found);
  std::vector<CMC_recipient> r = {To(nullptr, CMC_ROLE_TO, "ann"), To(nullptr, CMC_ROLE_CC, "nobody")};
  CMC_message m = Message(r, nullptr, nullptr, nullptr);
  EXPECT_EQ(Send(&m), CMC_E_RECIPIENT_NOT_FOUND);
  EXPECT_EQ(FilesIn(Mailbox("ann")).size(), 1u);
  ExpectStagingEmpty();
}

// After a send that met an injected failure, every file under a message
// name in the mailboxes is a whole message whose parcels are there, and
// nothing else is left: no temporary copies, no stray parcels, nothing in
// SND or PARCEL.  Faults are injected at every step of the send in turn.
class DeliverFaults : public Deliver {
 protected:
  std::string Expected(const std::string& attachmentLine) {
    return std::string("SMF-71\r\nFrom: bob\r\nTo: ann, \r\n carl\r\n") + attachmentLine +
           "Attachment-name: a.txt\r\n" + kFixedDateLine + "\r\nbody\r\n";
  }
  // Checks the tree; `strict` when the clean-up could run, so that nothing
  // but complete messages may be left.  Empties the mailboxes afterwards.
  void CheckAndClear(bool strict, CMC_return_code rc) {
    for (const char* user : {"ann", "carl"}) {
      SCOPED_TRACE(user);
      std::vector<std::string> referenced;
      for (const auto& name : FilesIn(Mailbox(user))) {
        const path p = Mailbox(user) / name;
        if (p.extension() == ".tmp") {
          EXPECT_FALSE(strict) << "temporary copy left: " << name;
          continue;
        }
        const std::string text = Read(p);
        const size_t at = text.find("Attachment: ");
        ASSERT_NE(at, std::string::npos) << name;
        const std::string parcel = text.substr(at + 12, 7);
        EXPECT_EQ(text, Expected("Attachment: " + parcel + "\r\n")) << name;
        EXPECT_EQ(Read(Parcels(user) / parcel), "AAA") << name;
        referenced.push_back(parcel);
      }
      if (strict) {
        std::sort(referenced.begin(), referenced.end());
        EXPECT_EQ(FilesIn(Parcels(user)), referenced);
        if (rc == CMC_SUCCESS) {
          EXPECT_EQ(referenced.size(), 1u);
        }
      }
      for (const path& d : {Mailbox(user), Parcels(user)}) {
        for (const auto& name : FilesIn(d)) fs::remove(d / name);
      }
    }
    if (strict) ExpectStagingEmpty();
    for (const char* d : {"SND", "PARCEL"}) {
      for (const auto& name : FilesIn(Mail() / d)) fs::remove(Mail() / d / name);
    }
  }

  void Run(bool persistent) {
    const std::string file = Source("a.txt", "AAA");
    std::vector<CMC_recipient> r = {To("ann"), To("carl")};
    std::vector<CMC_attachment> a = {Attach(file, "a.txt")};
    CMC_message m = Message(r, &a, nullptr, "body");
    for (long n = 1; n < 2000; ++n) {
      SCOPED_TRACE(n);
      vk::PlatFaultArm(n, persistent);
      const CMC_return_code rc = Send(&m);
      const bool fired = vk::PlatFaultFired();
      vk::PlatFaultDisarm();
      if (!fired) {
        EXPECT_EQ(rc, CMC_SUCCESS);
        CheckAndClear(true, rc);
        EXPECT_GT(n, 20);
        return;
      }
      CheckAndClear(!persistent, rc);
      if (::testing::Test::HasFailure()) return;
    }
    ADD_FAILURE() << "the send never ran without a fault";
  }
};

TEST_F(DeliverFaults, OneFailureAtAnyStepLeavesOnlyCompleteMessages) { Run(false); }

TEST_F(DeliverFaults, EveryStepFailingFromSomePointOnNeverShowsAPartialMessage) { Run(true); }

}  // namespace
