#include "install/restore.h"

#include <gtest/gtest.h>

#include "base/status.h"
#include "install_fixture.h"

namespace vexal::test {
namespace {

const std::string kStatusPaths =
    "[STATUS]\nmod_data=C:\\mods\\knights\\out\\\nvexal_backup=C:\\tools\\mb\\backup\n";

// A world in which the named archives are swapped in: mod archive in the game's
// folder, game archive in the backup folder.
struct InstalledWorld : InstallWorld {
  explicit InstalledWorld(const std::string& status_keys, const std::string& status = kStatusPaths)
      : InstallWorld(kPathLines + status + status_keys) {}
  void swapped(const std::string& name, const std::string& folder = kGameData) {
    fs.add_file(folder + name, "mod " + name);
    fs.add_file(kBackup + name, "game " + name);
  }
};

struct RestoreRun {
  Status code;
  std::string output;  // the progress lines
};

RestoreRun run_restore(FileSystem& fs) {
  RecordingReporter reporter;
  const Status code = restore_archives(fs, reporter);
  return {code, reporter.text};
}

TEST(MoveFile, ReplacesOnlyWhenAsked) {
  FakeFileSystem fs(kCwd);
  fs.add_file("C:\\a", "A");
  fs.add_file("C:\\b", "B");
  EXPECT_FALSE(move_file(fs, "C:\\a", "C:\\b", false));
  EXPECT_TRUE(move_file(fs, "C:\\a", "C:\\b", true));
  EXPECT_EQ(fs.contents("C:\\b"), "A");
  EXPECT_FALSE(fs.exists("C:\\a"));
  EXPECT_FALSE(move_file(fs, "C:\\a", "C:\\c", true));  // no source
  fs.add_directory("C:\\dir");
  EXPECT_FALSE(move_file(fs, "C:\\dir", "C:\\c", true));  // a folder is not a file
  EXPECT_FALSE(move_file(fs, "C:\\b", "C:\\dir", true));  // nor deleted as a destination
  EXPECT_EQ(fs.contents("C:\\b"), "A");
}

TEST(MoveFile, FailedDeletionKeepsBothFiles) {
  FakeFileSystem fs(kCwd);
  fs.add_file("C:\\a", "A");
  fs.add_file("C:\\b", "B");
  fs.hook = [](const FakeFileSystem::Op& op) {
    return op.name == "remove" ? FakeFileSystem::Verdict::fail : FakeFileSystem::Verdict::pass;
  };
  EXPECT_FALSE(move_file(fs, "C:\\a", "C:\\b", true));
  EXPECT_EQ(fs.contents("C:\\a"), "A");
  EXPECT_EQ(fs.contents("C:\\b"), "B");
}

TEST(Restore, NothingHappensWithoutBothPathKeys) {
  for (const std::string status :
       {"", "[STATUS]\nBASICS_FS=1\nvexal_backup=C:\\tools\\mb\\backup\n",
        "[STATUS]\nmod_data=C:\\mods\\knights\\out\\\nBASICS_FS=1\n"}) {
    SCOPED_TRACE(status);
    InstalledWorld world("", status);
    world.swapped("BASICS.FS");
    const auto before = world.fs.files();
    const RestoreRun run = run_restore(world.fs);
    EXPECT_EQ(run.code, Status::ok);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(world.fs.files(), before);
  }
}

// The path keys may end in a separator or not; archives outside the catalogue, like the
// CD's, live in the CD's folder.
TEST(Restore, PutsEachArchiveBackIntoItsFolder) {
  InstalledWorld world(
      "BASICS_FS=1\nVIDEO_FS=1\nEXTRA_FS=1\n",
      "[STATUS]\nmod_data=C:\\mods\\knights\\out\nvexal_backup=C:\\tools\\mb\\backup\\\n");
  world.swapped("BASICS.FS");
  world.swapped("VIDEO.FS", kCdData);
  world.swapped("EXTRA.FS", kCdData);
  EXPECT_EQ(run_restore(world.fs).code, Status::ok);
  EXPECT_EQ(world.file(kGameData + std::string("BASICS.FS")), "game BASICS.FS");
  EXPECT_EQ(world.file(kOutput + std::string("BASICS.FS")), "mod BASICS.FS");
  EXPECT_EQ(world.file(kCdData + std::string("VIDEO.FS")), "game VIDEO.FS");
  EXPECT_EQ(world.file(kCdData + std::string("EXTRA.FS")), "game EXTRA.FS");
  EXPECT_EQ(world.status("EXTRA_FS"), "0");
}

}  // namespace
}  // namespace vexal::test
