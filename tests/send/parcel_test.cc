// Parcels on their own: the copy into PARCEL, the copies for a recipient,
// the delivered copy's field line, and deleting parcels by name.
#include "send/parcel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "address/namelist.h"
#include "send/send_test_util.h"
#include "store/fileprim.h"

namespace {

namespace fs = std::filesystem;

class Parcel : public sendtest::MailTree {
 protected:
  static std::vector<std::string> Names(const NameList* list) {
    std::vector<std::string> names;
    for (unsigned i = 0; list && i < list->count; ++i) names.push_back(list->slots[i]);
    return names;
  }
  static NameList* List(std::initializer_list<const char*> names) {
    NameList* list = vk::CreateNameList(8, 256);
    for (const char* n : names) list = vk::AddName(list, n, vk::kNameModeAppend);
    return list;
  }
  std::string ParcelDir(const char* user) const { return Parcels(user).string() + vk::kPathSep; }
};

TEST_F(Parcel, CopyToParcelCopiesTheFileUnderAFreshName) {
  const std::string source = Source("doc.bin", std::string("a\0b\r\nc", 6));
  char name[16];
  ASSERT_EQ(vk::CopyToParcel(source.c_str(), name, sizeof name), CMC_SUCCESS);
  const std::string n = name;
  ASSERT_EQ(n.size(), 8u);
  EXPECT_EQ(n.substr(0, 3), "KWZ");
  EXPECT_EQ(n.find_first_not_of("0123456789abcdef", 3), 7u);
  EXPECT_EQ(n[7], '.');
  EXPECT_EQ(FilesIn(Mail() / "PARCEL"), std::vector<std::string>{n.substr(0, 7)});
  EXPECT_EQ(Read(Mail() / "PARCEL" / n.substr(0, 7)), std::string("a\0b\r\nc", 6));

  char second[16];
  ASSERT_EQ(vk::CopyToParcel(source.c_str(), second, sizeof second), CMC_SUCCESS);
  EXPECT_STRNE(name, second);
}

TEST_F(Parcel, CopyToParcelRefusesWhatItCannotDo) {
  char name[16] = "x";
  EXPECT_EQ(vk::CopyToParcel(dir_.Join("absent").c_str(), name, sizeof name), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(vk::CopyToParcel(nullptr, name, sizeof name), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(vk::CopyToParcel(dir_.path().c_str(), name, sizeof name), CMC_E_ATTACHMENT_OPEN_FAILURE);
  const std::string source = Source("s", "x");
  EXPECT_EQ(vk::CopyToParcel(source.c_str(), name, 4), CMC_E_FAILURE);
  EXPECT_TRUE(FilesIn(Mail() / "PARCEL").empty());
}

TEST_F(Parcel, CopyParcelsGivesTheRecipientItsOwnNamesInOrder) {
  char first[16], second[16];
  ASSERT_EQ(vk::CopyToParcel(Source("a", "one").c_str(), first, sizeof first), CMC_SUCCESS);
  ASSERT_EQ(vk::CopyToParcel(Source("b", "two").c_str(), second, sizeof second), CMC_SUCCESS);
  NameList* names = List({first, second});
  NameList* copies = vk::CreateNameList(3, 96);
  ASSERT_EQ(vk::CopyParcels(names, &copies, ParcelDir("ann").c_str()), CMC_SUCCESS);
  const auto made = Names(copies);
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(Read(Parcels("ann") / made[0]), "one");
  EXPECT_EQ(Read(Parcels("ann") / made[1]), "two");
  EXPECT_EQ(made[0].size(), 7u);  // no period

  vk::GlobalHandle line = vk::AttachmentLine(copies);
  ASSERT_NE(line, nullptr);
  const char* text = static_cast<const char*>(vk::PlatGlobalLock(line));
  EXPECT_EQ(std::string(text), "Attachment: " + made[0] + ", " + made[1] + "\r\n");
  vk::PlatGlobalUnlock(line);
  vk::PlatGlobalFree(line);
  EXPECT_EQ(vk::AttachmentLine(nullptr), nullptr);
  vk::FreeNameList(copies);
  vk::FreeNameList(names);
}

TEST_F(Parcel, CopyParcelsNamesWhatItMadeBeforeAFailure) {
  char first[16];
  ASSERT_EQ(vk::CopyToParcel(Source("a", "one").c_str(), first, sizeof first), CMC_SUCCESS);
  NameList* names = List({first, "KWZ0000.", "KWZ0001."});
  NameList* copies = vk::CreateNameList(4, 128);
  EXPECT_EQ(vk::CopyParcels(names, &copies, ParcelDir("ann").c_str()), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(Names(copies), FilesIn(Parcels("ann")));
  EXPECT_EQ(copies->count, 1u);
  vk::FreeNameList(names);

  // A name that would leave PARCEL is not followed.
  Source("secret", "s");
  names = List({"../../secret"});
  vk::ClearNameList(copies);
  EXPECT_EQ(vk::CopyParcels(names, &copies, ParcelDir("ann").c_str()), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(copies->count, 0u);
  vk::FreeNameList(names);

  // A recipient without a parcel directory.
  names = List({first});
  fs::remove_all(Parcels("carl"));
  EXPECT_EQ(vk::CopyParcels(names, &copies, ParcelDir("carl").c_str()), CMC_E_ATTACHMENT_WRITE_FAILURE);
  EXPECT_EQ(copies->count, 0u);
  vk::FreeNameList(names);
  vk::FreeNameList(copies);
}

TEST_F(Parcel, DeleteParcelsGoesOnPastMissingAndRefusedNames) {
  sendtest::fs::path user = Mail() / "USERS" / "ann" / "IPARCEL";
  ASSERT_TRUE(vktest::WriteWholeFile((user / "KWZ0a0a").string(), "x"));
  ASSERT_TRUE(vktest::WriteWholeFile((user / "KWZ0b0b").string(), "y"));
  ASSERT_TRUE(vktest::WriteWholeFile((Mail() / "USERS" / "ann" / "local.ab").string(), "z"));
  NameList* names = List({"KWZ0a0a", "KWZ9999", "../local.ab", "..", "KWZ0b0b."});
  const std::string rel = std::string("USERS") + vk::kPathSep + "ann" + vk::kPathSep + "IPARCEL" + vk::kPathSep;
  EXPECT_EQ(vk::DeleteParcels(names, rel.c_str()), CMC_E_ATTACHMENT_NOT_FOUND);
  EXPECT_TRUE(FilesIn(user).empty());
  EXPECT_TRUE(fs::exists(Mail() / "USERS" / "ann" / "local.ab"));
  vk::FreeNameList(names);
  EXPECT_EQ(vk::DeleteParcels(nullptr, rel.c_str()), CMC_SUCCESS);
}

TEST_F(Parcel, ParcelNamesJoinTheFieldsContinuationLines) {
  const std::string path = Source("msg", "SMF-71\r\nFrom: bob\r\nAttachment: KWZ0001., \r\n KWZ0002., \r\n KWZ0003.\r\n"
                                         "Attachment-name: a, \r\n b, \r\n c\r\n\r\n");
  vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeReadShared);
  ASSERT_NE(h, vk::kNoFile);
  NameList* names = vk::ParcelNames(h);
  EXPECT_EQ(Names(names), (std::vector<std::string>{"KWZ0001.", "KWZ0002.", "KWZ0003."}));
  vk::FreeNameList(names);
  vk::CloseFile(h);

  const std::string none = Source("none", "SMF-71\r\nFrom: bob\r\n\r\nAttachment: KWZ0001.\r\n");
  h = vk::OpenFileMode(none.c_str(), vk::kModeReadShared);
  EXPECT_EQ(vk::ParcelNames(h), nullptr);
  vk::CloseFile(h);
}

}  // namespace
