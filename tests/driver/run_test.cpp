#include "driver/run.h"

#include <gtest/gtest.h>

#include "support/fake_file_system.h"

namespace vexal {
namespace {

using test::FakeFileSystem;

class OutputFolderTest : public ::testing::Test {
 protected:
  void define_make(std::string_view value) {
    ASSERT_EQ(vars_.var_define("MAKE", value, kPathClass, 0), 0);
  }

  FakeFileSystem fs_{"C:\\tools"};
  VariableStore vars_;
  std::string output_;
};

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

TEST_F(OutputFolderTest, CreatesEveryLevelOfTheFolderBelowTheModFolder) {
  define_make("out");
  ASSERT_EQ(make_output_folder(fs_, vars_, "C:\\tools\\mods\\demo\\demo.def", output_), 0);
  EXPECT_EQ(output_, "C:\\tools\\mods\\demo\\out\\");
  EXPECT_TRUE(fs_.is_directory("C:\\tools\\mods\\demo\\out"));
}

TEST_F(OutputFolderTest, NormalisesSlashesAndTheTrailingSeparator) {
  define_make("build/alpha");
  ASSERT_EQ(make_output_folder(fs_, vars_, "C:\\m\\demo.def", output_), 0);
  EXPECT_EQ(output_, "C:\\m\\build\\alpha\\");
  EXPECT_TRUE(fs_.is_directory("C:\\m\\build\\alpha"));
}

TEST_F(OutputFolderTest, ValueEndingInSeparatorGetsNoSecondOne) {
  define_make("out\\");
  ASSERT_EQ(make_output_folder(fs_, vars_, "C:\\m\\demo.def", output_), 0);
  EXPECT_EQ(output_, "C:\\m\\out\\");
}

TEST_F(OutputFolderTest, EmptyValueIsTheModFolder) {
  define_make("");
  ASSERT_EQ(make_output_folder(fs_, vars_, "C:\\m\\demo.def", output_), 0);
  EXPECT_EQ(output_, "C:\\m\\");
}

TEST_F(OutputFolderTest, MakeOnlyVisibleFromPathBlocks) {
  ASSERT_EQ(vars_.var_define("MAKE", "out", kSrcClass, kPathClass), 0);
  EXPECT_EQ(make_output_folder(fs_, vars_, "C:\\m\\demo.def", output_), 2);
  EXPECT_FALSE(fs_.exists("C:\\m\\out"));
}

}  // namespace
}  // namespace vexal
