// The select-users dialog with alice, bob and carol registered and bob
// logged on (his address book), and the placement every dialog uses.
#include "address/select_users.h"

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

std::string Items(VkDialog* d, int id) {
  std::string s;
  for (int i = 0; i < vk_dialog_list_count(d, id); ++i) s += (i ? "," : "") + vktest::DialogText(d, id, i);
  return s;
}

class SelectUsers : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"alice", "pw"}, {"bob", "pw"}, {"carol", "pw"}}));
    ASSERT_EQ(LogOnAs("bob", "pw"), CMC_SUCCESS);
  }
  // The chosen names after the driver played `play`, "<none>" for none.
  std::string Run(std::vector<const char*> chosen, std::function<void(VkDialog*)> play) {
    vktest::ScopedDriver driver(std::move(play));
    NameList* lists[2] = {vk::CreateNameList(8, 512), vk::CreateNameList(8, 512)};
    for (const char* n : {"alice", "bob", "carol"}) lists[0] = vk::AddName(lists[0], n, 0);
    for (const char* n : chosen) lists[1] = vk::AddName(lists[1], n, 0);
    NameList* out = vk::SelectUsersDialog(nullptr, 1000, lists[0], chosen.empty() ? nullptr : lists[1]);
    std::string s = out ? "" : "<none>";
    for (unsigned i = 0; out && i < out->count; ++i) s += (i ? "," : "") + std::string(out->slots[i]);
    for (NameList* l : {lists[0], lists[1], out}) vk::FreeNameList(l);
    return s;
  }
};

// Steps: "aN"/"cN" select item N of the left/right list, "AN"/"CN" double
// click it, "i"/"e" Include/Exclude, "o"/"x" OK/Cancel.  After each step
// the enabling of Include and Exclude is noted ("I-", "-E", ...).
TEST_F(SelectUsers, PickingScenarios) {
  struct {
    std::vector<const char*> chosen, steps;
    const char *enabling, *result;
  } cases[] = {
      {{}, {"a1", "i", "a1", "i", "o"}, "I- -- I- -- --", "bob"},  // no duplicates
      {{"carol", "alice"}, {"c0", "e", "o"}, "-E -- --", "alice"},
      {{}, {"o"}, "--", ""},  // an empty list, not none
      {{"bob"}, {"a2", "i", "x"}, "I- -- --", "<none>"},
      {{}, {"A0", "A2", "a1", "c0", "C1", "o"}, "-- -- I- -E -- --", "alice"},
  };
  for (const auto& c : cases) {
    std::string enabling;
    std::string result = Run(c.chosen, [&](VkDialog* d) {
      EXPECT_EQ(vktest::DialogText(d, -1), "Select Vesk Users   ");
      EXPECT_EQ(Items(d, 1438), "alice,bob,carol");
      for (std::string s : c.steps) {
        int list = s[0] == 'a' || s[0] == 'A' ? 1438 : 1439, n = s.size() > 1 ? s[1] - '0' : 0;
        if (s[0] == 'a' || s[0] == 'c') vk_dialog_list_select(d, list, n, 1);
        if (s[0] == 'A' || s[0] == 'C') vk_dialog_list_double_click(d, list, n);
        if (s.size() == 1) vk_dialog_click(d, s == "i" ? 1440 : s == "e" ? 1441 : s == "o" ? 1 : 2);
        enabling += std::string(enabling.empty() ? "" : " ") + (vk_dialog_is_enabled(d, 1440) ? "I" : "-") +
                    (vk_dialog_is_enabled(d, 1441) ? "E" : "-");
      }
    });
    EXPECT_EQ(enabling + " " + result, std::string(c.enabling) + " " + c.result);
  }
}

// Centred first, then where the last one closed; a remembered spot off the
// screen is pulled inside the margins.
TEST_F(SelectUsers, OpensWhereTheLastOneClosed) {
  std::string spots;
  int width = 0, height = 0;
  for (int at : {-1, -2, 5000, 0}) {
    if (at != -2) vk::Session().dialog_left = vk::Session().dialog_top = at;
    Run({}, [&](VkDialog* d) {
      int left = 0, top = 0;
      vk_dialog_rect(d, &left, &top, &width, &height);
      spots += std::to_string(left) + "," + std::to_string(top) + " ";
    });
  }
  std::string centre = std::to_string((1024 - width) / 2) + "," + std::to_string((768 - height) / 2) + " ";
  std::string pulled = std::to_string(1009 - width) + "," + std::to_string(753 - height) + " ";
  EXPECT_EQ(spots, centre + centre + pulled + "15,79 ");  // below menu bar, caption and 42 pixels
}

TEST(PlaceDialog, ModesOnTheHeadlessScreen) {
  const vk::PlaceMetrics m{1024, 768, 19, 18, 900, 100};
  const int cases[][5] = {{1, 0, 0, 412, 334}, {3, 0, 0, 412, 334},    {2, 0, 0, 412, 142},   {4, 0, 0, 412, 526},
                          {8, 0, 0, 809, 79},  {16, 100, 90, 100, 90}, {16, -9, 900, 15, 653}};
  for (const auto& c : cases) {
    int left = 0, top = 0;
    vk::PlacePosition(m, c[0], c[1], c[2], 200, 100, 80, 30, &left, &top);
    EXPECT_EQ(std::to_string(left) + "," + std::to_string(top), std::to_string(c[3]) + "," + std::to_string(c[4]));
  }
}

// A name added goes into the book and the chosen list; only book names can
// be removed; Administer Users only on an administrator workstation, behind
// the administrator's password.
TEST_F(SelectUsers, AddressBookAndAdministration) {
  ASSERT_TRUE(vk::PlatWriteProfileString(nullptr, "MAIL", "IsVeskAdmin", "0"));
  std::string result = Run({}, [&](VkDialog* d) {
    EXPECT_EQ(vk_dialog_is_visible(d, 1504), 0);
    vk_dialog_set_text(d, 1460, "zed@far.example");
    vktest::ScopedDriver entry([&](VkDialog* e) {
      EXPECT_EQ(vktest::DialogText(e, 1021), "zed@far.example");
      vk_dialog_click(e, 1);
    });
    vk_dialog_click(d, 1446);
    EXPECT_EQ(Items(d, 1438), "alice,bob,carol,zed@far.example");
    vk_dialog_list_select(d, 1438, 1, 1);
    EXPECT_EQ(vk_dialog_is_enabled(d, 1447), 0);  // a registered user
    vk_dialog_list_select(d, 1438, 3, 1);
    vk_dialog_click(d, 1447);
    EXPECT_EQ(Items(d, 1438), "alice,bob,carol");
    vk_dialog_click(d, 1);
  });
  EXPECT_EQ(result, "zed@far.example");
  ASSERT_TRUE(vk::PlatWriteProfileString(nullptr, "MAIL", "IsVeskAdmin", "1"));
  Run({}, [&](VkDialog* d) {
    vktest::ScopedDriver admin([&](VkDialog* a) {
      vk_dialog_set_text(a, vk_dialog_template(a) == 1007 ? 1502 : 1601,
                         vk_dialog_template(a) == 1007 ? "zirva" : "dan");
      vk_dialog_click(a, vk_dialog_template(a) == 1007 ? 1 : 1603);
    });
    vk_dialog_click(d, 1504);
    EXPECT_EQ(Items(d, 1438), "alice,bob,carol,dan");  // refreshed after the administration
  });
}

}  // namespace
