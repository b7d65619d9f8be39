#include "install/install.h"

#include <gtest/gtest.h>

#include "base/status.h"
#include "install_fixture.h"

namespace vexal::test {
namespace {

using Keys = std::vector<std::string>;

struct InstallRun {
  Status status;
  std::string output;  // the progress lines
  std::string explanations;
};

InstallRun run_install(ModWorld& world) {
  RecordingReporter reporter;
  const Status status = install_mod(world.fs, reporter, world.list, world.slots, kOutput);
  return {status, reporter.text, reporter.explanations};
}

TEST(Install, ReusesExistingKeysInPlace) {
  ModWorld world({"WORDS.FS"}, kPathLines + "[STATUS]\nWORDS_FS=0\nBASICS_FS=0\n");
  EXPECT_EQ(run_install(world).status, Status::ok);
  EXPECT_EQ(world.status_keys(), (Keys{"WORDS_FS", "BASICS_FS", "mod_data", "vexal_backup"}));
  EXPECT_EQ(world.status("WORDS_FS"), "1");
}

TEST(Install, MissingGameArchiveStopsTheWalkAfterEarlierSwaps) {
  ModWorld world({"BASICS.FS", "VIDEO.FS", "NARRATE.FS"});
  world.fs.remove(std::string(kCdData) + "VIDEO.FS");
  const InstallRun run = run_install(world);
  EXPECT_EQ(run.status, Status::move_failed);
  EXPECT_EQ(run.output,
            "Swapping archive \"BASICS.FS\" ... done\n"
            "Swapping archive \"VIDEO.FS\" ... failed\n");
  EXPECT_EQ(run.explanations, "cannot move " + std::string(kCdData) + "VIDEO.FS to " +
                                  std::string(kBackup) + "VIDEO.FS: the file does not exist\n");
  EXPECT_EQ(world.status("BASICS_FS"), "1");
  EXPECT_EQ(world.status("VIDEO_FS"), "<missing>");
  EXPECT_EQ(world.file(std::string(kOutput) + "VIDEO.FS"), "mod VIDEO.FS");
  EXPECT_EQ(world.file(std::string(kCdData) + "NARRATE.FS"), "game NARRATE.FS");
}

TEST(Install, UnwritableConfigStopsBeforeAnyMove) {
  ModWorld world({"WORDS.FS"});
  world.fs.set_read_only(kConfig);
  const InstallRun run = run_install(world);
  EXPECT_EQ(run.status, Status::config_not_written);
  EXPECT_EQ(run.explanations, "config.ini: the key mod_data of [STATUS] could not be written\n");
}

TEST(Install, FileLeftInTheBackupFolderStopsBeforeAnythingChanges) {
  ModWorld world({"BASICS.FS", "WORDS.FS"});
  world.fs.add_file(std::string(kBackup) + "WORDS.FS", "game WORDS.FS, the only copy");
  const auto before = world.fs.files();
  const InstallRun run = run_install(world);
  EXPECT_EQ(run.status, Status::move_failed);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(world.fs.files(), before);
  EXPECT_TRUE(
      run.explanations.starts_with("\"C:\\tools\\mb\\backup\\WORDS.FS\" is left in "
                                   "the backup folder and may be the game's own"))
      << run.explanations;
}

// Mutating calls of a one-archive installation: 1 mod_data, 2 the backup folder,
// 3 vexal_backup, 4 and 5 the swap, 6 the key; then the undo's moves, 7 and 8.
TEST(Install, SwapWhoseKeyCannotBeWrittenIsTakenBack) {
  struct Case {
    std::set<std::uint64_t> failing;
    std::string in_game;
    std::string in_backup;
    std::string explained;
  };
  const Case cases[] = {
      {{6}, "game WORDS.FS", "<none>", "the swap of WORDS.FS was undone"},
      {{6, 7},
       "mod WORDS.FS",
       "game WORDS.FS",
       "the game's own WORDS.FS is in \"C:\\tools\\mb\\backup\\WORDS.FS\""},
      {{6, 8},
       "<none>",
       "game WORDS.FS",
       "the game's own WORDS.FS is in \"C:\\tools\\mb\\backup\\WORDS.FS\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing.size() == 1 ? "undone" : std::to_string(*c.failing.rbegin()));
    ModWorld world({"WORDS.FS"});
    world.fs.hook = at_mutations(c.failing, FakeFileSystem::Verdict::fail);
    const InstallRun run = run_install(world);
    EXPECT_EQ(run.status, Status::config_not_written);
    EXPECT_EQ(world.file(std::string(kGameData) + "WORDS.FS"), c.in_game);
    EXPECT_EQ(world.file(std::string(kBackup) + "WORDS.FS"), c.in_backup);
    EXPECT_EQ(world.status("WORDS_FS"), "<missing>");
    EXPECT_NE(run.explanations.find(c.explained), std::string::npos) << run.explanations;
  }
}

}  // namespace
}  // namespace vexal::test
