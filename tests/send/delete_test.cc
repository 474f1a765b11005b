// Deleting messages through cmc_act_on: the message with its parcels when
// some are gone or the message cannot go, and references that name nothing
// of the user's own.
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
  // Sends bob a message with `attachments` attachments into his empty
  // mailbox; the path of the delivered file.
  std::string SendToBob(int attachments) {
    std::vector<CMC_recipient> r = {To("bob")};
    std::vector<CMC_attachment> a;
    std::vector<std::string> files;
    for (int i = 0; i < attachments; ++i) files.push_back(Source("f" + std::to_string(i), "data"));
    for (const auto& f : files) a.push_back(Attach(f, "t"));
    CMC_message m = Message(r, &a, "s", "t");
    EXPECT_EQ(Send(&m), CMC_SUCCESS);
    return (Mailbox("bob") / Only(Mailbox("bob"))).string();
  }
  CMC_return_code ActOn(const std::string& path, CMC_enum operation = CMC_ACT_ON_DELETE) {
    Reference ref(path);
    return cmc_act_on(session_, ref.get(), operation, 0, 0, nullptr);
  }
};

TEST_F(Delete, MissingParcelsDoNotStopTheDeletion) {
  const std::string message = SendToBob(2);
  fs::remove(Parcels("bob") / FileNames(Parcels("bob"))[0]);
  EXPECT_EQ(ActOn(message), CMC_SUCCESS);
  EXPECT_FALSE(fs::exists(message));
  EXPECT_TRUE(FileNames(Parcels("bob")).empty());
}

TEST_F(Delete, OtherOperationsChangeNothing) {
  const std::string message = SendToBob(1);
  EXPECT_EQ(ActOn(message, CMC_ACT_ON_EXTENDED), CMC_SUCCESS);
  EXPECT_EQ(ActOn(message, 7), CMC_SUCCESS);
  EXPECT_TRUE(fs::exists(message));
  EXPECT_EQ(FileNames(Parcels("bob")).size(), 1u);
  EXPECT_EQ(cmc_act_on(session_, nullptr, CMC_ACT_ON_DELETE, 0, 0, nullptr), CMC_E_INVALID_MESSAGE_REFERENCE);
}

TEST_F(Delete, AMessageThatCannotBeDeletedKeepsItsParcels) {
  const std::string message = SendToBob(1);
  ASSERT_TRUE(vk::PlatSetAttributes(message.c_str(), vk::kAttrReadOnly));
  EXPECT_EQ(ActOn(message), CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_TRUE(fs::exists(message));
  EXPECT_EQ(FileNames(Parcels("bob")).size(), 1u);
  ASSERT_TRUE(vk::PlatSetAttributes(message.c_str(), vk::kAttrNormal));
  EXPECT_EQ(ActOn(message), CMC_SUCCESS);
  EXPECT_TRUE(FileNames(Parcels("bob")).empty());
}

TEST_F(Delete, ReferencesOutsideTheUsersMailboxAreRefused) {
  std::vector<CMC_recipient> r = {To("ann")};
  CMC_message m = Message(r, nullptr, "s", nullptr);
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  const std::string annsName = Only(Mailbox("ann"));
  const std::string anns = (Mailbox("ann") / annsName).string();
  const std::string own = SendToBob(1);
  const std::string ownName = fs::path(own).filename().string();
  const std::string sep(1, vk::kPathSep);
  const std::string box = Mailbox("bob").string() + sep;
  const std::string parcel = (Parcels("bob") / Only(Parcels("bob"))).string();
  const std::string passwd = (Mail() / "PUBLIC" / "passwd").string();
  ASSERT_TRUE(vktest::WriteWholeFile(box + "KWZ0001.tmp", "SMF-71\r\n"));

  const std::vector<std::string> refused = {
      anns,                                                                  // another user's mailbox
      box + ".." + sep + ".." + sep + "ann" + sep + "MHS" + sep + annsName,  // climbing out
      box + "KWZ0001.tmp",                                                   // a copy still being delivered
      box + ".." + sep + "MHS" + sep + ownName,
      ownName,  // no directory at all
      parcel,   // the user's own parcels
      passwd,
      box,  // the directory itself
      box + "..",
      std::string(200, 'x'),
      box + std::string(140, 'k'),
      "",
  };
  for (const auto& ref : refused) {
    SCOPED_TRACE(ref);
    EXPECT_EQ(ActOn(ref), CMC_E_INVALID_MESSAGE_REFERENCE);
  }
  for (const std::string& kept : {anns, own, parcel, passwd, box + "KWZ0001.tmp"}) {
    EXPECT_TRUE(fs::exists(kept)) << kept;
  }
  EXPECT_EQ(ActOn(own), CMC_SUCCESS);
}

TEST_F(Delete, ParcelNamesThatLeaveTheParcelDirectoryAreSkipped) {
  std::vector<CMC_recipient> r = {To("ann")};
  CMC_message m = Message(r, nullptr, "s", nullptr);
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  const std::string annsName = Only(Mailbox("ann"));
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
