#include "install/restore.h"

#include <gtest/gtest.h>

#include "base/status.h"
#include "install_fixture.h"

namespace vexal::test {
namespace {

// A world with the given [STATUS] lines, in which swapped() puts an archive's mod
// version in the game's folder and the game's own in the backup folder.
struct InstalledWorld : InstallWorld {
  explicit InstalledWorld(const std::string& status) : InstallWorld(kPathLines + status) {}
  void swapped(const std::string& name, const std::string& folder = kGameData) {
    fs.add_file(folder + name, "mod " + name);
    fs.add_file(kBackup + name, "game " + name);
  }
};

TEST(MoveFile, ReplacesOnlyWhenAsked) {
  FakeFileSystem fs(kCwd);
  fs.add_file("C:\\a", "A");
  fs.add_file("C:\\b", "B");
  EXPECT_FALSE(move_file(fs, "C:\\a", "C:\\b", false));
  EXPECT_TRUE(move_file(fs, "C:\\a", "C:\\b", true));
  EXPECT_EQ(fs.files(), (std::map<std::string, std::string>{{"C:\\b", "A"}}));
  EXPECT_FALSE(move_file(fs, "C:\\a", "C:\\c", true));  // no source
}

TEST(Restore, NothingHappensWithoutBothPathKeys) {
  for (const std::string status :
       {"", "[STATUS]\nBASICS_FS=1\nvexal_backup=C:\\tools\\mb\\backup\n",
        "[STATUS]\nmod_data=C:\\mods\\knights\\out\\\nBASICS_FS=1\n"}) {
    SCOPED_TRACE(status);
    InstalledWorld world(status);
    world.swapped("BASICS.FS");
    const auto before = world.fs.files();
    RecordingReporter reporter;
    EXPECT_EQ(restore_archives(world.fs, reporter), Status::ok);
    EXPECT_EQ(reporter.text, "");
    EXPECT_EQ(world.fs.files(), before);
  }
}

// The path keys may end in a separator or not; archives outside the catalogue, like the
// CD's, live in the CD's folder.
TEST(Restore, PutsEachArchiveBackIntoItsFolder) {
  InstalledWorld world(
      "[STATUS]\nmod_data=C:\\mods\\knights\\out\nvexal_backup=C:\\tools\\mb\\backup\\\n"
      "BASICS_FS=1\nEXTRA_FS=1\n");
  world.swapped("BASICS.FS");
  world.swapped("EXTRA.FS", kCdData);
  SilentReporter reporter;
  EXPECT_EQ(restore_archives(world.fs, reporter), Status::ok);
  EXPECT_EQ(world.file(kGameData + std::string("BASICS.FS")), "game BASICS.FS");
  EXPECT_EQ(world.file(kOutput + std::string("BASICS.FS")), "mod BASICS.FS");
  EXPECT_EQ(world.file(kCdData + std::string("EXTRA.FS")), "game EXTRA.FS");
  EXPECT_EQ(world.status("EXTRA_FS"), "0");
}

}  // namespace
}  // namespace vexal::test
