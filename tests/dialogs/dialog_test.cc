// The dialog layer and the automation interface, played on the library's
// own templates with test procedures.
#include "dialogs/dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/dialog_test_util.h"

namespace {

using vktest::DialogText;
using vktest::ScopedDriver;

struct Event {
  int event, id, code;
  bool operator==(const Event& o) const { return event == o.event && id == o.id && code == o.code; }
};

// A procedure that records its events and acts as told.
struct Recorder {
  // A close request ends the dialog with this result; -1 leaves it unhandled.
  explicit Recorder(int close_result = -1) : close_result(close_result) {}
  int close_result;
  std::vector<Event> events;
  std::function<void(vk::Dialog*)> on_init;
  std::function<int(vk::Dialog*, int id, int code)> on_command;
  static int Proc(vk::Dialog* d, int event, int id, int code, void* param) {
    Recorder* r = static_cast<Recorder*>(param);
    r->events.push_back({event, id, code});
    if (event == vk::kDlgInit) {
      if (r->on_init) r->on_init(d);
      return 1;
    }
    if (event == vk::kDlgClose) {
      if (r->close_result < 0) return 0;
      vk::EndDialog(d, r->close_result);
      return 1;
    }
    return r->on_command ? r->on_command(d, id, code) : 0;
  }
  int Count(int event, int id, int code) const {
    return static_cast<int>(std::count(events.begin(), events.end(), Event{event, id, code}));
  }
};

// A command handler that ends the dialog when `wanted` is clicked.
std::function<int(vk::Dialog*, int, int)> EndOn(int wanted) {
  return [wanted](vk::Dialog* d, int id, int code) {
    if (id != wanted || code != vk::kBnClicked) return 0;
    vk::EndDialog(d, wanted);
    return 1;
  };
}

TEST(DialogRun, HowADialogEnds) {
  Recorder none;
  {
    ScopedDriver driver([](VkDialog*) { FAIL() << "no dialog expected"; });
    EXPECT_EQ(vk::RunDialog(nullptr, 4242, Recorder::Proc, &none), -1);  // unknown template
  }
  EXPECT_TRUE(none.events.empty());
  // The driver returning closes the dialog; the handle is dead afterwards.
  Recorder closed{77};
  VkDialog* seen = nullptr;
  {
    ScopedDriver driver([&](VkDialog* d) {
      seen = d;
      EXPECT_EQ(closed.Count(vk::kDlgInit, 0, 0), 1);  // played after the initialisation
    });
    EXPECT_EQ(vk::RunDialog(nullptr, 1006, Recorder::Proc, &closed), 77);
  }
  EXPECT_EQ(closed.Count(vk::kDlgClose, 0, 0), 1);
  EXPECT_EQ(vk_dialog_is_open(seen), 0);
  EXPECT_EQ(vk_dialog_template(seen), -1);
  // An unhandled close becomes Cancel.
  Recorder cancel;
  cancel.on_command = EndOn(vk::kIdCancel);
  {
    ScopedDriver driver([](VkDialog*) {});
    EXPECT_EQ(vk::RunDialog(nullptr, 1006, Recorder::Proc, &cancel), vk::kIdCancel);
  }
  EXPECT_EQ(cancel.Count(vk::kDlgCommand, vk::kIdCancel, vk::kBnClicked), 1);
  // Closed or clicked by the driver: no second request.
  Recorder ok;
  ok.on_command = EndOn(vk::kIdOk);
  {
    ScopedDriver driver([](VkDialog* d) {
      EXPECT_EQ(vk_dialog_click(d, vk::kIdOk), 1);
      EXPECT_EQ(vk_dialog_close(d) + vk_dialog_click(d, vk::kIdOk) + vk_dialog_is_open(d), 0);
      EXPECT_EQ(DialogText(d, -1), "Please Login");  // readable until the driver returns
    });
    EXPECT_EQ(vk::RunDialog(nullptr, 1006, Recorder::Proc, &ok), vk::kIdOk);
  }
  EXPECT_EQ(ok.Count(vk::kDlgClose, 0, 0), 0);
}

}  // namespace
