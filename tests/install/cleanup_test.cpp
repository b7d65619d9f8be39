#include "install/cleanup.h"

#include <gtest/gtest.h>

#include "driver/error.h"
#include "install_fixture.h"

namespace vexal::test {
namespace {

TEST(Cleanup, MissingConfigIs200) {
  FakeFileSystem fs(kCwd);
  EXPECT_EQ(cleanup_config(fs), kConfigMissing);
}

TEST(Cleanup, ZeroesEveryArchiveKeyAndTouchesNoFile) {
  InstallWorld world(kPathLines +
                     "[STATUS]\nmod_data=C:\\out\\\nBASICS_FS=1\nWORDS_FS=0\n"
                     "VIDEO_FS=yes\nvexal_backup=C:\\tools\\mb\\backup\n");
  world.fs.add_file(std::string(kGameData) + "BASICS.FS", "mod");
  const auto files_before = world.fs.files();
  EXPECT_EQ(cleanup_config(world.fs), kOk);
  for (const char* key : {"BASICS_FS", "WORDS_FS", "VIDEO_FS"}) {
    EXPECT_EQ(world.status(key), "0") << key;
  }
  EXPECT_EQ(world.status("mod_data"), "C:\\out\\");
  EXPECT_EQ(world.status("vexal_backup"), "C:\\tools\\mb\\backup");
  EXPECT_EQ(world.status_keys().size(), 5u);
  auto files_after = world.fs.files();
  files_after.erase(kConfig);
  auto expected = files_before;
  expected.erase(kConfig);
  EXPECT_EQ(files_after, expected);
}

TEST(Cleanup, NoStatusSectionWritesNothing) {
  InstallWorld world;
  EXPECT_EQ(cleanup_config(world.fs), kOk);
  EXPECT_EQ(world.file(kConfig), kPathLines);
  EXPECT_TRUE(world.fs.journal().empty());
}

}  // namespace
}  // namespace vexal::test
