#include "install/restore.h"

#include <gtest/gtest.h>

#include "driver/error.h"
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
  int code;
  std::string output;
};

RestoreRun run_restore(FileSystem& fs) {
  testing::internal::CaptureStdout();
  const int code = restore_archives(fs);
  return {code, testing::internal::GetCapturedStdout()};
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
  fs.fail_if = [](std::string_view op, const std::string&) { return op == "remove"; };
  EXPECT_FALSE(move_file(fs, "C:\\a", "C:\\b", true));
  EXPECT_EQ(fs.contents("C:\\a"), "A");
  EXPECT_EQ(fs.contents("C:\\b"), "B");
}

TEST(Restore, MissingConfigIs200) {
  FakeFileSystem fs(kCwd);
  EXPECT_EQ(restore_archives(fs), kConfigMissing);
}

TEST(Restore, NothingHappensWithoutBothPathKeys) {
  for (const std::string status :
       {"", "[STATUS]\nBASICS_FS=1\nvexal_backup=C:\\tools\\mb\\backup\n",
        "[STATUS]\nmod_data=C:\\mods\\knights\\out\\\nBASICS_FS=1\n"}) {
    SCOPED_TRACE(status);
    InstalledWorld world("", status);
    world.swapped("BASICS.FS");
    const RestoreRun run = run_restore(world.fs);
    EXPECT_EQ(run.code, kOk);
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(world.fs.journal().empty());
  }
}

TEST(Restore, EmptyPathKeyIsAnErrorOnlyWhileAnArchiveIsSwapped) {
  const std::string empty_mod_data = "[STATUS]\nmod_data=\nvexal_backup=C:\\tools\\mb\\backup\n";
  InstalledWorld pending("WORDS_FS=0\nBASICS_FS=1\n", empty_mod_data);
  pending.swapped("BASICS.FS");
  EXPECT_EQ(run_restore(pending.fs).code, kStatusPathsMissing);
  EXPECT_TRUE(pending.fs.journal().empty());

  InstalledWorld idle("WORDS_FS=0\nBASICS_FS=0\n", empty_mod_data);
  EXPECT_EQ(run_restore(idle.fs).code, kOk);
  EXPECT_TRUE(idle.fs.journal().empty());
}

TEST(Restore, SwapsBackAndClearsTheKey) {
  InstalledWorld world("BASICS_FS=1\n");
  world.swapped("BASICS.FS");
  const RestoreRun run = run_restore(world.fs);
  EXPECT_EQ(run.code, kOk);
  EXPECT_EQ(run.output, "Restoring archive \"BASICS.FS\" ... done\n");
  EXPECT_EQ(world.file(game("BASICS.FS")), "game BASICS.FS");
  EXPECT_EQ(world.file(returned("BASICS.FS")), "mod BASICS.FS");
  EXPECT_FALSE(world.fs.exists(saved("BASICS.FS")));
  EXPECT_EQ(world.status("BASICS_FS"), "0");
  EXPECT_EQ(world.status("mod_data"), "C:\\mods\\knights\\out\\");
}

TEST(Restore, ModArchiveThatCannotLeaveStillGivesWayToTheGameArchive) {
  // Deleted from the game's folder by hand.
  InstalledWorld deleted("BASICS_FS=1\n");
  deleted.swapped("BASICS.FS");
  deleted.fs.remove(game("BASICS.FS"));
  RestoreRun run = run_restore(deleted.fs);
  EXPECT_EQ(run.code, kOk);
  EXPECT_EQ(run.output, "Restoring archive \"BASICS.FS\" ... failed\n");
  EXPECT_EQ(deleted.file(game("BASICS.FS")), "game BASICS.FS");
  EXPECT_EQ(deleted.status("BASICS_FS"), "0");

  // The mod data folder is gone: the mod archive is deleted by the replacing move.
  InstalledWorld no_folder("BASICS_FS=1\n",
                           "[STATUS]\nmod_data=C:\\gone\nvexal_backup=C:\\tools\\mb\\backup\n");
  no_folder.swapped("BASICS.FS");
  run = run_restore(no_folder.fs);
  EXPECT_EQ(run.code, kOk);
  EXPECT_EQ(run.output, "Restoring archive \"BASICS.FS\" ... failed\n");
  EXPECT_EQ(no_folder.file(game("BASICS.FS")), "game BASICS.FS");
  EXPECT_FALSE(no_folder.fs.exists(saved("BASICS.FS")));
  EXPECT_EQ(no_folder.status("BASICS_FS"), "0");
}

TEST(Restore, MissingGameArchiveKeepsItsKeyAndTheWalkGoesOn) {
  InstalledWorld world("BASICS_FS=1\nWORDS_FS=1\n");
  world.swapped("BASICS.FS");
  world.swapped("WORDS.FS");
  world.fs.remove(saved("BASICS.FS"));
  const RestoreRun run = run_restore(world.fs);
  EXPECT_EQ(run.code, kRestoreFailed);
  EXPECT_EQ(run.output,
            "Restoring archive \"BASICS.FS\" ... failed\n"
            "Restoring archive \"WORDS.FS\" ... done\n");
  EXPECT_EQ(world.file(game("BASICS.FS")), "mod BASICS.FS");
  EXPECT_FALSE(world.fs.exists(returned("BASICS.FS")));
  EXPECT_EQ(world.status("BASICS_FS"), "1");
  EXPECT_EQ(world.file(game("WORDS.FS")), "game WORDS.FS");
  EXPECT_EQ(world.status("WORDS_FS"), "0");
}

TEST(Restore, GameArchiveAlreadyBackIsNeverOverwritten) {
  // An earlier restore stopped after putting the game archive back, before clearing the
  // key; the old mod archive in the mod data folder cannot be replaced.
  InstalledWorld world("BASICS_FS=1\n");
  world.fs.add_file(game("BASICS.FS"), "game BASICS.FS");
  world.fs.add_file(returned("BASICS.FS"), "mod BASICS.FS");
  world.fs.fail_if = [](std::string_view op, const std::string& path) {
    return op == "remove" && path == returned("BASICS.FS");
  };
  EXPECT_EQ(run_restore(world.fs).code, kRestoreFailed);
  EXPECT_EQ(world.file(game("BASICS.FS")), "game BASICS.FS");
  EXPECT_EQ(world.file(returned("BASICS.FS")), "mod BASICS.FS");
}

TEST(Restore, WhichKeysCount) {
  InstalledWorld world("WORDS_FS=yes\nBASICS_FS=2\nTROOP=1\nQ42_FS=-1\nMIRE_FS=0\n");
  world.swapped("BASICS.FS");
  world.swapped("WORDS.FS");
  const RestoreRun run = run_restore(world.fs);
  EXPECT_EQ(run.code, kOk);
  EXPECT_EQ(run.output, "Restoring archive \"BASICS.FS\" ... done\n");
  EXPECT_EQ(world.status("BASICS_FS"), "0");
  EXPECT_EQ(world.status("WORDS_FS"), "yes");
  EXPECT_EQ(world.file(game("WORDS.FS")), "mod WORDS.FS");
  EXPECT_EQ(world.status("TROOP"), "1");
  EXPECT_EQ(world.status("Q42_FS"), "-1");
}

TEST(Restore, KeysAreWorkedInFileOrder) {
  InstalledWorld world("WORDS_FS=1\nTROOP_FSU=1\nBASICS_FS=1\n");
  for (const char* name : {"WORDS.FS", "TROOP.FSU", "BASICS.FS"}) {
    world.swapped(name);
  }
  EXPECT_EQ(run_restore(world.fs).output,
            "Restoring archive \"WORDS.FS\" ... done\n"
            "Restoring archive \"TROOP.FSU\" ... done\n"
            "Restoring archive \"BASICS.FS\" ... done\n");
}

TEST(Restore, PathKeysWithOrWithoutTrailingSeparator) {
  InstalledWorld world(
      "BASICS_FS=1\n",
      "[STATUS]\nmod_data=C:\\mods\\knights\\out\nvexal_backup=C:\\tools\\mb\\backup\\\n");
  world.swapped("BASICS.FS");
  EXPECT_EQ(run_restore(world.fs).code, kOk);
  EXPECT_EQ(world.file(game("BASICS.FS")), "game BASICS.FS");
  EXPECT_EQ(world.file(returned("BASICS.FS")), "mod BASICS.FS");
}

TEST(Restore, CdArchivesAndUnknownNamesLiveInTheCdFolder) {
  InstalledWorld world("VIDEO_FS=1\nEXTRA_FS=1\n");
  world.swapped("VIDEO.FS", kCdData);
  world.swapped("EXTRA.FS", kCdData);
  EXPECT_EQ(run_restore(world.fs).code, kOk);
  EXPECT_EQ(world.file(std::string(kCdData) + "VIDEO.FS"), "game VIDEO.FS");
  EXPECT_EQ(world.file(std::string(kCdData) + "EXTRA.FS"), "game EXTRA.FS");
  EXPECT_EQ(world.status("EXTRA_FS"), "0");
}

}  // namespace
}  // namespace vexal::test
