// Name lists in and out of list boxes, on the in-memory select-users dialog
// that a dialog driver plays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "address/namelist.h"
#include "dialogs/dialog.h"
#include "dialogs/resources.h"
#include "vkmsg/vkmsg.h"

namespace {

struct ListBoxRun {
  // What the dialog procedure does on initialisation.
  void (*act)(ListBoxRun* run, vk::Dialog* d) = nullptr;
  NameList* list = nullptr;
  std::vector<int> results;
  // What the driver saw in the two list boxes afterwards.
  std::vector<std::string> all;
  std::vector<std::string> chosen;
};

std::vector<std::string> ListTexts(VkDialog* d, int id) {
  std::vector<std::string> texts;
  int count = vk_dialog_list_count(d, id);
  for (int i = 0; i < count; i++) {
    char buf[512];
    vk_dialog_list_text(d, id, i, buf, sizeof buf);
    texts.emplace_back(buf);
  }
  return texts;
}

void Driver(void* context, VkDialog* d) {
  auto* run = static_cast<ListBoxRun*>(context);
  run->all = ListTexts(d, vk::kSelectAll);
  run->chosen = ListTexts(d, vk::kSelectChosen);
}

int Proc(vk::Dialog* d, int event, int id, int, void* param) {
  auto* run = static_cast<ListBoxRun*>(param);
  if (event == vk::kDlgInit) {
    run->act(run, d);
    return 1;
  }
  if (event == vk::kDlgCommand && id == vk::kIdCancel) {
    vk::EndDialog(d, vk::kIdCancel);
    return 1;
  }
  return 0;
}

void RunSelectUsers(ListBoxRun* run) {
  vk_set_dialog_driver(Driver, run);
  vk::RunDialog(nullptr, vk::kSelectUsersTemplate, Proc, run);
  vk_set_dialog_driver(nullptr, nullptr);
}

TEST(FillListBox, ReplacesTheContentsInListOrder) {
  ListBoxRun run;
  run.list = vk::CreateNameList(4, 64);
  for (const char* name : {"carl", "ann", "bob"}) run.list = vk::AddName(run.list, name, 0);
  run.act = [](ListBoxRun* r, vk::Dialog* d) {
    vk::ListAdd(d, vk::kSelectAll, "old entry");
    vk::FillListBox(d, vk::kSelectAll, r->list);
    // Nothing happens without a list or a dialog.
    vk::FillListBox(d, vk::kSelectChosen, nullptr);
    vk::FillListBox(nullptr, vk::kSelectChosen, r->list);
  };
  RunSelectUsers(&run);
  EXPECT_EQ(run.all, std::vector<std::string>({"carl", "ann", "bob"}));
  EXPECT_TRUE(run.chosen.empty());
  vk::FreeNameList(run.list);
}

TEST(AddToListBoxUnique, AddsEachNameOnceWithoutRegardToCase) {
  ListBoxRun run;
  run.act = [](ListBoxRun* r, vk::Dialog* d) {
    const std::string long70(70, 'w');
    const std::string long70Upper(70, 'W');
    for (const char* name : {"bob", "Ann", "BOB", "", "ann", "carl"})
      r->results.push_back(vk::AddToListBoxUnique(d, vk::kSelectChosen, name));
    r->results.push_back(vk::AddToListBoxUnique(d, vk::kSelectChosen, nullptr));
    // Entries of 64 characters or more are compared whole.
    r->results.push_back(vk::AddToListBoxUnique(d, vk::kSelectChosen, long70.c_str()));
    r->results.push_back(
        vk::AddToListBoxUnique(d, vk::kSelectChosen, long70Upper.c_str()));
    r->results.push_back(
        vk::AddToListBoxUnique(d, vk::kSelectChosen, (long70 + "x").c_str()));
    r->results.push_back(vk::AddToListBoxUnique(nullptr, vk::kSelectChosen, "dora"));
  };
  RunSelectUsers(&run);
  EXPECT_EQ(run.results, std::vector<int>({1, 1, 0, 0, 0, 1, 0, 1, 0, 1, 0}));
  EXPECT_EQ(run.chosen, std::vector<std::string>({"bob", "Ann", "carl",
                                                  std::string(70, 'w'),
                                                  std::string(70, 'w') + "x"}));
  EXPECT_TRUE(run.all.empty());
}

}  // namespace
