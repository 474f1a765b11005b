// cmc_look_up against a real tree with the users alice, bob and bobby, bob
// logged on, and the local address book of the logged-on user.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "address/local_ab.h"
#include "address/lookup.h"
#include "address/namelist.h"
#include "cmc/module.h"
#include "cmc/pool.h"
#include "cmc/session.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "store/config.h"
#include "support/test_support.h"
#include "users/registry.h"
#include "vkmsg/vkmsg.h"

namespace {

namespace fs = std::filesystem;

// Logs on as whoever the context names, with the password "pw".
void PlayLogin(void* context, VkDialog* d) {
  const char* user = static_cast<const char*>(context);
  if (vk_dialog_template(d) != 1001 && vk_dialog_template(d) != 1006) {
    vk_dialog_click(d, 2);
    return;
  }
  vk_dialog_set_text(d, 1501, user);
  vk_dialog_set_text(d, 1502, "pw");
  vk_dialog_click(d, 1);
}

std::vector<std::string> Names(const NameList* list) {
  std::vector<std::string> names;
  if (list == nullptr) return names;
  for (unsigned i = 0; i < list->count; ++i) names.push_back(list->slots[i]);
  return names;
}

class LookUp : public ::testing::Test {
 protected:
  void SetUp() override {
    vk::ModuleAttach(nullptr);
    ASSERT_EQ(vk::Session().session_id, 0u);
    vk::UnloadConfig();
    vk::SetCachedUserList(nullptr);
    ASSERT_EQ(bSetupMHSDirs(dir_.path().c_str()), 1);
    for (const char* user : {"alice", "bob", "bobby"}) ASSERT_EQ(bAddUser(user, "pw"), 1);
    vk::UnloadConfig();
    blocks_ = vk::PoolLiveBlockCount();
    vk_set_dialog_driver(PlayLogin, const_cast<char*>("bob"));
    ASSERT_EQ(cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, 100, 0, &session_, nullptr), CMC_SUCCESS);
    ASSERT_STREQ(vk::SessionUserName(), "bob");
  }
  void TearDown() override {
    if (out_ != nullptr) {
      EXPECT_EQ(cmc_free(out_), CMC_SUCCESS);
    }
    if (vk::Session().session_id != 0) cmc_logoff(vk::Session().session_id, 0, 0, nullptr);
    vk_set_dialog_driver(nullptr, nullptr);
    vk::UnloadConfig();
    vk::SetCachedUserList(nullptr);
    // Every result block handed out was released.
    EXPECT_EQ(vk::PoolLiveBlockCount(), blocks_);
  }

  CMC_return_code Look(CMC_recipient* in, CMC_flags flags) {
    if (out_ != nullptr) cmc_free(out_);
    out_ = nullptr;
    count_ = 0xDEAD;
    return cmc_look_up(session_, in, flags, 0, &count_, &out_, nullptr);
  }
  CMC_return_code Name(const char* name, CMC_flags flags = 0) {
    CMC_recipient r{};
    r.name = const_cast<char*>(name);
    r.recip_flags = CMC_RECIP_LAST_ELEMENT;
    return Look(&r, flags);
  }
  CMC_return_code Address(const char* address) {
    CMC_recipient r{};
    r.address = const_cast<char*>(address);
    r.recip_flags = CMC_RECIP_LAST_ELEMENT;
    return Look(&r, 0);
  }
  // The one record a successful resolve gives.
  void ExpectOne(const char* name, const char* address) {
    ASSERT_EQ(count_, 1u);
    ASSERT_NE(out_, nullptr);
    EXPECT_TRUE(vk::PoolIsLiveBlock(out_));
    EXPECT_STREQ(out_->name, name);
    if (address == nullptr) {
      EXPECT_EQ(out_->address, nullptr);
    } else {
      EXPECT_STREQ(out_->address, address);
    }
    EXPECT_EQ(out_->name_type, static_cast<CMC_enum>(CMC_TYPE_INDIVIDUAL));
    EXPECT_EQ(out_->role, static_cast<CMC_enum>(CMC_ROLE_TO));
    EXPECT_EQ(out_->recip_flags, CMC_RECIP_LAST_ELEMENT);
    EXPECT_EQ(out_->recip_extensions, nullptr);
  }
  void ExpectNothing() {
    EXPECT_EQ(count_, 0u);
    EXPECT_EQ(out_, nullptr);
  }
  std::string UserDir(const char* user) const {
    return (fs::path(dir_.path()) / "MHS" / "MAIL" / "USERS" / user).string();
  }

  vktest::ScratchDir dir_;
  vktest::PrivateProfile profile_{dir_};
  CMC_session_id session_ = 0;
  CMC_uint32 count_ = 0;
  CMC_recipient* out_ = nullptr;
  int blocks_ = 0;
};

TEST_F(LookUp, IdentityIsTheLoggedOnUserWhateverIsGiven) {
  ASSERT_EQ(Look(nullptr, CMC_LOOKUP_RESOLVE_IDENTITY), CMC_SUCCESS);
  ExpectOne("bob", nullptr);
  CMC_recipient other{};
  other.name = const_cast<char*>("alice");
  other.recip_flags = CMC_RECIP_LAST_ELEMENT;
  // The other mode bits are then ignored.
  ASSERT_EQ(Look(&other, CMC_LOOKUP_RESOLVE_IDENTITY | CMC_LOOKUP_ADDRESSING_UI | CMC_ERROR_UI_ALLOWED),
            CMC_SUCCESS);
  ExpectOne("bob", nullptr);
}

TEST_F(LookUp, TypedNameIsFoundWithoutRegardToCaseAndKeptAsTyped) {
  ASSERT_EQ(Name("Bob"), CMC_SUCCESS);
  ExpectOne("Bob", "Bob");
  ASSERT_EQ(Name("BOBBY"), CMC_SUCCESS);
  ExpectOne("BOBBY", "BOBBY");
  // A name found exactly needs no dialog, even when one is allowed.
  ASSERT_EQ(Name("alice", CMC_LOOKUP_RESOLVE_UI), CMC_SUCCESS);
  ExpectOne("alice", "alice");
}

TEST_F(LookUp, OnlyTheFirstRecipientIsResolved) {
  CMC_recipient two[2] = {};
  two[0].name = const_cast<char*>("alice");
  two[1].name = const_cast<char*>("bob");
  two[1].recip_flags = CMC_RECIP_LAST_ELEMENT;
  ASSERT_EQ(Look(two, 0), CMC_SUCCESS);
  ExpectOne("alice", "alice");
}

TEST_F(LookUp, UnknownNamesAreNotFound) {
  for (const char* name : {"zed", "bo", "admin", "bob@host", "bobx", "bob "}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Name(name), CMC_E_RECIPIENT_NOT_FOUND);
    ExpectNothing();
  }
}

TEST_F(LookUp, UserAddedOnAnotherWorkstationIsFoundAfterTheReRead) {
  EXPECT_EQ(Name("zed"), CMC_E_RECIPIENT_NOT_FOUND);
  // Another workstation registers zed: only the shared file changes.
  ASSERT_TRUE(vk::PlatWriteProfileString(vk::g_mail_config.passwd_path, "Passwords", "zed",
                                         "0123456789ABCDEF"));
  ASSERT_EQ(vk::FindName(vk::CachedUserList(), "zed", 0), vk::kNameAbsent);
  ASSERT_EQ(Name("Zed"), CMC_SUCCESS);
  ExpectOne("Zed", "Zed");
  EXPECT_NE(vk::FindName(vk::CachedUserList(), "zed", 0), vk::kNameAbsent);
}

TEST_F(LookUp, NamesThatAreNoUserNamesAreNotFound) {
  // Such names cannot be registered, and the re-read is not tried for them.
  for (const char* name : {"..", "../bob", "bob/..", "..\\bob", "c:bob", "bo\tb", "bob.", "a=b", "*"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Name(name), CMC_E_RECIPIENT_NOT_FOUND);
    ExpectNothing();
  }
}

TEST_F(LookUp, AddressAloneGivesItsNameWithoutCheckingTheUsers) {
  ASSERT_EQ(Address("carol@host.example"), CMC_SUCCESS);
  ExpectOne("carol", "carol@host.example");
  ASSERT_EQ(Address("bob"), CMC_SUCCESS);
  ExpectOne("bob", "bob");
  ASSERT_EQ(Address("dave@a@b"), CMC_SUCCESS);
  ExpectOne("dave", "dave@a@b");
  // An empty name counts as none.
  CMC_recipient r{};
  r.name = const_cast<char*>("");
  r.address = const_cast<char*>("ann@x");
  r.recip_flags = CMC_RECIP_LAST_ELEMENT;
  ASSERT_EQ(Look(&r, 0), CMC_SUCCESS);
  ExpectOne("ann", "ann@x");
}

TEST_F(LookUp, AddressWhoseUserPartIsNoUserNameIsNotFound) {
  const std::string longest(vk::kMaxAddressName, 'n');
  ASSERT_EQ(Address((longest + "@host").c_str()), CMC_SUCCESS);
  ExpectOne(longest.c_str(), (longest + "@host").c_str());
  // Cut to fit, the name would be some other user's.
  const std::string too_long = longest + "n@host";
  for (const char* address : {"@host", "../../x@host", "..@host", "a/b", "a\\b@host", "c:@h", "x\r\n@h",
                              "bob.@host", too_long.c_str()}) {
    SCOPED_TRACE(address);
    EXPECT_EQ(Address(address), CMC_E_RECIPIENT_NOT_FOUND);
    ExpectNothing();
  }
}

TEST_F(LookUp, MissingArgumentsAndUnsupportedFlags) {
  CMC_recipient empty{};
  empty.recip_flags = CMC_RECIP_LAST_ELEMENT;
  EXPECT_EQ(Look(&empty, 0), CMC_E_INVALID_PARAMETER);
  ExpectNothing();
  empty.name = const_cast<char*>("");
  empty.address = const_cast<char*>("");
  EXPECT_EQ(Look(&empty, 0), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(Look(nullptr, 0), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(Name("bob", CMC_LOOKUP_RESOLVE_PREFIX_SEARCH), CMC_E_UNSUPPORTED_FLAG);
  EXPECT_EQ(Name("bob", CMC_LOOKUP_DETAILS_UI), CMC_E_UNSUPPORTED_FLAG);
  ExpectNothing();
  CMC_uint32 count = 0;
  CMC_recipient* out = nullptr;
  EXPECT_EQ(cmc_look_up(session_ + 1, nullptr, CMC_LOOKUP_RESOLVE_IDENTITY, 0, &count, &out, nullptr),
            CMC_E_INVALID_SESSION_ID);
  EXPECT_EQ(out, nullptr);
}

TEST_F(LookUp, DialogModesAnswerCancelledForNow) {
  // Neither the prefix choice nor the addressing dialog can be shown yet.
  EXPECT_EQ(Name("bo", CMC_LOOKUP_RESOLVE_UI), CMC_E_USER_CANCEL);
  ExpectNothing();
  EXPECT_EQ(Look(nullptr, CMC_LOOKUP_ADDRESSING_UI), CMC_E_USER_CANCEL);
  ExpectNothing();
}

TEST_F(LookUp, ResultBlocksAreReleasedByCmcFree) {
  ASSERT_EQ(Name("bob"), CMC_SUCCESS);
  CMC_recipient* first = out_;
  out_ = nullptr;
  ASSERT_EQ(Look(nullptr, CMC_LOOKUP_RESOLVE_IDENTITY), CMC_SUCCESS);
  EXPECT_EQ(vk::PoolLiveBlockCount(), blocks_ + 2);
  // Any address inside the block releases it, once.
  EXPECT_EQ(cmc_free(first->name), CMC_SUCCESS);
  EXPECT_EQ(cmc_free(first), CMC_E_INVALID_MEMORY);
}

// The local address book of the logged-on user.
TEST_F(LookUp, AddressBookIsWrittenReadAndEmptiedAgain) {
  EXPECT_EQ(vk::LoadAddressBook(), nullptr);
  EXPECT_EQ(vk::IsInAddressBook("carol"), 0);
  EXPECT_EQ(vk::AddAddressBookName("carol"), 1);
  EXPECT_EQ(vk::AddAddressBookName("Dave@host.example"), 1);
  EXPECT_EQ(vk::AddAddressBookName("CAROL"), 1);
  const std::string file = (fs::path(UserDir("bob")) / "local.ab").string();
  ASSERT_TRUE(vktest::FileExists(file));
  EXPECT_NE(vktest::ReadWholeFile(file).find("[Users]"), std::string::npos);

  EXPECT_EQ(vk::IsInAddressBook("carol"), 1);
  EXPECT_EQ(vk::IsInAddressBook("dave@HOST.example"), 1);
  EXPECT_EQ(vk::IsInAddressBook("dave"), 0);
  EXPECT_EQ(vk::IsInAddressBook(nullptr), 0);
  NameList* book = vk::LoadAddressBook();
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(Names(book).size(), 2u);
  EXPECT_EQ(vk::PlatCompareNoCase(book->slots[0], "carol"), 0);
  EXPECT_STREQ(book->slots[1], "Dave@host.example");
  EXPECT_NE(book->flags & VK_NAMELIST_SORTED, 0u);
  vk::FreeNameList(book);

  EXPECT_EQ(vk::RemoveAddressBookName("Carol"), 1);
  EXPECT_EQ(vk::IsInAddressBook("carol"), 0);
  EXPECT_EQ(vk::RemoveAddressBookName("nobody"), 1);
  EXPECT_EQ(vk::RemoveAddressBookName("dave@host.example"), 1);
  EXPECT_EQ(vk::LoadAddressBook(), nullptr);
}

TEST_F(LookUp, AddressBookRefusesNamesThatCouldNotBeDelivered) {
  for (const char* name : {"", "../x", "..", "a\\b", "c:x", "x\r\ny=z", "a=b", "@host", ";comment", "[sec"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(vk::AddAddressBookName(name), 0);
  }
  EXPECT_EQ(vk::AddAddressBookName(nullptr), 0);
  EXPECT_EQ(vk::RemoveAddressBookName(nullptr), 0);
  EXPECT_EQ(vk::LoadAddressBook(), nullptr);
}

TEST_F(LookUp, AddressBookEditedByHandListsOnlyUsableEntries) {
  const std::string file = (fs::path(UserDir("bob")) / "local.ab").string();
  ASSERT_TRUE(vktest::WriteWholeFile(file,
                                     "[Other]\r\nzoe=zoe\r\n[Users]\r\nerin=erin\r\nempty=\r\n"
                                     "../evil=../evil\r\nfrank=somebody\r\nERIN=ERIN\r\n"));
  NameList* book = vk::LoadAddressBook();
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(Names(book), (std::vector<std::string>{"erin", "frank"}));
  vk::FreeNameList(book);
  EXPECT_EQ(vk::IsInAddressBook("empty"), 0);
  EXPECT_EQ(vk::IsInAddressBook("zoe"), 0);
}

TEST_F(LookUp, AddressListJoinsUsersAndBookOnceEachRegisteredSpellingFirst) {
  NameList* users_only = vk::LoadAddressList();
  ASSERT_NE(users_only, nullptr);
  EXPECT_EQ(Names(users_only), (std::vector<std::string>{"alice", "bob", "bobby"}));
  vk::FreeNameList(users_only);

  for (const char* name : {"Zara", "ALICE", "carol@host"}) ASSERT_EQ(vk::AddAddressBookName(name), 1);
  NameList* all = vk::LoadAddressList();
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(Names(all), (std::vector<std::string>{"alice", "bob", "bobby", "carol@host", "Zara"}));
  EXPECT_NE(all->flags & VK_NAMELIST_SORTED, 0u);
  vk::FreeNameList(all);
}

TEST_F(LookUp, WithoutSessionThereIsNoAddressBook) {
  ASSERT_EQ(vk::AddAddressBookName("carol"), 1);
  ASSERT_EQ(cmc_logoff(session_, 0, 0, nullptr), CMC_SUCCESS);
  EXPECT_EQ(vk::LoadAddressBook(), nullptr);
  EXPECT_EQ(vk::IsInAddressBook("carol"), 0);
  EXPECT_EQ(vk::AddAddressBookName("dave"), 0);
  EXPECT_EQ(vk::RemoveAddressBookName("carol"), 0);
  // Logged on again, the book is where it was.
  ASSERT_EQ(cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, 100, 0, &session_, nullptr), CMC_SUCCESS);
  EXPECT_EQ(vk::IsInAddressBook("carol"), 1);
  EXPECT_EQ(vk::IsInAddressBook("dave"), 0);
}

TEST_F(LookUp, EachUserHasABookOfHisOwn) {
  ASSERT_EQ(vk::AddAddressBookName("carol"), 1);
  ASSERT_EQ(cmc_logoff(session_, 0, 0, nullptr), CMC_SUCCESS);
  vk_set_dialog_driver(PlayLogin, const_cast<char*>("alice"));
  ASSERT_EQ(cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, 100, 0, &session_, nullptr), CMC_SUCCESS);
  ASSERT_STREQ(vk::SessionUserName(), "alice");
  EXPECT_EQ(vk::IsInAddressBook("carol"), 0);
  ASSERT_EQ(Look(nullptr, CMC_LOOKUP_RESOLVE_IDENTITY), CMC_SUCCESS);
  ExpectOne("alice", nullptr);
}

}  // namespace
