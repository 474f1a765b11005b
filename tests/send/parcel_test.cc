// Parcels on their own: the copy into PARCEL, the copies for a recipient
// after a failure, and names that would lead out of a parcel directory.
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
};

TEST_F(Parcel, CopyToParcelNeverReusesANameAndRefusesWhatItCannotDo) {
  const std::string bytes("a\0b\r\nc", 6);
  const std::string source = Source("doc.bin", bytes);
  char name[16], second[16];
  ASSERT_EQ(vk::CopyToParcel(source.c_str(), name, sizeof name), CMC_SUCCESS);
  ASSERT_EQ(vk::CopyToParcel(source.c_str(), second, sizeof second), CMC_SUCCESS);
  EXPECT_STRNE(name, second);
  const std::string n = name;
  ASSERT_EQ(n.size(), 8u);
  EXPECT_EQ(n.substr(0, 3), "KWZ");
  EXPECT_EQ(n[7], '.');
  EXPECT_EQ(Read(Mail() / "PARCEL" / n.substr(0, 7)), bytes);
  for (const auto& p : FileNames(Mail() / "PARCEL")) fs::remove(Mail() / "PARCEL" / p);

  EXPECT_EQ(vk::CopyToParcel(dir_.Join("absent").c_str(), name, sizeof name), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(vk::CopyToParcel(nullptr, name, sizeof name), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(vk::CopyToParcel(dir_.path().c_str(), name, sizeof name), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(vk::CopyToParcel(source.c_str(), name, 4), CMC_E_FAILURE);  // no room for the name
  EXPECT_TRUE(FileNames(Mail() / "PARCEL").empty());
}

TEST_F(Parcel, CopyParcelsNamesWhatItMadeBeforeAFailure) {
  const std::string annDir = Parcels("ann").string() + vk::kPathSep;
  char first[16];
  ASSERT_EQ(vk::CopyToParcel(Source("a", "one").c_str(), first, sizeof first), CMC_SUCCESS);
  NameList* names = List({first, "KWZ0000.", "KWZ0001."});
  NameList* copies = vk::CreateNameList(4, 128);
  EXPECT_EQ(vk::CopyParcels(names, &copies, annDir.c_str()), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(Names(copies), FileNames(Parcels("ann")));
  EXPECT_EQ(copies->count, 1u);
  vk::FreeNameList(names);

  // A name that would leave PARCEL is not followed.
  Source("secret", "s");
  names = List({"../../secret"});
  vk::ClearNameList(copies);
  EXPECT_EQ(vk::CopyParcels(names, &copies, annDir.c_str()), CMC_E_ATTACHMENT_OPEN_FAILURE);
  EXPECT_EQ(copies->count, 0u);
  vk::FreeNameList(names);

  // A recipient without a parcel directory.
  names = List({first});
  fs::remove_all(Parcels("carl"));
  EXPECT_EQ(vk::CopyParcels(names, &copies, (Parcels("carl").string() + vk::kPathSep).c_str()),
            CMC_E_ATTACHMENT_WRITE_FAILURE);
  EXPECT_EQ(copies->count, 0u);
  vk::FreeNameList(names);
  vk::FreeNameList(copies);
}

TEST_F(Parcel, DeleteParcelsGoesOnPastMissingAndRefusedNames) {
  const fs::path user = Parcels("ann");
  ASSERT_TRUE(vktest::WriteWholeFile((user / "KWZ0a0a").string(), "x"));
  ASSERT_TRUE(vktest::WriteWholeFile((user / "KWZ0b0b").string(), "y"));
  ASSERT_TRUE(vktest::WriteWholeFile((Mail() / "USERS" / "ann" / "local.ab").string(), "z"));
  NameList* names = List({"KWZ0a0a", "KWZ9999", "../local.ab", "..", "KWZ0b0b."});
  const std::string rel = std::string("USERS") + vk::kPathSep + "ann" + vk::kPathSep + "IPARCEL" + vk::kPathSep;
  EXPECT_EQ(vk::DeleteParcels(names, rel.c_str()), CMC_E_ATTACHMENT_NOT_FOUND);
  EXPECT_TRUE(FileNames(user).empty());
  EXPECT_TRUE(fs::exists(Mail() / "USERS" / "ann" / "local.ab"));
  vk::FreeNameList(names);
  EXPECT_EQ(vk::DeleteParcels(nullptr, rel.c_str()), CMC_SUCCESS);
}

TEST_F(Parcel, ParcelNamesComeOnlyFromTheHeader) {
  const std::string path = Source("none", "SMF-71\r\nFrom: bob\r\n\r\nAttachment: KWZ0001.\r\n");
  vk::FileHandle h = vk::OpenFileMode(path.c_str(), vk::kModeReadShared);
  ASSERT_NE(h, vk::kNoFile);
  EXPECT_EQ(vk::ParcelNames(h), nullptr);
  vk::CloseFile(h);
}

}  // namespace
