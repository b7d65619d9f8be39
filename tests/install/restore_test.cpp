#include "install/restore.h"

#include <gtest/gtest.h>

#include "base/status.h"
#include "install_fixture.h"

namespace vexal::test {
namespace {

const std::string kStatusPaths =
    "[STATUS]\nmod_data=C:\\mods\\knights\\out\\\nvexal_backup=C:\\tools\\mb\\backup\n";

std::string game(const std::string& name) {
  return kGameData + name;
}
std::string saved(const std::string& name) {
  return kBackup + name;
}
std::string returned(const std::string& name) {
  return kOutput + name;
}

// A world in which the named archives are swapped in: mod archive in the game's
// folder, game archive in the backup folder.
struct InstalledWorld : InstallWorld {
  explicit InstalledWorld(const std::string& status_keys, const std::string& status = kStatusPaths)
      : InstallWorld(kPathLines + status + status_keys) {}
  void swapped(const std::string& name, const std::string& folder = kGameData) {
    fs.add_file(folder + name, "mod " + name);
    fs.add_file(saved(name), "game " + name);
  }
};

struct RestoreRun {
  Status code;
  std::string output;  // the progress lines
  std::string warnings;
  std::string explanations;
};

RestoreRun run_restore(FileSystem& fs) {
  RecordingReporter reporter;
  const Status code = restore_archives(fs, reporter);
  return {code, reporter.text, reporter.warnings, reporter.explanations};
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

TEST(Restore, WithoutASavedCopyNothingMoves) {
  // An earlier restore stopped after putting the game archive back, before clearing the
  // key: the file in the game's folder is the game's own and stays there.
  InstalledWorld world("BASICS_FS=1\n");
  world.fs.add_file(game("BASICS.FS"), "game BASICS.FS");
  world.fs.add_file(returned("BASICS.FS"), "mod BASICS.FS");
  const auto before = world.fs.files();
  const RestoreRun run = run_restore(world.fs);
  EXPECT_EQ(run.code, Status::restore_failed);
  EXPECT_EQ(run.output, "Restoring archive \"BASICS.FS\" ... failed\n");
  EXPECT_EQ(run.explanations,
            "\"" + saved("BASICS.FS") + "\" is missing: the game's archive was not moved\n");
  EXPECT_EQ(world.fs.files(), before);
}

TEST(Restore, EmptyPathKeyIsExplainedWithTheKeyThatNeedsIt) {
  InstalledWorld world("WORDS_FS=0\nBASICS_FS=1\n",
                       "[STATUS]\nmod_data=\nvexal_backup=C:\\tools\\mb\\backup\n");
  const RestoreRun run = run_restore(world.fs);
  EXPECT_EQ(run.code, Status::status_paths_missing);
  EXPECT_EQ(run.explanations,
            "config.ini: the key mod_data of [STATUS] is empty, but BASICS_FS records an archive "
            "as swapped in\n");
}

TEST(Restore, PathKeysWithOrWithoutTrailingSeparator) {
  InstalledWorld world(
      "BASICS_FS=1\n",
      "[STATUS]\nmod_data=C:\\mods\\knights\\out\nvexal_backup=C:\\tools\\mb\\backup\\\n");
  world.swapped("BASICS.FS");
  EXPECT_EQ(run_restore(world.fs).code, Status::ok);
  EXPECT_EQ(world.file(game("BASICS.FS")), "game BASICS.FS");
  EXPECT_EQ(world.file(returned("BASICS.FS")), "mod BASICS.FS");
}

TEST(Restore, CdArchivesAndUnknownNamesLiveInTheCdFolder) {
  InstalledWorld world("VIDEO_FS=1\nEXTRA_FS=1\n");
  world.swapped("VIDEO.FS", kCdData);
  world.swapped("EXTRA.FS", kCdData);
  EXPECT_EQ(run_restore(world.fs).code, Status::ok);
  EXPECT_EQ(world.file(std::string(kCdData) + "VIDEO.FS"), "game VIDEO.FS");
  EXPECT_EQ(world.file(std::string(kCdData) + "EXTRA.FS"), "game EXTRA.FS");
  EXPECT_EQ(world.status("EXTRA_FS"), "0");
}

}  // namespace
}  // namespace vexal::test
