// The dialog tables and the resource script generated from them.
#include "dialogs/resources.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "dialogs/rcgen/rcscript.h"
#include "support/test_support.h"

namespace {

TEST(DialogTables, TemplatesAndStringsAreWellFormed) {
  int count = 0;
  const vk::UiDialogDef* dialogs = vk::DialogTemplates(&count);
  std::set<int> ids;
  for (int i = 0; i < count; ++i) {
    const vk::UiDialogDef& d = dialogs[i];
    EXPECT_TRUE(ids.insert(d.id).second) << d.id;
    EXPECT_EQ(vk::FindDialogTemplate(d.id), &d);
    std::set<int> controls;
    for (int k = 0; k < d.control_count; ++k) {
      const vk::UiControlDef& c = d.controls[k];
      if (c.id != -1) {
        EXPECT_TRUE(controls.insert(c.id).second) << d.id << ": " << c.id;
      }
      EXPECT_LE(c.x + c.cx, d.cx) << d.id << ": " << c.id;
      // A combo box's height includes its drop-down list.
      if (c.kind != vk::kUiComboBox) {
        EXPECT_LE(c.y + c.cy, d.cy) << d.id << ": " << c.id;
      }
    }
  }
  EXPECT_EQ(vk::FindDialogTemplate(1003), nullptr);
  int string_count = 0;
  const vk::UiStringDef* strings = vk::StringTable(&string_count);
  std::set<int> string_ids;
  for (int i = 0; i < string_count; ++i) EXPECT_TRUE(string_ids.insert(strings[i].id).second) << strings[i].id;
  EXPECT_EQ(vk::FindString(1562), nullptr);
}

#ifndef _WIN32
// The committed script is what the generator writes today.
TEST(ResourceScript, CommittedScriptIsCurrent) {
  std::string source;
  if (const char* dir = std::getenv("VKMSG_SOURCE_DIR")) {
    source = dir;
  } else {
    source = __FILE__;
    source = source.substr(0, source.rfind('/'));
    source += "/../..";
  }
  std::string path = source + "/src/dialogs/vkmsg.rc";
  ASSERT_TRUE(vktest::FileExists(path)) << path;
  EXPECT_EQ(vktest::ReadWholeFile(path), vkrc::ResourceScript())
      << "regenerate with rcgen (see src/dialogs/rcgen/rcgen.cc)";
}
#endif

}  // namespace
