#include "driver/run.h"

#include <gtest/gtest.h>

#include "support/fake_file_system.h"

namespace vexal {
namespace {

using test::FakeFileSystem;

TEST(ModFolderTest, KeepsTextUpToTheLastSeparator) {
  FakeFileSystem fs;
  VariableStore vars;
  ArchiveList archives;
  SlotTable slots{};
  ModContext context{fs, vars, archives, slots, {}};

  set_mod_folder(context, "C:\\tools\\mods\\demo\\demo.def");
  EXPECT_EQ(context.mod_folder, "C:\\tools\\mods\\demo\\");
  set_mod_folder(context, "demo.def");
  EXPECT_EQ(context.mod_folder, "demo.def");
}

TEST(OutputFolderTest, CreatesEveryLevelBelowTheModFolderWithOneTrailingSeparator) {
  const std::pair<std::string, std::string> cases[] = {
      {"out", "C:\\m\\out\\"},
      {"build/alpha", "C:\\m\\build\\alpha\\"},
      {"out\\", "C:\\m\\out\\"},
      {"", "C:\\m\\"},
  };
  for (const auto& [make, expected] : cases) {
    SCOPED_TRACE(make);
    FakeFileSystem fs{"C:\\tools"};
    VariableStore vars;
    ASSERT_EQ(vars.var_define("MAKE", make, kPathClass, 0), 0);
    std::string output;
    ASSERT_EQ(make_output_folder(fs, vars, "C:\\m\\demo.def", output), 0);
    EXPECT_EQ(output, expected);
    EXPECT_TRUE(fs.is_directory(expected));
  }
}

TEST(OutputFolderTest, MakeOnlyVisibleFromPathBlocks) {
  FakeFileSystem fs;
  VariableStore vars;
  std::string output;
  ASSERT_EQ(vars.var_define("MAKE", "out", kSrcClass, kPathClass), 0);
  EXPECT_EQ(make_output_folder(fs, vars, "C:\\m\\demo.def", output), 2);
  EXPECT_FALSE(fs.exists("C:\\m\\out"));
}

}  // namespace
}  // namespace vexal
