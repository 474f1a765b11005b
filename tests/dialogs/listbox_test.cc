// Names into the select-users dialog's list boxes, once each, on the
// in-memory dialog that a dialog driver plays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/listbox.h"
#include "dialogs/dialog.h"
#include "dialogs/dialog_test_util.h"
#include "dialogs/resources.h"

namespace {

using Strings = std::vector<std::string>;

// Entries of 64 characters or more do not fit the small buffer and are still
// compared whole.
const std::string w63(63, 'w'), W63(63, 'W'), w64(64, 'w'), W64(64, 'W');

struct Seen {
  std::vector<int> results;
  Strings chosen, all;
};

TEST(AddToListBoxUnique, AddsEachNameOnceWithoutRegardToCase) {
  Seen run;
  // The dialog adds the names as it initialises; the driver then reads both
  // list boxes.
  auto proc = [](vk::Dialog* d, int event, int id, int, void* param) -> int {
    if (event == vk::kDlgInit) {
      auto* r = static_cast<Seen*>(param);
      for (const char* name : {"bob", "Ann", "BOB", "", "ann", "carl", static_cast<const char*>(nullptr), w63.c_str(),
                               W63.c_str(), w64.c_str(), W64.c_str()})
        r->results.push_back(vk::AddToListBoxUnique(d, vk::kSelectChosen, name));
      r->results.push_back(vk::AddToListBoxUnique(nullptr, vk::kSelectChosen, "dora"));
    }
    if (event == vk::kDlgCommand && id == vk::kIdCancel) vk::EndDialog(d, vk::kIdCancel);
    return event == vk::kDlgInit || (event == vk::kDlgCommand && id == vk::kIdCancel);
  };
  vktest::ScopedDriver driver([&](VkDialog* d) {
    for (int id : {vk::kSelectChosen, vk::kSelectAll})
      for (int i = 0; i < vk_dialog_list_count(d, id); i++)
        (id == vk::kSelectAll ? run.all : run.chosen).push_back(vktest::DialogText(d, id, i));
  });
  vk::RunDialog(nullptr, vk::kSelectUsersTemplate, proc, &run);
  EXPECT_EQ(run.results, std::vector<int>({1, 1, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(run.chosen, Strings({"bob", "Ann", "carl", w63, w64}));
  EXPECT_TRUE(run.all.empty());
}

}  // namespace
