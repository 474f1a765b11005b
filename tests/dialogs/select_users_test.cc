// The select-users dialog through its entry and the automation interface,
// with alice, bob and carol registered and bob logged on (for his address
// book), and the placement rule every dialog uses.
#include "dialogs/select_users.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmc/session.h"
#include "dialogs/dialog_test_util.h"
#include "dialogs/place.h"
#include "platform/profile.h"
#include "store/namelist.h"
#include "support/mail_tree.h"

namespace {

using vktest::DialogText;
using vktest::ScopedDriver;

NameList* NewList(const std::vector<std::string>& names) {
  NameList* l = vk::CreateNameList(8, 512);
  for (const std::string& n : names) l = vk::AddName(l, n.c_str(), vk::kNameModeAppend);
  return l;
}

std::string Joined(const NameList* l) {
  if (!l) return "<none>";
  std::string s;
  for (unsigned i = 0; i < l->count; ++i) s += (i ? "," : "") + std::string(l->slots[i]);
  return s;
}

std::string Items(VkDialog* d, int id) {
  std::string s;
  for (int i = 0; i < vk_dialog_list_count(d, id); ++i) s += (i ? "," : "") + DialogText(d, id, i);
  return s;
}

class SelectUsers : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"alice", "pw"}, {"bob", "pw"}, {"carol", "pw"}}));
    ASSERT_EQ(LogOnAs("bob", "pw"), CMC_SUCCESS);
    all_ = NewList({"alice", "bob", "carol"});
  }
  void TearDown() override {
    vk::FreeNameList(all_);
    MailTreeTest::TearDown();
  }
  // Runs the dialog on `chosen`; the driver plays `play`.
  std::string Run(const std::vector<std::string>& chosen, std::function<void(VkDialog*)> play) {
    ScopedDriver driver(std::move(play));
    NameList* in = chosen.empty() ? nullptr : NewList(chosen);
    NameList* out = vk::SelectUsersDialog(nullptr, 1000, all_, in);
    std::string result = Joined(out);
    vk::FreeNameList(in);
    vk::FreeNameList(out);
    return result;
  }
  NameList* all_ = nullptr;
};

// Steps: "aN"/"cN" select item N of the left/right list, "AN"/"CN" double
// click it, "i"/"e" Include/Exclude, "ok"/"cancel".  After each step the
// enabling of Include and Exclude is noted as "IE", "I-", "-E" or "--".
TEST_F(SelectUsers, PickingScenarios) {
  struct {
    std::vector<std::string> chosen;
    std::vector<std::string> steps;
    std::string enabling, result;
  } cases[] = {
      {{}, {"a1", "i", "a1", "i", "ok"}, "I- -- I- -- --", "bob"},  // no duplicates
      {{"carol", "alice"}, {"c0", "e", "ok"}, "-E -- --", "alice"},
      {{}, {"ok"}, "--", ""},                                  // nothing chosen: empty, not none
      {{"bob"}, {"a2", "i", "cancel"}, "I- -- --", "<none>"},  // cancel discards
      {{}, {"A0", "A2", "a1", "c0", "C1", "ok"}, "-- -- I- -E -- --", "alice"},
  };
  for (const auto& c : cases) {
    std::string enabling;
    std::string result = Run(c.chosen, [&](VkDialog* d) {
      EXPECT_EQ(DialogText(d, -1), "Select Vesk Users   ");
      EXPECT_EQ(Items(d, 1438), "alice,bob,carol");
      for (const std::string& s : c.steps) {
        int n = s.size() > 1 ? s[1] - '0' : 0;
        if (s[0] == 'a' || s[0] == 'c') vk_dialog_list_select(d, s[0] == 'a' ? 1438 : 1439, n, 1);
        if (s[0] == 'A' || s[0] == 'C') vk_dialog_list_double_click(d, s[0] == 'A' ? 1438 : 1439, n);
        if (s == "i" || s == "e") {
          EXPECT_EQ(vk_dialog_click(d, s == "i" ? 1440 : 1441), 1);
        }
        if (s == "ok" || s == "cancel") vk_dialog_click(d, s == "ok" ? 1 : 2);
        enabling += std::string(enabling.empty() ? "" : " ") + (vk_dialog_is_enabled(d, 1440) ? "I" : "-") +
                    (vk_dialog_is_enabled(d, 1441) ? "E" : "-");
      }
    });
    EXPECT_EQ(enabling, c.enabling) << c.result;
    EXPECT_EQ(result, c.result);
  }
}

// The dialog opens centred, then where it was closed; a remembered spot off
// the screen is pulled back inside the margins.
TEST_F(SelectUsers, OpensWhereTheLastOneClosed) {
  std::vector<std::string> spots;
  auto note = [&](VkDialog* d) {
    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(vk_dialog_rect(d, &left, &top, &width, &height), 1);
    spots.push_back(std::to_string(left) + "," + std::to_string(top));
    if (spots.size() == 1)
      spots.push_back(std::to_string((1024 - width) / 2) + "," + std::to_string((768 - height) / 2));
    if (spots.size() == 4) spots.push_back(std::to_string(1024 - 15 - width) + "," + std::to_string(768 - 15 - height));
  };
  Run({}, note);
  Run({}, note);
  vk::Session().dialog_left = 5000;
  vk::Session().dialog_top = 5000;
  Run({}, note);
  vk::Session().dialog_left = 0;
  vk::Session().dialog_top = -1;
  Run({}, note);
  ASSERT_EQ(spots.size(), 6u);
  EXPECT_EQ(spots[0], spots[1]);
  EXPECT_EQ(spots[2], spots[0]);
  EXPECT_EQ(spots[3], spots[4]);
  EXPECT_EQ(spots[5], "15,79");  // below a menu bar, a caption and 42 pixels
  EXPECT_EQ(vk::Session().dialog_left, 15);
}

TEST(PlaceDialog, ModesOnTheHeadlessScreen) {
  const vk::PlaceMetrics m{1024, 768, 19, 18, 900, 100};
  struct {
    int mode, x, y;
    const char* at;
  } cases[] = {
      {1, 0, 0, "412,334"}, {3, 0, 0, "412,334"},    {2, 0, 0, "412,142"},    {4, 0, 0, "412,526"},
      {8, 0, 0, "809,79"},  {16, 100, 90, "100,90"}, {16, -9, 900, "15,653"},
  };
  for (const auto& c : cases) {
    int left = 0, top = 0;
    vk::PlacePosition(m, c.mode, c.x, c.y, 200, 100, 80, 30, &left, &top);
    EXPECT_EQ(std::to_string(left) + "," + std::to_string(top), c.at) << c.mode;
  }
}

// The address book below the lists: a name added goes into the book and
// the chosen list; only book names can be removed; Administer Users only on
// an administrator workstation.
TEST_F(SelectUsers, AddressBookAndAdministration) {
  ASSERT_TRUE(vk::PlatWriteProfileString(nullptr, "MAIL", "IsVeskAdmin", "0"));
  std::string seen;
  std::string result = Run({}, [&](VkDialog* d) {
    EXPECT_EQ(vk_dialog_is_visible(d, 1504), 0);
    vk_dialog_set_text(d, 1460, "zed@far.example");
    ScopedDriver entry([&](VkDialog* e) {
      seen += DialogText(e, 1021);
      vk_dialog_click(e, 1);
    });
    vk_dialog_click(d, 1446);
    EXPECT_EQ(Items(d, 1438), "alice,bob,carol,zed@far.example");
    vk_dialog_list_select(d, 1438, 1, 1);
    EXPECT_EQ(vk_dialog_is_enabled(d, 1447), 0);  // a registered user
    vk_dialog_list_select(d, 1438, 3, 1);
    EXPECT_EQ(vk_dialog_is_enabled(d, 1447), 1);
    vk_dialog_click(d, 1447);
    EXPECT_EQ(Items(d, 1438), "alice,bob,carol");
    vk_dialog_click(d, 1);
  });
  EXPECT_EQ(seen, "zed@far.example");
  EXPECT_EQ(result, "zed@far.example");
}

}  // namespace
