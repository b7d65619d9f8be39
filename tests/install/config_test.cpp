#include "install/config.h"

#include <gtest/gtest.h>

#include "install_fixture.h"
#include "support/case_file.h"

namespace vexal::test {
namespace {

TEST(ConfigPaths, DataFolderGetsOneSeparator) {
  EXPECT_EQ(data_folder("C:\\GAME"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("C:\\GAME\\"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("E:"), "E:\\data\\");
}

TEST(ConfigPaths, ReadsEveryKeyOrExplainsTheMissingOne) {
  for (const DataCase& c : load_cases("tests/install/cases.txt", "paths")) {
    SCOPED_TRACE(c.where);
    InstallWorld world(c.field(0));
    RecordingReporter reporter;
    ConfigPaths paths;
    EXPECT_EQ(code_of(read_config_paths(world.fs, reporter, paths)), c.number(1));
    EXPECT_EQ(paths.allow_cd, c.field(2) == "yes");
    EXPECT_EQ(reporter.explanations, c.field(3).empty() ? "" : "config.ini: " + c.field(3) + "\n");
  }
}

}  // namespace
}  // namespace vexal::test
