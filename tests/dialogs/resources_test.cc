// The committed resource script is what the generator writes from the dialog tables.
#include "dialogs/resources.h"

#include <gtest/gtest.h>

#include <string>

#include "dialogs/rcgen/rcscript.h"
#include "support/test_support.h"

namespace {

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
