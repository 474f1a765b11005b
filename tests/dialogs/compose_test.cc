// The compose dialog of a send with a user interface, with bob logged on
// and ann, carl and dave as the other users.
#include "dialogs/compose.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/dialog_test_util.h"
#include "support/mail_tree.h"

namespace {

using vktest::DialogText;

class Compose : public vktest::SenderTree {};

// The driver picks left item `to` with To... and `cc` with Cc... (-1:
// none), then presses `button`.
TEST_F(Compose, PickingRecipientsThenOkOrCancel) {
  struct {
    int to, cc, button;
    CMC_return_code code;
    const char *entries, *recipients;  // "name/role", "!" on the last
  } cases[] = {
      {0, 2, 1, CMC_SUCCESS, "To: ann,Cc: carl", "ann/0 carl/1!"},
      {3, -1, 1, CMC_SUCCESS, "To: dave", "dave/0!"},
      {0, -1, 2, CMC_E_USER_CANCEL, "To: ann", "ann@host/0!"},
  };
  for (const auto& c : cases) {
    vk::ResultPool pool{};
    vk::PoolInit(&pool, 4096);
    ASSERT_NE(pool.next, nullptr);
    CMC_recipient given = vktest::To("ann@host");
    given.recip_flags = CMC_RECIP_LAST_ELEMENT;
    std::vector<CMC_recipient> rs{given};
    CMC_message m = vktest::Message(rs, nullptr, "Lunch", "At noon?");
    std::string entries;
    vktest::ScopedDriver driver([&](VkDialog* d) {
      if (vk_dialog_template(d) == 1000) {
        int pick = entries.empty() ? c.to : c.cc;
        if (pick >= 0) vk_dialog_list_double_click(d, 1438, pick);
        vk_dialog_click(d, 1);
        return;
      }
      EXPECT_EQ(DialogText(d, 1603) + "|" + DialogText(d, 1604), "Lunch|At noon?");
      EXPECT_EQ(vk_dialog_list_count(d, 1605), 0);
      EXPECT_EQ(vk_dialog_click(d, 1), 0);  // nobody to send to yet
      vk_dialog_click(d, 1601);
      entries = "picked";
      vk_dialog_click(d, 1602);
      entries.clear();
      for (int i = 0; i < vk_dialog_list_count(d, 1605); ++i) entries += (i ? "," : "") + DialogText(d, 1605, i);
      vk_dialog_set_text(d, 1603, "Lunch today");
      vk_dialog_click(d, c.button);
    });
    EXPECT_EQ(vk::ComposeDialog(nullptr, 1002, &pool, &m), c.code);
    EXPECT_EQ(entries, c.entries);
    std::string got;
    for (CMC_recipient* r = m.recipients;; ++r) {
      got += std::string(got.empty() ? "" : " ") + (r->name ? r->name : r->address) + "/" + std::to_string(r->role);
      if (r->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
    }
    got += "!";
    for (CMC_recipient* r = m.recipients; r->name; ++r) {
      EXPECT_EQ(r->address, nullptr);  // delivery looks each name up
      if (r->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
    }
    EXPECT_EQ(got, c.recipients);
    EXPECT_STREQ(m.subject, c.code == CMC_SUCCESS ? "Lunch today" : "Lunch");
    vk::PoolReleaseBlock(pool.data);
  }
}

// cmc_send with the user interface delivers what the dialog composed.
TEST_F(Compose, TheComposedMessageIsDelivered) {
  vktest::ScopedDriver driver([&](VkDialog* d) {
    if (vk_dialog_template(d) == 1000) vk_dialog_list_double_click(d, 1438, 2);  // carl
    vk_dialog_click(d, vk_dialog_template(d) == 1002 ? 1601 : 1);
    vk_dialog_click(d, 1);
  });
  std::vector<CMC_recipient> rs{vktest::To("ann")};
  CMC_message m = vktest::Message(rs, nullptr, "Hello", "Text");
  ASSERT_EQ(Send(&m, CMC_SEND_UI_REQUESTED), CMC_SUCCESS);
  EXPECT_EQ(CountFiles(Mailbox("carl")), 1u);
  EXPECT_EQ(CountFiles(Mailbox("ann")), 0u);
}

}  // namespace
