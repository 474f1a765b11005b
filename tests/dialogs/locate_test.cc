// The locate dialog through bInitServerDlg and the logon's fall back on it,
// in a scratch directory holding a mail tree "Tree" and an empty "Share".
#include "dialogs/locate.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "cmc/module.h"
#include "cmc/pool.h"
#include "dialogs/dialog_test_util.h"
#include "platform/file.h"
#include "support/mail_tree.h"

namespace {

class Locate : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.Join("Share"));
    std::filesystem::create_directories(dir_.Join("Tree"));
    vk::ModuleAttach(nullptr);
    blocks_ = vk::PoolLiveBlockCount();
    ASSERT_EQ(bSetupMHSDirs(dir_.Join("Tree").c_str()), 1);
    CloseTree();
  }
};

// Steps: "tDIR" types DIR into 1088 ("t" empties it), "dN" double clicks
// directory N, or a button id; after each the directories listed and the
// enabled ones of OK and Setup are noted.  1010 is answered with `confirm`.
TEST_F(Locate, BrowsingChoosingSettingUpLeaving) {
  const std::string sep(1, vk::kPathSep), mail = "MHS" + sep + "MAIL" + sep;
  struct {
    std::vector<std::string> steps;
    int confirm, result;
    const char *seen, *chosen;
  } cases[] = {
      {{"tTree", "d0", "d1", "1656"}, 0, 0, "..,MHS OK|..,Share,Tree Setup|.. Setup|", ""},
      {{"tTree", "1"}, 0, 1, "..,MHS OK|", "Tree"},
      {{"tShare", "1652", "1656"}, 2, 0, ".. Setup|.. Setup|", ""},    // not confirmed: stays
      {{"tShare", "t", "1652", "1656"}, 0, 0, ".. Setup|..|..|", ""},  // no directory: neither
      {{"tShare", "1652"}, 1, 1, ".. Setup|", "Share"},
  };
  for (const auto& c : cases) {
    std::string seen, confirmed;
    vktest::ScopedDriver driver([&](VkDialog* d) {
      if (vk_dialog_template(d) == 1010) {
        confirmed = vktest::DialogText(d, 1011);
        vk_dialog_click(d, c.confirm);
        return;
      }
      for (const std::string& s : c.steps) {
        if (s[0] == 't') vk_dialog_set_text(d, 1088, s.size() > 1 ? dir_.Join(s.substr(1)).c_str() : "");
        if (s[0] == 'd') vk_dialog_list_double_click(d, 1121, s[1] - '0');
        if (std::isdigit(static_cast<unsigned char>(s[0]))) vk_dialog_click(d, std::stoi(s));
        if (!vk_dialog_is_open(d)) break;
        for (int i = 0; i < vk_dialog_list_count(d, 1121); ++i) seen += (i ? "," : "") + vktest::DialogText(d, 1121, i);
        seen +=
            std::string(vk_dialog_is_enabled(d, 1) ? " OK" : "") + (vk_dialog_is_enabled(d, 1652) ? " Setup|" : "|");
      }
    });
    char buffer[128] = "";
    EXPECT_EQ(bInitServerDlg(buffer, sizeof buffer), c.result);
    std::string want = *c.chosen ? dir_.Join(c.chosen) + sep + mail : "";
    for (char& ch : want)
      ch = vk::kNamesFoldCase ? static_cast<char>(std::toupper(static_cast<unsigned char>(ch))) : ch;
    EXPECT_EQ(seen + " " + buffer, std::string(c.seen) + " " + want);
    EXPECT_EQ(confirmed, c.confirm ? dir_.Join("Share") + sep : "");
    EXPECT_EQ(isVeskMsgDir(dir_.Join("Share").c_str()), c.confirm == 1);
  }
  // A workstation without a tree asks for one; Offline ends the logon.
  CloseTree();
  int shown = 0;
  vktest::ScopedDriver driver([&](VkDialog* d) {
    shown += vk_dialog_template(d) == 1008;
    vk_dialog_click(d, vk_dialog_template(d) == 1008 ? 1656 : 2);
  });
  std::filesystem::remove_all(dir_.Join("Share"));  // where the last setup pointed
  EXPECT_EQ(LogOn("admin", "zirva"), CMC_E_USER_CANCEL);
  EXPECT_EQ(shown, 1);
}

}  // namespace
