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
using vktest::Attach;
using vktest::Message;
using vktest::To;

class Delete : public vktest::SenderTree {
 protected:
  // Sends `user` a message with `attachments` attachments into an empty
  // mailbox; the path of the delivered file.
  std::string SendTo(const char* user, int attachments) {
    std::vector<CMC_recipient> r = {To(user)};
    std::vector<std::string> files;
    for (int i = 0; i < attachments; ++i) files.push_back(Source("f" + std::to_string(i), "data"));
    std::vector<CMC_attachment> a;
    for (const auto& f : files) a.push_back(Attach(f, "t"));
    CMC_message m = Message(r, &a, "s", "t");
    EXPECT_EQ(Send(&m), CMC_SUCCESS);
    return (Mailbox(user) / Only(Mailbox(user))).string();
  }
};

// Other operations do nothing; a message that cannot go keeps its parcels;
// missing parcels do not stop the deletion.
TEST_F(Delete, TheMessageGoesFirstThenWhatParcelsAreLeft) {
  const std::string message = SendTo("bob", 2);
  EXPECT_EQ(ActOn(message, 7), CMC_SUCCESS);
  ASSERT_TRUE(vk::PlatSetAttributes(message.c_str(), vk::kAttrReadOnly));
  EXPECT_EQ(ActOn(message), CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_TRUE(fs::exists(message));
  ASSERT_EQ(CountFiles(Parcels("bob")), 2u);
  ASSERT_TRUE(vk::PlatSetAttributes(message.c_str(), vk::kAttrNormal));
  fs::remove(Parcels("bob") / FileNames(Parcels("bob"))[0]);
  EXPECT_EQ(ActOn(message), CMC_SUCCESS);
  EXPECT_FALSE(fs::exists(message));
  EXPECT_EQ(CountFiles(Parcels("bob")), 0u);
}

TEST_F(Delete, ReferencesOutsideTheUsersMailboxAreRefused) {
  const std::string anns = SendTo("ann", 0);
  const std::string own = SendTo("bob", 1);
  const std::string sep(1, vk::kPathSep);
  const std::string box = Mailbox("bob").string() + sep;
  const std::string parcel = (Parcels("bob") / Only(Parcels("bob"))).string();
  const std::string passwd = (Mail() / "PUBLIC" / "passwd").string();
  const std::string outside = Source("KWZ0002", "SMF-71\r\n");
  ASSERT_TRUE(vktest::WriteWholeFile(box + "KWZ0001.tmp", "SMF-71\r\n"));
  std::vector<std::string> refused = vktest::RefusedReferences(box + "KWZ0001.tmp", anns, outside);
  for (const std::string& more : {box + ".." + sep + "MHS" + sep + fs::path(own).filename().string(), parcel, passwd,
                                  std::string(200, 'x'), box + std::string(140, 'k')})
    refused.push_back(more);
  for (const auto& ref : refused) EXPECT_EQ(ActOn(ref), CMC_E_INVALID_MESSAGE_REFERENCE) << ref;
  for (const std::string& kept : {anns, own, parcel, passwd, outside, box + "KWZ0001.tmp"}) {
    EXPECT_TRUE(fs::exists(kept)) << kept;
  }
  EXPECT_EQ(ActOn(own), CMC_SUCCESS);
  // Nor do parcel names in a crafted message lead out of the parcels.
  const std::string crafted = box + "KWZ0bad";
  ASSERT_TRUE(vktest::WriteWholeFile(crafted, "SMF-71\r\nFrom: eve\r\nTo: bob\r\nAttachment: .." + sep + ".." + sep +
                                                  "ann" + sep + "MHS" + sep + fs::path(anns).filename().string() +
                                                  ", ..\\..\\ann\\MHS\\" + fs::path(anns).filename().string() +
                                                  ", ..\r\nAttachment-name: x\r\n\r\n"));
  EXPECT_EQ(ActOn(crafted), CMC_SUCCESS);
  EXPECT_FALSE(fs::exists(crafted));
  EXPECT_TRUE(fs::exists(anns));
}

}  // namespace
