#include "install/config.h"

#include <gtest/gtest.h>

#include "install_fixture.h"
#include "support/case_file.h"

namespace vexal::test {
namespace {

TEST(ConfigPaths, ReadsEveryKeyOrExplainsTheMissingOne) {
  for (const DataCase& c : load_cases("tests/install/cases.txt", "paths")) {
    SCOPED_TRACE(c.where);
    InstallWorld world(c.field(0));
    const Expected<ConfigPaths> paths = read_config_paths(world.fs);
    EXPECT_EQ(code_of(paths.status()), c.number(1));
    if (paths) {
      EXPECT_EQ(paths->allow_cd, c.field(2) == "yes");
    } else {
      EXPECT_EQ(paths.failure().explanations,
                std::vector<std::string>{"config.ini: " + c.field(3)});
    }
  }
}

}  // namespace
}  // namespace vexal::test
