#include "platform/path_rules.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

// One separator between a folder and a name, also after the root of a drive. The other
// path rules are the programs' tests' to check.
TEST(PathRulesTest, JoinPutsOneSeparatorBetweenFolderAndName) {
  EXPECT_EQ(join_path("C:\\GAME", "backup"), "C:\\GAME\\backup");
  EXPECT_EQ(join_path("C:\\", "backup"), "C:\\backup");
}

}  // namespace
}  // namespace vexal
