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
    ASSERT_EQ(vars.define("MAKE", make, kPathClass, 0), Status::ok);
    std::string output;
    SilentReporter reporter;
    ASSERT_EQ(make_output_folder(fs, reporter, vars, "C:\\m\\demo.def", output), Status::ok);
    EXPECT_EQ(output, expected);
    EXPECT_TRUE(fs.is_directory(expected));
  }
}

std::string variable(const VariableStore& vars, const std::string& name) {
  std::string value;
  return vars.lookup(name, kNoClass, value) == Status::ok ? value : "<undefined>";
}

// VEXAL and VEXALCD are defined with the text as written, or, on a failure, neither.
TEST(SettingsTest, DefinesBothGameFoldersOrNothing) {
  for (const test::DataCase& c : test::load_cases("tests/install/cases.txt", "folders")) {
    SCOPED_TRACE(c.where);
    test::InstallWorld world("[PATH]\nvexal=" + c.field(0) + "\nvexalcd=" + c.field(1) +
                             "\nallowcdmod=0\n");
    VariableStore vars;
    bool allow_cd = true;
    SilentReporter reporter;
    EXPECT_EQ(code_of(read_settings(world.fs, reporter, vars, allow_cd)), c.number(2));
    if (c.number(2) == 0) {
      EXPECT_EQ(variable(vars, "VEXAL"), "C:\\GAME\\");
      EXPECT_EQ(variable(vars, "VEXALCD"), "C:\\GAME\\CD");
    } else {
      EXPECT_EQ(vars.count(), 0u);
    }
  }
}

}  // namespace
}  // namespace vexal
