// The compose dialog, with bob logged on and ann, bob, carl and dave as the
// address list.
#include "address/compose.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/dialog_test_util.h"
#include "support/mail_tree.h"

namespace {

class Compose : public vktest::SenderTree {};

// To... picks address `to`, Cc... picks `cc` (-1: none), then `button`.
TEST_F(Compose, PickingRecipientsThenOkOrCancel) {
  struct {
    int to, cc, button;
    CMC_return_code code;
    const char *entries, *recipients;  // "name/role", "!" after the last
  } cases[] = {
      {0, 2, 1, CMC_SUCCESS, "To: ann,Cc: carl", "ann/0 carl/1!"},
      {3, -1, 1, CMC_SUCCESS, "To: dave", "dave/0!"},
      {0, -1, 2, CMC_E_USER_CANCEL, "To: ann", "ann@host/0!"},
  };
  for (const auto& c : cases) {
    vk::ResultPool pool{};
    vk::PoolInit(&pool, 4096);
    std::vector<CMC_recipient> rs{vktest::To("ann@host")};
    CMC_message m = vktest::Message(rs, nullptr, "Lunch", "At noon?");
    std::string entries;
    vktest::ScopedDriver driver([&](VkDialog* d) {
      if (vk_dialog_template(d) == 1000) {
        vk_dialog_list_double_click(d, 1438, entries.empty() ? c.to : c.cc);
        vk_dialog_click(d, 1);
        return;
      }
      EXPECT_EQ(vktest::DialogText(d, 1603) + "|" + vktest::DialogText(d, 1604), "Lunch|At noon?");
      EXPECT_EQ(vk_dialog_list_count(d, 1605) + vk_dialog_click(d, 1), 0);  // nobody yet, OK disabled
      vk_dialog_click(d, 1601);
      entries = "picked";
      vk_dialog_click(d, 1602);
      entries.clear();
      for (int i = 0; i < vk_dialog_list_count(d, 1605); ++i)
        entries += (i ? "," : "") + vktest::DialogText(d, 1605, i);
      vk_dialog_set_text(d, 1603, "Lunch today");
      vk_dialog_click(d, c.button);
    });
    EXPECT_EQ(vk::ComposeDialog(nullptr, 1002, &pool, &m), c.code);
    std::string got = entries + " ";
    for (CMC_recipient* r = m.recipients;; ++r) {
      got +=
          std::string(got.back() == ' ' ? "" : " ") + (r->name ? r->name : r->address) + "/" + std::to_string(r->role);
      EXPECT_TRUE(!r->name || !r->address);  // delivery looks each name up
      if (r->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
    }
    EXPECT_EQ(got + "! " + m.subject,
              std::string(c.entries) + " " + c.recipients + " " + (c.code ? "Lunch" : "Lunch today"));
    vk::PoolReleaseBlock(pool.data);
  }
}

}  // namespace
