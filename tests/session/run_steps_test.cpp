#include "session/run_steps.h"

#include <gtest/gtest.h>

#include "install/install_fixture.h"
#include "support/case_file.h"
#include "support/fake_file_system.h"
#include "support/status_print.h"

namespace vexal {
namespace {

using test::FakeFileSystem;

TEST(OutputFolderTest, CreatesEveryLevelBelowTheModFolderWithOneTrailingSeparator) {
  const std::pair<std::string, std::string> cases[] = {
      {"build/alpha", "C:\\m\\build\\alpha\\"},
      {"out\\", "C:\\m\\out\\"},
      {"", "C:\\m\\"},
  };
  for (const auto& [make, expected] : cases) {
    SCOPED_TRACE(make);
    FakeFileSystem fs{"C:\\tools"};
    VariableStore vars;
    ASSERT_TRUE(vars.define("MAKE", make, VariableLevel::path));
    const Expected<std::string> output = output_folder_of(vars, "C:\\m\\demo.def");
    ASSERT_TRUE(output);
    SilentReporter reporter;
    make_output_folder(fs, reporter, *output);
    EXPECT_EQ(*output, expected);
    EXPECT_TRUE(fs.is_directory(expected));
  }
}

std::string variable(const VariableStore& vars, const std::string& name) {
  return vars.lookup(name, VariableLevel::settings).value_or("<undefined>");
}

// VEXAL and VEXALCD are defined with the text as written, or the run fails.
TEST(SettingsTest, DefinesBothGameFoldersOrNothing) {
  for (const test::DataCase& c : test::load_cases("tests/install/cases.txt", "folders")) {
    SCOPED_TRACE(c.where);
    test::InstallWorld world("[PATH]\nvexal=" + c.field(0) + "\nvexalcd=" + c.field(1) +
                             "\nallowcdmod=0\n");
    VariableStore vars;
    EXPECT_EQ(code_of(read_settings(world.fs, vars).status()), c.number(2));
    if (c.number(2) == 0) {
      EXPECT_EQ(variable(vars, "VEXAL"), "C:\\GAME\\");
      EXPECT_EQ(variable(vars, "VEXALCD"), "C:\\GAME\\CD");
    }
  }
}

}  // namespace
}  // namespace vexal
