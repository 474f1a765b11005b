// Sending through cmc_send into a real mail tree: the delivered files byte
// for byte, what a failed send leaves behind, and injected failures at
// every file operation of a send.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "store/namelist.h"
#include "send/parcel.h"
#include "send/send_test_util.h"

namespace {

namespace fs = std::filesystem;
using sendtest::Attach;
using sendtest::kFixedDateLine;
using sendtest::Message;
using sendtest::To;
using sendtest::fs::path;

using Deliver = sendtest::MailTree;

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
    EXPECT_EQ(Read(Parcels(user) / parcel), "budget figures\r\n");
    EXPECT_EQ(Only(Mailbox(user)).size(), 7u);
    EXPECT_EQ(OnlyMessage(user), std::string("SMF-71\r\nFrom: bob\r\nTo: ann, \r\n dave\r\nCopies-To: carl\r\n") +
                                     "Attachment: " + parcel + "\r\nAttachment-name: report.txt\r\n" +
                                     "Subject: Budget\r\n" + kFixedDateLine + "\r\nHi\r\n");
  }
  EXPECT_TRUE(FileNames(Mailbox("bob")).empty());
  ExpectStagingEmpty();
  EXPECT_EQ(vktest::ReadWholeFile(report), "budget figures\r\n");
}

TEST_F(Deliver, WithoutAttachmentsEveryCopyIsTheStagedFile) {
  // The part before the at sign names the user; the field keeps it whole.
  std::vector<CMC_recipient> r = {To("ann"), To("bob@host.example")};
  CMC_message m = Message(r, nullptr, nullptr, nullptr);
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  const std::string expected =
      std::string("SMF-71\r\nFrom: bob\r\nTo: ann, \r\n bob@host.example\r\n") + kFixedDateLine + "\r\n";
  EXPECT_EQ(OnlyMessage("ann"), expected);
  EXPECT_EQ(OnlyMessage("bob"), expected);
  EXPECT_TRUE(FileNames(Parcels("ann")).empty());
  ExpectStagingEmpty();
}

// What every failed send leaves: the copies delivered before the failure,
// each with its parcel, and nothing staged.
TEST_F(Deliver, FailedSendsLeaveOnlyTheCopiesDeliveredBefore) {
  const std::string file = Source("a.txt", "AAA");
  const std::string missing = dir_.Join("missing.txt");
  struct Case {
    const char* what;
    std::vector<const char*> to;
    bool missingAttachment;
    CMC_flags flags;
    CMC_return_code rc;
    std::vector<const char*> delivered;
  };
  const Case cases[] = {
      {"unknown recipient", {"ann", "zed", "carl"}, false, 0, CMC_E_RECIPIENT_NOT_FOUND, {"ann"}},
      {"missing attachment", {"ann"}, true, 0, CMC_E_ATTACHMENT_OPEN_FAILURE, {}},
      {"no recipients", {}, false, 0, CMC_E_INVALID_MESSAGE_PARAMETER, {}},
      {"compose without a dialog", {"ann"}, false, CMC_SEND_UI_REQUESTED, CMC_E_USER_CANCEL, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<CMC_recipient> r;
    for (const char* u : c.to) r.push_back(To(u));
    std::vector<CMC_attachment> a = {Attach(file, "a.txt")};
    if (c.missingAttachment) a.push_back(Attach(missing, "m.txt"));
    CMC_message m = Message(r, &a, nullptr, nullptr);
    EXPECT_EQ(Send(&m, c.flags), c.rc);
    for (const char* user : {"ann", "carl"}) {
      const bool got = std::find_if(c.delivered.begin(), c.delivered.end(),
                                    [&](const char* d) { return std::string(d) == user; }) != c.delivered.end();
      EXPECT_EQ(FileNames(Mailbox(user)).size(), got ? 1u : 0u) << user;
      EXPECT_EQ(FileNames(Parcels(user)).size(), got ? 1u : 0u) << user;
      for (const path& d : {Mailbox(user), Parcels(user)}) {
        for (const auto& name : FileNames(d)) fs::remove(d / name);
      }
    }
    EXPECT_FALSE(fs::exists(Mail() / "USERS" / "zed"));
    ExpectStagingEmpty();
  }
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
  EXPECT_TRUE(FileNames(path(outside) / "MHS").empty());
  for (const char* user : {"bob", "ann"}) EXPECT_TRUE(FileNames(Mailbox(user)).empty());
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
  EXPECT_EQ(FileNames(Parcels("ann")).size(), 12u);
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
  // Strings of odd lengths ahead of the arrays in the copy's pool.
  const std::string file = Source("a.txt", "AAA");
  std::vector<CMC_recipient> r = {To("ann", CMC_ROLE_TO, "Ann"), To("dave")};
  std::vector<CMC_attachment> a = {Attach(file, "a.txt"), Attach(file, nullptr)};
  CMC_message m = Message(r, &a, "Original", "odd");
  ASSERT_EQ(Send(&m, CMC_SEND_UI_REQUESTED), CMC_SUCCESS);
  EXPECT_STREQ(m.subject, "Original");
  EXPECT_STREQ(m.recipients[0].address, "ann");
  EXPECT_EQ(m.attachments[1].attach_title, nullptr);
  EXPECT_TRUE(FileNames(Mailbox("ann")).empty());
  const std::string text = OnlyMessage("carl");
  EXPECT_NE(text.find("Subject: Edited\r\n"), std::string::npos);
  EXPECT_NE(text.find("Attachment-name: a.txt, \r\n a.txt\r\n"), std::string::npos) << text;
  EXPECT_EQ(FileNames(Parcels("carl")).size(), 2u);
}

// A mailbox holding all but one of the 65,536 names still receives, under
// that name; once full, a send fails cleanly and leaves nothing staged.
TEST_F(Deliver, AMailboxNearItsLastNameFillsUpAndThenRefuses) {
#ifdef _WIN32
  GTEST_SKIP() << "65,536 files take minutes under Wine";
#endif
  for (unsigned v = 0; v < 0x10000; ++v) {
    if (v == 0x1234) continue;
    char name[16];
    std::snprintf(name, sizeof name, v % 7 == 0 ? "KWZ%04x.red" : "kwz%04X", v);
    std::FILE* f = std::fopen((Mailbox("ann") / name).string().c_str(), "w");
    ASSERT_NE(f, nullptr) << name;
    std::fclose(f);
  }
  std::vector<CMC_recipient> r = {To("ann")};
  CMC_message m = Message(r, nullptr, "s", "t");
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  EXPECT_TRUE(fs::exists(Mailbox("ann") / "KWZ1234"));
  EXPECT_EQ(Send(&m), CMC_E_FAILURE);
  EXPECT_EQ(FileNames(Mailbox("ann")).size(), 0x10000u);
  ExpectStagingEmpty();
}

}  // namespace
