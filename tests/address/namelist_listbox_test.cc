// Names into the select-users dialog's list boxes, once each, on the
// in-memory dialog that a dialog driver plays.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "address/namelist.h"
#include "dialogs/dialog.h"
#include "dialogs/resources.h"
#include "vkmsg/vkmsg.h"

namespace {

using Strings = std::vector<std::string>;

Strings ListTexts(VkDialog* d, int id) {
  Strings texts;
  for (int i = 0; i < vk_dialog_list_count(d, id); i++) {
    char buf[512];
    vk_dialog_list_text(d, id, i, buf, sizeof buf);
    texts.emplace_back(buf);
  }
  return texts;
}

// Runs `act` when the select-users dialog initialises, and answers what the
// driver then saw in its two list boxes.
struct ListBoxRun {
  std::function<void(vk::Dialog*)> act;
  Strings all, chosen;
  static int Proc(vk::Dialog* d, int event, int id, int, void* param) {
    if (event == vk::kDlgInit) static_cast<ListBoxRun*>(param)->act(d);
    if (event == vk::kDlgCommand && id == vk::kIdCancel) vk::EndDialog(d, vk::kIdCancel);
    return event == vk::kDlgInit || (event == vk::kDlgCommand && id == vk::kIdCancel);
  }
  static void Driver(void* context, VkDialog* d) {
    auto* run = static_cast<ListBoxRun*>(context);
    run->all = ListTexts(d, vk::kSelectAll);
    run->chosen = ListTexts(d, vk::kSelectChosen);
  }
  void Run() {
    vk_set_dialog_driver(Driver, this);
    vk::RunDialog(nullptr, vk::kSelectUsersTemplate, Proc, this);
    vk_set_dialog_driver(nullptr, nullptr);
  }
};

TEST(AddToListBoxUnique, AddsEachNameOnceWithoutRegardToCase) {
  // Entries of 64 characters or more do not fit the small buffer and are
  // still compared whole.
  const std::string w63(63, 'w'), W63(63, 'W'), w64(64, 'w'), W64(64, 'W');
  const char* const names[] = {"bob", "Ann", "BOB", "", "ann", "carl", nullptr,
                               w63.c_str(), W63.c_str(), w64.c_str(), W64.c_str()};
  std::vector<int> results;
  ListBoxRun run;
  run.act = [&](vk::Dialog* d) {
    for (const char* name : names) results.push_back(vk::AddToListBoxUnique(d, vk::kSelectChosen, name));
    results.push_back(vk::AddToListBoxUnique(nullptr, vk::kSelectChosen, "dora"));
  };
  run.Run();
  EXPECT_EQ(results, std::vector<int>({1, 1, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(run.chosen, Strings({"bob", "Ann", "carl", w63, w64}));
  EXPECT_TRUE(run.all.empty());
}

}  // namespace
