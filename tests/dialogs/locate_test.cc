// The locate dialog through bInitServerDlg and the configuration's fall
// back on it: a scratch directory holding a mail tree "Tree" and an empty
// directory "Share".
#include "dialogs/locate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cmc/module.h"
#include "cmc/pool.h"
#include "dialogs/dialog_test_util.h"
#include "platform/file.h"
#include "support/mail_tree.h"
#include "vkmsg/vkmsg.h"

namespace {

using vktest::DialogText;
using vktest::ScopedDriver;

class Locate : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.Join("Tree"));
    std::filesystem::create_directories(dir_.Join("Share"));
    vk::ModuleAttach(nullptr);
    blocks_ = vk::PoolLiveBlockCount();
    ASSERT_EQ(bSetupMHSDirs(dir_.Join("Tree").c_str()), 1);
    CloseTree();
  }
  std::string Sep() const { return std::string(1, vk::kPathSep); }
  std::string Items(VkDialog* d) {
    std::string s;
    for (int i = 0; i < vk_dialog_list_count(d, 1121); ++i) s += (i ? "," : "") + DialogText(d, 1121, i);
    return s;
  }
  // "OK" or "Setup", whichever is enabled.
  std::string Buttons(VkDialog* d) {
    return std::string(vk_dialog_is_enabled(d, 1) ? "OK" : "") + (vk_dialog_is_enabled(d, 1652) ? "Setup" : "");
  }
};

// Typing a directory, entering one and going up; OK and Setup follow
// whether the directory holds a tree.
TEST_F(Locate, BrowsingFollowsTheTree) {
  std::string seen;
  ScopedDriver driver([&](VkDialog* d) {
    EXPECT_EQ(DialogText(d, -1), "Locate Vesk_Msg Directory ");
    seen += Items(d) + " " + Buttons(d);
    vk_dialog_set_text(d, 1088, dir_.Join("Tree").c_str());
    seen += " | " + Items(d) + " " + Buttons(d);
    vk_dialog_list_double_click(d, 1121, 0);  // ..
    seen += " | " + Buttons(d);
    vk_dialog_list_double_click(d, 1121, 1);  // Share
    seen += " | " + Items(d) + " " + Buttons(d);
    vk_dialog_click(d, 1656);
  });
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%s", dir_.path().c_str());
  EXPECT_EQ(bInitServerDlg(buffer, sizeof buffer), 0);
  EXPECT_EQ(seen, "..,Share,Tree Setup | ..,MHS OK | Setup | .. Setup");
}

// Choosing a tree, setting one up (confirmed or not), going offline.
TEST_F(Locate, ChoosingSettingUpOrLeaving) {
  const std::string mail = "MHS" + Sep() + "MAIL" + Sep();
  struct {
    const char* dir;
    int button;   // 1 OK, 1652 Setup, 1656 Offline
    int confirm;  // the answer to 1010, 0 when it must not show
    int result;
    bool tree_after;
  } cases[] = {
      {"Tree", 1, 0, 1, true},
      {"Share", 1652, 2, 0, false},  // not confirmed: the dialog stays, then Offline
      {"Share", 1652, 1, 1, true},
      {"Tree", 1656, 0, 0, true},
  };
  for (const auto& c : cases) {
    int confirms = 0;
    const std::string dir = dir_.Join(c.dir);
    ScopedDriver driver([&](VkDialog* d) {
      if (vk_dialog_template(d) == 1010) {
        ++confirms;
        EXPECT_EQ(DialogText(d, 1011), dir + Sep());
        vk_dialog_click(d, c.confirm);
        return;
      }
      vk_dialog_set_text(d, 1088, dir.c_str());
      vk_dialog_click(d, c.button);
      vk_dialog_click(d, 1656);
    });
    char buffer[128] = "";
    EXPECT_EQ(bInitServerDlg(buffer, sizeof buffer), c.result) << c.dir << c.button;
    std::string want = dir + Sep() + mail;
    if (vk::kNamesFoldCase) {
      for (char& ch : want) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    EXPECT_EQ(buffer, c.result ? want : std::string()) << c.dir << c.button;
    EXPECT_EQ(confirms, c.confirm ? 1 : 0);
    EXPECT_EQ(isVeskMsgDir(dir.c_str()), c.tree_after ? 1 : 0);
  }
}

// A workstation without a tree asks for one; Offline ends the logon.
TEST_F(Locate, LogonWithoutATreeGoesThroughTheBrowser) {
  int shown = 0;
  ScopedDriver driver([&](VkDialog* d) {
    if (vk_dialog_template(d) == 1008) ++shown;
    vk_dialog_click(d, vk_dialog_template(d) == 1008 ? 1656 : 2);
  });
  ASSERT_TRUE(std::filesystem::remove_all(dir_.Join("Tree")) > 0);
  EXPECT_EQ(LogOn("admin", "zirva"), CMC_E_USER_CANCEL);
  EXPECT_EQ(shown, 1);
}

}  // namespace
