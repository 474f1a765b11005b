// The dialog layer and the automation interface, played on the library's
// own templates with test procedures.
#include "dialogs/dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "dialogs/dialog_test_util.h"

namespace {

using vktest::DialogText;
using vktest::ScopedDriver;

// "event/id/code " of one event.
std::string Ev(int event, int id = 0, int code = 0) {
  return std::to_string(event) + "/" + std::to_string(id) + "/" + std::to_string(code) + " ";
}

// A procedure that records its events; a close request ends the dialog with
// `close_result` and a click on `ends_on` ends it, else they go unhandled.
struct Played {
  std::string events;
  int close_result = -1;
  int ends_on = -1;
  static int Proc(vk::Dialog* d, int event, int id, int code, void* param) {
    Played* r = static_cast<Played*>(param);
    r->events += Ev(event, id, code);
    if (event == vk::kDlgInit) return 1;
    const int result = event == vk::kDlgClose ? r->close_result : id == r->ends_on && code == vk::kBnClicked ? id : -1;
    if (result < 0) return 0;
    vk::EndDialog(d, result);
    return 1;
  }
};

TEST(DialogRun, HowADialogEnds) {
  Played none;
  {
    ScopedDriver driver([](VkDialog*) { FAIL() << "no dialog expected"; });
    EXPECT_EQ(vk::RunDialog(nullptr, 4242, Played::Proc, &none), -1);  // unknown template
  }
  EXPECT_EQ(none.events, "");
  // The driver, played after the initialisation, returning closes the
  // dialog; the handle is dead afterwards.
  Played closed{"", 77};
  VkDialog* seen = nullptr;
  {
    ScopedDriver driver([&](VkDialog* d) {
      seen = d;
      closed.events += "driver ";
    });
    EXPECT_EQ(vk::RunDialog(nullptr, 1006, Played::Proc, &closed), 77);
  }
  EXPECT_EQ(closed.events, Ev(vk::kDlgInit) + "driver " + Ev(vk::kDlgClose));
  EXPECT_EQ(vk_dialog_is_open(seen), 0);
  EXPECT_EQ(vk_dialog_template(seen), -1);
  // An unhandled close becomes Cancel, whether the procedure ends on it or not.
  for (int ends_on : {vk::kIdCancel, -1}) {
    Played cancel{"", -1, ends_on};
    ScopedDriver driver([](VkDialog*) {});
    EXPECT_EQ(vk::RunDialog(nullptr, 1006, Played::Proc, &cancel), vk::kIdCancel);
    EXPECT_EQ(cancel.events, Ev(vk::kDlgInit) + Ev(vk::kDlgClose) + Ev(vk::kDlgCommand, vk::kIdCancel, vk::kBnClicked));
  }
  // Closed or clicked by the driver: no second request.
  Played ok{"", -1, vk::kIdOk};
  {
    ScopedDriver driver([](VkDialog* d) {
      EXPECT_EQ(vk_dialog_click(d, vk::kIdOk), 1);
      EXPECT_EQ(vk_dialog_close(d) + vk_dialog_click(d, vk::kIdOk) + vk_dialog_is_open(d), 0);
      EXPECT_EQ(DialogText(d, -1), "Please Login");  // readable until the driver returns
    });
    EXPECT_EQ(vk::RunDialog(nullptr, 1006, Played::Proc, &ok), vk::kIdOk);
  }
  EXPECT_EQ(ok.events, Ev(vk::kDlgInit) + Ev(vk::kDlgCommand, vk::kIdOk, vk::kBnClicked));
}

}  // namespace
