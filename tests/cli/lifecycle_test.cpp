// The whole life of a mod on real files: build and install, restore at the start of the
// next run, reinstall; flat, two-level and CD archives; failures in the middle.
#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/cli_fixture.h"

namespace vexal::test {
namespace {

// A game with BASICS.FS and TROOP.FSU in game/data and VIDEO.FS on the CD, and a mod in
// mod/ that replaces part of each from folders.
class LifecycleTest : public CliTest {
 protected:
  const std::string game_basics = build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}});
  const std::string game_troop =
      build_two_level({{"ARCHR", {{"001", "bow"}}}, {"PIKE", {{"001", "pike"}}}});
  const std::string game_video = build_flat({{"INTRO.VID", "intro"}});

  const std::string mod_basics = build_flat({{"A.DAT", "aaa"}, {"B.DAT", "mod b"}});
  const std::string mod_troop =
      build_two_level({{"ARCHR", {{"001", "bow"}}}, {"PIKE", {{"001", "long pike"}}}});
  const std::string mod_video = build_flat({{"INTRO.VID", "intro"}, {"WIN.VID", "win"}});

  static constexpr const char* kDefinition =
      "class PATH { MAKE = out; }\n"
      "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, gfx); }\n"
      "class TROOP.FSU { add(%VEXAL%\\data\\TROOP.FSU); add(ALL, troop); }\n"
      "class VIDEO.FS { add(%VEXALCD%\\data\\VIDEO.FS); add(ALL, vid); }\n";

  void SetUp() override {
    write_config();
    write_file("game/data/BASICS.FS", game_basics);
    write_file("game/data/TROOP.FSU", game_troop);
    write_file("cd/data/VIDEO.FS", game_video);
    write_file("mod/gfx/B.DAT", "mod b");
    write_file("mod/troop/pike/001", "long pike");
    write_file("mod/vid/WIN.VID", "win");
    write_file("mod/mod.def", kDefinition);
  }

  std::string status_section() const {
    const std::string text = config();
    const std::size_t start = text.find("[STATUS]");
    return start == std::string::npos ? std::string() : text.substr(start);
  }

  std::string status_with(const std::string& archive_keys) const {
    return "[STATUS]\nmod_data=" + composed(root(), "mod\\out\\") +
           "\nvexal_backup=" + composed(root(), "backup") + "\n" + archive_keys;
  }

  std::string loading(const std::string& folder, const std::string& name) const {
    return "Loading archive \"" + composed(at(folder), "data\\" + name) + "\" ... done\n";
  }

  void expect_game_restored() const {
    EXPECT_EQ(read_file("game/data/BASICS.FS"), game_basics);
    EXPECT_EQ(read_file("game/data/TROOP.FSU"), game_troop);
    EXPECT_EQ(read_file("cd/data/VIDEO.FS"), game_video);
  }
};

TEST_F(LifecycleTest, InstallRestoreAndReinstall) {
  RunResult result = run({"mod\\mod.def", "-mod"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output),
            loading("game", "BASICS.FS") + "Loading folder \"gfx\" ... done\n" +
                loading("game", "TROOP.FSU") + "Loading folder \"troop\" ... done\n" +
                loading("cd", "VIDEO.FS") +
                "Loading folder \"vid\" ... done\n"
                "Saving archive \"BASICS.FS\" ... done\n"
                "Saving archive \"TROOP.FSU\" ... done\n"
                "Saving archive \"VIDEO.FS\" ... done\n"
                "Swapping archive \"BASICS.FS\" ... done\n"
                "Swapping archive \"TROOP.FSU\" ... done\n"
                "Swapping archive \"VIDEO.FS\" ... done\n"
                "All done.\n\n");
  EXPECT_EQ(read_file("game/data/BASICS.FS"), mod_basics);
  EXPECT_EQ(read_file("game/data/TROOP.FSU"), mod_troop);
  EXPECT_EQ(read_file("cd/data/VIDEO.FS"), mod_video);
  EXPECT_EQ(read_file("backup/BASICS.FS"), game_basics);
  EXPECT_EQ(read_file("backup/TROOP.FSU"), game_troop);
  EXPECT_EQ(read_file("backup/VIDEO.FS"), game_video);
  EXPECT_FALSE(exists("mod/out/BASICS.FS"));
  EXPECT_EQ(status_section(), status_with("BASICS_FS=1\nTROOP_FSU=1\nVIDEO_FS=1\n"));

  // A run without arguments puts everything back where it came from.
  result = run({});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output),
            "Restoring archive \"BASICS.FS\" ... done\n"
            "Restoring archive \"TROOP.FSU\" ... done\n"
            "Restoring archive \"VIDEO.FS\" ... done\n"
            "All done.\n\n");
  expect_game_restored();
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), mod_basics);
  EXPECT_EQ(read_file("mod/out/TROOP.FSU"), mod_troop);
  EXPECT_EQ(read_file("mod/out/VIDEO.FS"), mod_video);
  EXPECT_FALSE(exists("backup/BASICS.FS"));
  EXPECT_EQ(status_section(), status_with("BASICS_FS=0\nTROOP_FSU=0\nVIDEO_FS=0\n"));

  // -mod first installs the same way; the keys keep their places.
  result = run({"-mod", "mod\\mod.def"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(read_file("game/data/BASICS.FS"), mod_basics);
  EXPECT_EQ(status_section(), status_with("BASICS_FS=1\nTROOP_FSU=1\nVIDEO_FS=1\n"));

  // Installing over an installed mod restores the game first: the new build reads the
  // game's archives, not the mod's, and the backup holds the game's.
  write_file("mod/gfx/B.DAT", "mod b, second edition");
  result = run({"mod\\mod.def", "-MOD"});
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(after_banner(result.output).starts_with("Restoring archive \"BASICS.FS\" ... done\n"))
      << result.output;
  EXPECT_EQ(read_file("game/data/BASICS.FS"),
            build_flat({{"A.DAT", "aaa"}, {"B.DAT", "mod b, second edition"}}));
  EXPECT_EQ(read_file("game/data/TROOP.FSU"), mod_troop);
  EXPECT_EQ(read_file("backup/BASICS.FS"), game_basics);
  EXPECT_EQ(read_file("backup/TROOP.FSU"), game_troop);
  EXPECT_EQ(status_section(), status_with("BASICS_FS=1\nTROOP_FSU=1\nVIDEO_FS=1\n"));

  EXPECT_EQ(run({}).status, 0);
  expect_game_restored();
}

TEST_F(LifecycleTest, CdArchivesStayWhenTheyMayNotBeModded) {
  write_config("", "0");
  const RunResult result = run({"mod\\mod.def", "-mod"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), loading("game", "BASICS.FS") +
                                             "Loading folder \"gfx\" ... done\n" +
                                             loading("game", "TROOP.FSU") +
                                             "Loading folder \"troop\" ... done\n"
                                             "Saving archive \"BASICS.FS\" ... done\n"
                                             "Saving archive \"TROOP.FSU\" ... done\n"
                                             "Swapping archive \"BASICS.FS\" ... done\n"
                                             "Swapping archive \"TROOP.FSU\" ... done\n"
                                             "All done.\n\n");
  EXPECT_EQ(read_file("cd/data/VIDEO.FS"), game_video);
  EXPECT_FALSE(exists("mod/out/VIDEO.FS"));
  EXPECT_EQ(status_section(), status_with("BASICS_FS=1\nTROOP_FSU=1\n"));

  EXPECT_EQ(run({}).status, 0);
  expect_game_restored();
}

TEST_F(LifecycleTest, MissingGameArchiveStopsTheInstallAtIt) {
  // The CD holds no VIDEO.FS; the mod builds it from its own folder only.
  std::filesystem::remove(at("cd/data/VIDEO.FS"));
  write_file("mod/mod.def",
             "class PATH { MAKE = out; }\n"
             "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, gfx); }\n"
             "class VIDEO.FS { add(vid); }\n");
  const RunResult result = run({"mod\\mod.def", "-mod"});
  EXPECT_EQ(result.status, exit_status_of(500));
  EXPECT_TRUE(after_banner(result.output)
                  .ends_with("Saving archive \"VIDEO.FS\" ... done\n"
                             "Swapping archive \"BASICS.FS\" ... done\n"
                             "Swapping archive \"VIDEO.FS\" ... failed\n"
                             "Error - moving file failed!\n"))
      << result.output;
  // The archive before it stays installed and recorded; the failed one is untouched.
  EXPECT_EQ(read_file("game/data/BASICS.FS"), mod_basics);
  EXPECT_EQ(read_file("mod/out/VIDEO.FS"), build_flat({{"WIN.VID", "win"}}));
  EXPECT_FALSE(exists("cd/data/VIDEO.FS"));
  EXPECT_EQ(status_section(), status_with("BASICS_FS=1\n"));

  EXPECT_EQ(after_banner(run({}).output),
            "Restoring archive \"BASICS.FS\" ... done\nAll done.\n\n");
  EXPECT_EQ(read_file("game/data/BASICS.FS"), game_basics);
}

TEST_F(LifecycleTest, ModWithoutArchivesStillRecordsItsFolders) {
  write_file("mod/mod.def", "class PATH { MAKE = out; }\n");
  const RunResult result = run({"mod\\mod.def", "-mod"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), "All done.\n\n");
  EXPECT_TRUE(std::filesystem::is_directory(at("backup")));
  EXPECT_TRUE(std::filesystem::is_directory(at("mod/out")));
  EXPECT_EQ(status_section(), status_with(""));
  expect_game_restored();
}

// After -cleanup the backup folder holds the only copies of the game's archives, and the
// game's folders the mod's: a new installation must not move the mod's archives over them.
TEST_F(LifecycleTest, FileLeftInBackupStopsTheInstallBeforeAnythingMoves) {
  ASSERT_EQ(run({"mod\\mod.def", "-mod"}).status, 0);
  ASSERT_EQ(run({"-cleanup"}).status, 0);
  const std::string settings = config();

  RunResult result = run({"mod\\mod.def", "-mod"});
  EXPECT_EQ(result.status, exit_status_of(500));
  EXPECT_TRUE(after_banner(result.output)
                  .ends_with("Saving archive \"VIDEO.FS\" ... done\n"
                             "Error - moving file failed!\n"))
      << result.output;
  EXPECT_NE(result.errors.find("\"" + composed(root(), "backup\\BASICS.FS") +
                               "\" is left in the backup folder and may be the game's own"),
            std::string::npos)
      << result.errors;
  EXPECT_EQ(config(), settings);
  EXPECT_EQ(read_file("backup/BASICS.FS"), game_basics);
  EXPECT_EQ(read_file("backup/TROOP.FSU"), game_troop);
  EXPECT_EQ(read_file("backup/VIDEO.FS"), game_video);
  EXPECT_EQ(read_file("game/data/BASICS.FS"), mod_basics);

  // Put back by hand as the explanation says, the game installs and restores again.
  std::filesystem::rename(at("backup/BASICS.FS"), at("game/data/BASICS.FS"));
  std::filesystem::rename(at("backup/TROOP.FSU"), at("game/data/TROOP.FSU"));
  std::filesystem::rename(at("backup/VIDEO.FS"), at("cd/data/VIDEO.FS"));
  EXPECT_EQ(run({"mod\\mod.def", "-mod"}).status, 0);
  EXPECT_EQ(run({}).status, 0);
  expect_game_restored();
}

// Two installations started at once: the second waits for the first, so it finds the
// first's swaps recorded and restores them before it installs again.
TEST_F(LifecycleTest, TwoRunsAtOnceRunOneAfterTheOther) {
  StartedRun first(root(), {"mod\\mod.def", "-mod"});
  StartedRun second(root(), {"mod\\mod.def", "-mod"});
  const RunResult results[] = {first.finish(), second.finish()};
  int restoring = 0;
  for (const RunResult& result : results) {
    EXPECT_EQ(result.status, 0) << result.output << result.errors;
    restoring += after_banner(result.output).starts_with("Restoring archive") ? 1 : 0;
  }
  EXPECT_EQ(restoring, 1);
  EXPECT_EQ(read_file("backup/BASICS.FS"), game_basics);
  EXPECT_EQ(read_file("game/data/BASICS.FS"), mod_basics);
  EXPECT_EQ(run({}).status, 0);
  expect_game_restored();
}

}  // namespace
}  // namespace vexal::test
