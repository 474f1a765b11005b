// The committed resource script is what the generator writes from the dialog tables.
#include "dialogs/resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "dialogs/rcgen/rcscript.h"
#include "support/test_support.h"

namespace {

#ifndef _WIN32
TEST(ResourceScript, CommittedScriptIsCurrent) {
  const char* dir = std::getenv("VKMSG_SOURCE_DIR");
  const std::string file = __FILE__, source = dir ? dir : file.substr(0, file.rfind('/')) + "/../..";
  std::string path = source + "/src/dialogs/vkmsg.rc";
  ASSERT_TRUE(vktest::FileExists(path)) << path;
  EXPECT_EQ(vktest::ReadWholeFile(path), vkrc::ResourceScript())
      << "regenerate with rcgen (see src/dialogs/rcgen/rcgen.cc)";
}
#endif

}  // namespace
