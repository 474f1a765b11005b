// Deleting messages through cmc_act_on: the message with its parcels, read
// messages, and references that name nothing of the user's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"
#include "send/send_test_util.h"

namespace {

namespace fs = std::filesystem;
using sendtest::Attach;
using sendtest::Message;
using sendtest::Reference;
using sendtest::To;

class Delete : public sendtest::MailTree {
 protected:
  // Sends bob a message with `attachments` attachments; the path of the
  // delivered file.
  std::string SendToBob(int attachments) {
    std::vector<CMC_recipient> r = {To("bob")};
    std::vector<CMC_attachment> a;
    std::vector<std::string> files;
    for (int i = 0; i < attachments; ++i) files.push_back(Source("f" + std::to_string(i), "data"));
    for (const auto& f : files) a.push_back(Attach(f, "t"));
    CMC_message m = Message(r, &a, "s", "t");
    EXPECT_EQ(Send(&m), CMC_SUCCESS);
    auto names = FilesIn(Mailbox("bob"));
    EXPECT_FALSE(names.empty());
    // The newest is the one not seen before.
    for (const auto& n : names) {
      if (std::find(seen_.begin(), seen_.end(), n) == seen_.end()) {
        seen_.push_back(n);
        return (Mailbox("bob") / n).string();
      }
    }
    return std::string();
  }
  CMC_return_code ActOn(const std::string& path, CMC_enum operation = CMC_ACT_ON_DELETE) {
    Reference ref(path);
    return cmc_act_on(session_, ref.get(), operation, 0, 0, nullptr);
  }
  std::vector<std::string> seen_;
};

TEST_F(Delete, TheMessageGoesWithItsParcels) {
  const std::string keep = SendToBob(1);
  const std::string message = SendToBob(2);
  ASSERT_EQ(FilesIn(Parcels("bob")).size(), 3u);
  EXPECT_EQ(ActOn(message), CMC_SUCCESS);
  EXPECT_FALSE(fs::exists(message));
  EXPECT_TRUE(fs::exists(keep));
  EXPECT_EQ(FilesIn(Parcels("bob")).size(), 1u);
  // The same message again is no longer there.
  EXPECT_EQ(ActOn(message), CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_EQ(ActOn(keep), CMC_SUCCESS);
  EXPECT_TRUE(FilesIn(Parcels("bob")).empty());
  EXPECT_TRUE(FilesIn(Mailbox("bob")).empty());
}

TEST_F(Delete, AReadMessageIsFoundByTheReferenceFromBeforeTheRead) {
  const std::string message = SendToBob(1);
  fs::rename(message, message + ".red");
  EXPECT_EQ(ActOn(message), CMC_SUCCESS);
  EXPECT_TRUE(FilesIn(Mailbox("bob")).empty());
  EXPECT_TRUE(FilesIn(Parcels("bob")).empty());
}

TEST_F(Delete, MissingParcelsDoNotStopTheDeletion) {
  const std::string message = SendToBob(2);
  for (const auto& p : FilesIn(Parcels("bob"))) fs::remove(Parcels("bob") / p);
  EXPECT_EQ(ActOn(message), CMC_SUCCESS);
  EXPECT_FALSE(fs::exists(message));
}

TEST_F(Delete, OtherOperationsChangeNothing) {
  const std::string message = SendToBob(1);
  EXPECT_EQ(ActOn(message, CMC_ACT_ON_EXTENDED), CMC_SUCCESS);
  EXPECT_EQ(ActOn(message, 7), CMC_SUCCESS);
  EXPECT_TRUE(fs::exists(message));
  EXPECT_EQ(FilesIn(Parcels("bob")).size(), 1u);
  EXPECT_EQ(cmc_act_on(session_, nullptr, CMC_ACT_ON_DELETE, 0, 0, nullptr), CMC_E_INVALID_MESSAGE_REFERENCE);
}

TEST_F(Delete, AMessageThatCannotBeDeletedKeepsItsParcels) {
  const std::string message = SendToBob(1);
  ASSERT_TRUE(vk::PlatSetAttributes(message.c_str(), vk::kAttrReadOnly));
  EXPECT_EQ(ActOn(message), CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_TRUE(fs::exists(message));
  EXPECT_EQ(FilesIn(Parcels("bob")).size(), 1u);
  ASSERT_TRUE(vk::PlatSetAttributes(message.c_str(), vk::kAttrNormal));
  EXPECT_EQ(ActOn(message), CMC_SUCCESS);
}

TEST_F(Delete, ReferencesOutsideTheUsersMailboxAreRefused) {
  // A message for ann, and one of bob's own.
  std::vector<CMC_recipient> r = {To("ann")};
  CMC_message m = Message(r, nullptr, "s", nullptr);
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  const std::string anns = (Mailbox("ann") / FilesIn(Mailbox("ann"))[0]).string();
  const std::string own = SendToBob(1);
  const std::string ownName = fs::path(own).filename().string();
  const std::string annsName = fs::path(anns).filename().string();
  const std::string sep(1, vk::kPathSep);
  const std::string box = Mailbox("bob").string() + sep;
  const std::string parcel = (Parcels("bob") / FilesIn(Parcels("bob"))[0]).string();
  const std::string passwd = (Mail() / "PUBLIC" / "passwd").string();
  ASSERT_TRUE(vktest::WriteWholeFile(box + "KWZ0001.tmp", "SMF-71\r\n"));

  const std::vector<std::string> refused = {
      anns,                                                         // another user's mailbox
      box + ".." + sep + ".." + sep + "ann" + sep + "MHS" + sep + annsName,  // climbing out
      box + "KWZ0001.tmp",                                          // a copy still being delivered
      box + ".." + sep + "MHS" + sep + ownName,
      ownName,                                                      // no directory at all
      parcel,                                                       // the user's own parcels
      passwd,
      box,                                                          // the directory itself
      box + "..",
      std::string(200, 'x'),
      box + std::string(140, 'k'),
      "",
  };
  for (const auto& ref : refused) {
    SCOPED_TRACE(ref);
    EXPECT_EQ(ActOn(ref), CMC_E_INVALID_MESSAGE_REFERENCE);
  }
  EXPECT_TRUE(fs::exists(anns));
  EXPECT_TRUE(fs::exists(own));
  EXPECT_TRUE(fs::exists(parcel));
  EXPECT_TRUE(fs::exists(passwd));
  EXPECT_TRUE(fs::exists(box + "KWZ0001.tmp"));
  // The honest reference still works.
  EXPECT_EQ(ActOn(own), CMC_SUCCESS);
}

TEST_F(Delete, ParcelNamesThatLeaveTheParcelDirectoryAreSkipped) {
  std::vector<CMC_recipient> r = {To("ann")};
  CMC_message m = Message(r, nullptr, "s", nullptr);
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  const std::string annsName = FilesIn(Mailbox("ann"))[0];
  const std::string sep(1, vk::kPathSep);
  const std::string crafted = (Mailbox("bob") / "KWZ0bad").string();
  ASSERT_TRUE(vktest::WriteWholeFile(
      crafted, "SMF-71\r\nFrom: eve\r\nTo: bob\r\nAttachment: .." + sep + ".." + sep + "ann" + sep + "MHS" + sep +
                   annsName + ", ..\\..\\ann\\MHS\\" + annsName + ", ..\r\nAttachment-name: x\r\n\r\n"));
  EXPECT_EQ(ActOn(crafted), CMC_SUCCESS);
  EXPECT_FALSE(fs::exists(crafted));
  EXPECT_TRUE(fs::exists(Mailbox("ann") / annsName));
}

}  // namespace
