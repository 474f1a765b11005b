// cmc_look_up against a real tree with the users alice, bob and bobby, bob
// logged on, and the local address book of the logged-on user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "address/local_ab.h"
#include "address/lookup.h"
#include "dialogs/dialog_test_util.h"
#include "store/namelist.h"
#include "cmc/session.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "store/config.h"
#include "users/registry.h"
#include "support/mail_tree.h"
#include "vkmsg/vkmsg.h"

namespace {

std::vector<std::string> Names(const NameList* list) {
  std::vector<std::string> names;
  if (list == nullptr) return names;
  for (unsigned i = 0; i < list->count; ++i) names.push_back(list->slots[i]);
  return names;
}

std::string Items(VkDialog* d, int id) {
  std::string s;
  for (int i = 0; i < vk_dialog_list_count(d, id); ++i) s += (i ? "," : "") + vktest::DialogText(d, id, i);
  return s;
}

class LookUp : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"alice", "pw"}, {"bob", "pw"}, {"bobby", "pw"}}));
    LogOnAs("bob");
  }
  void TearDown() override {
    if (out_ != nullptr) {
      EXPECT_EQ(cmc_free(out_), CMC_SUCCESS);
    }
    MailTreeTest::TearDown();
  }
  void LogOnAs(const char* user) {
    ASSERT_EQ(MailTreeTest::LogOnAs(user, "pw"), CMC_SUCCESS);
    ASSERT_STREQ(vk::SessionUserName(), user);
  }
  CMC_return_code Look(CMC_recipient* in, CMC_flags flags) {
    if (out_ != nullptr) cmc_free(out_);
    out_ = nullptr;
    count_ = 0xDEAD;
    return cmc_look_up(session_, in, flags, 0, &count_, &out_, nullptr);
  }
  CMC_return_code Resolve(const char* name, const char* address, CMC_flags flags = 0) {
    CMC_recipient r{};
    r.name = const_cast<char*>(name);
    r.address = const_cast<char*>(address);
    r.recip_flags = CMC_RECIP_LAST_ELEMENT;
    return Look(&r, flags);
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
    EXPECT_EQ(out_->recip_flags, CMC_RECIP_LAST_ELEMENT);
  }
  void ExpectNothing() {
    EXPECT_EQ(count_, 0u);
    EXPECT_EQ(out_, nullptr);
  }
  std::string BookFile() const { return (UserDir("bob") / "local.ab").string(); }
  CMC_uint32 count_ = 0;
  CMC_recipient* out_ = nullptr;
};

TEST_F(LookUp, ResolvingNamesAndAddresses) {
  const std::string longest(vk::kMaxAddressName, 'n');
  const std::string at_longest = longest + "@host";
  const CMC_flags id = CMC_LOOKUP_RESOLVE_IDENTITY;
  struct {
    const char *name, *address;
    CMC_flags flags;
    CMC_return_code code;
    const char *out_name, *out_address;
  } cases[] = {
      // The identity is the logged-on user, whatever is given.
      {"alice", nullptr, id | CMC_LOOKUP_ADDRESSING_UI | CMC_ERROR_UI_ALLOWED, CMC_SUCCESS, "bob", nullptr},
      // A typed name is found without regard to case and kept as typed; found
      // exactly it needs no dialog.
      {"Bob", nullptr, 0, CMC_SUCCESS, "Bob", "Bob"},
      {"BOBBY", nullptr, 0, CMC_SUCCESS, "BOBBY", "BOBBY"},
      {"alice", nullptr, CMC_LOOKUP_RESOLVE_UI, CMC_SUCCESS, "alice", "alice"},
      // An address alone gives its user part; an empty name counts as none.
      {"", "carol@host.example", 0, CMC_SUCCESS, "carol", "carol@host.example"},
      {"", "dave@a@b", 0, CMC_SUCCESS, "dave", "dave@a@b"},
      {"", at_longest.c_str(), 0, CMC_SUCCESS, longest.c_str(), at_longest.c_str()},
      {nullptr, nullptr, 0, CMC_E_INVALID_PARAMETER, nullptr, nullptr},
      {"", "", 0, CMC_E_INVALID_PARAMETER, nullptr, nullptr},
      {"bob", nullptr, CMC_LOOKUP_RESOLVE_PREFIX_SEARCH, CMC_E_UNSUPPORTED_FLAG, nullptr, nullptr},
      {"bob", nullptr, CMC_LOOKUP_DETAILS_UI, CMC_E_UNSUPPORTED_FLAG, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name ? c.name : "(null)") + " " + (c.address ? c.address : "(null)"));
    EXPECT_EQ(Resolve(c.name, c.address, c.flags), c.code);
    if (c.code == CMC_SUCCESS) {
      ExpectOne(c.out_name, c.out_address);
    } else {
      ExpectNothing();
    }
  }
  ASSERT_EQ(Look(nullptr, id), CMC_SUCCESS);
  ExpectOne("bob", nullptr);
  EXPECT_EQ(Look(nullptr, 0), CMC_E_INVALID_PARAMETER);
}

// The modes that run the select-users dialog: the prefix choice offers the
// users whose names begin with the typed text (case counts), the addressing
// dialog starts from the given names; the driver picks left item `pick`
// (-1: none) and presses `button`.
TEST_F(LookUp, PickingInTheSelectUsersDialog) {
  CMC_recipient two[2] = {{}, {}};
  two[0].name = const_cast<char*>("bob");
  two[1].name = const_cast<char*>("alice");
  two[1].recip_flags = CMC_RECIP_LAST_ELEMENT;
  struct {
    const char* typed;  // null: the addressing dialog on `two`
    int pick, button;
    const char *offered, *chosen;
    CMC_return_code code;
    const char* result;
  } cases[] = {
      {"bo", 1, 1, "bob,bobby", "", CMC_SUCCESS, "bobby"},
      {"Bo", -1, 1, "", "", CMC_SUCCESS, ""},
      {"bo", 0, 2, "bob,bobby", "", CMC_SUCCESS, ""},  // a cancelled choice adds nobody
      {nullptr, 0, 1, "alice,bob,bobby", "alice,bob", CMC_SUCCESS, "alice,bob"},
      {nullptr, -1, 2, "alice,bob,bobby", "alice,bob", CMC_E_USER_CANCEL, ""},
  };
  for (const auto& c : cases) {
    std::string offered, chosen;
    vktest::ScopedDriver driver([&](VkDialog* d) {
      offered = Items(d, 1438);
      chosen = Items(d, 1439);
      if (c.pick >= 0) vk_dialog_list_double_click(d, 1438, c.pick);
      vk_dialog_click(d, c.button);
    });
    CMC_return_code rc =
        c.typed ? Resolve(c.typed, nullptr, CMC_LOOKUP_RESOLVE_UI) : Look(two, CMC_LOOKUP_ADDRESSING_UI);
    EXPECT_EQ(rc, c.code);
    EXPECT_EQ(offered + "/" + chosen, std::string(c.offered) + "/" + c.chosen);
    std::string result;
    for (CMC_uint32 i = 0; rc == CMC_SUCCESS && i < count_; ++i) {
      EXPECT_STREQ(out_[i].address, out_[i].name);
      EXPECT_EQ(out_[i].recip_flags, i + 1 == count_ ? CMC_RECIP_LAST_ELEMENT : 0u);
      result += (i ? "," : "") + std::string(out_[i].name);
    }
    EXPECT_EQ(result, c.result);
    if (result.empty()) ExpectNothing();
  }
}

// The local address book of the logged-on user, as the select-users dialog
// uses it.
TEST_F(LookUp, AddressBookKeepsUsableNamesOnceAndJoinsTheUsers) {
  EXPECT_EQ(vk::LoadAddressBook(), nullptr);
  for (const char* name : {"carol", "Dave@host.example", "CAROL", "Zara", "ALICE"}) {
    EXPECT_EQ(vk::AddAddressBookName(name), 1);
  }
  EXPECT_EQ(vk::IsInAddressBook("dave@HOST.example"), 1);
  EXPECT_EQ(vk::IsInAddressBook("dave"), 0);
  NameList* all = vk::LoadAddressList();
  EXPECT_EQ(Names(all), (std::vector<std::string>{"alice", "bob", "bobby", "carol", "Dave@host.example", "Zara"}));
  vk::FreeNameList(all);
  for (const char* name : {"Carol", "nobody", "dave@host.example", "zara", "alice"}) {
    EXPECT_EQ(vk::RemoveAddressBookName(name), 1);
  }
  EXPECT_EQ(vk::LoadAddressBook(), nullptr);
  // Edited by hand: only usable entries of its own section, once each.
  ASSERT_TRUE(vktest::WriteWholeFile(BookFile(),
                                     "[Other]\r\nzoe=zoe\r\n[Users]\r\nerin=erin\r\nempty=\r\n"
                                     "../evil=../evil\r\nfrank=somebody\r\nERIN=ERIN\r\n"));
  NameList* book = vk::LoadAddressBook();
  EXPECT_EQ(Names(book), (std::vector<std::string>{"erin", "frank"}));
  vk::FreeNameList(book);
  EXPECT_EQ(vk::IsInAddressBook("zoe"), 0);
  // Unsafe names are refused; the book belongs to the user logged on.
  std::vector<const char*> names(vktest::kUnsafeNames, vktest::kUnsafeNames + vktest::kUnsafeNameCount);
  for (const char* name : {"", "@host", ";comment", "[sec"}) names.push_back(name);
  for (const char* name : names) EXPECT_EQ(vk::AddAddressBookName(name), 0) << name;
  EXPECT_EQ(vk::AddAddressBookName(nullptr), 0);
  ASSERT_EQ(vk::AddAddressBookName("carol"), 1);
  ASSERT_EQ(cmc_logoff(session_, 0, 0, nullptr), CMC_SUCCESS);
  EXPECT_EQ(vk::IsInAddressBook("carol"), 0);
  EXPECT_EQ(vk::AddAddressBookName("dave"), 0);
  LogOnAs("alice");
  EXPECT_EQ(vk::IsInAddressBook("carol"), 0);
  ASSERT_EQ(cmc_logoff(session_, 0, 0, nullptr), CMC_SUCCESS);
  LogOnAs("bob");
  EXPECT_EQ(vk::IsInAddressBook("carol"), 1);
}

}  // namespace
