// The restore that starts every run, on real files.
#include <gtest/gtest.h>

#include "support/cli_fixture.h"

namespace vexal::test {
namespace {

const std::string kNotRestored =
    "\n"
    "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n"
    "!!! ORIGINAL GAME ARCHIVES NOT RESTORED !!!\n"
    "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n\n";

const std::string kMessageBox =
    "Error ...\n"
    "Restoring original Vexal game archives failed!\nYou have to restore game archives from "
    "your backup manualy before using this utility again!\n\n";

// An installed mod: the mod's archives in the game's folders, the game's in backup/.
class RestoreTest : public CliTest {
 protected:
  void install(const std::vector<std::string>& names, const std::string& extra_keys = "") {
    std::string keys;
    for (const std::string& name : names) {
      const bool cd = name == "VIDEO.FS" || name == "HELP.FS" || name == "NARRATE.FS";
      write_file((cd ? "cd/data/" : "game/data/") + name, "mod " + name);
      write_file("backup/" + name, "game " + name);
      std::string key = name;
      key[key.find('.')] = '_';
      keys += key + "=1\n";
    }
    std::filesystem::create_directories(at("mod/out"));
    write_config("[STATUS]\nmod_data=" + tool_path(at("mod/out")) +
                 "\\\nvexal_backup=" + tool_path(at("backup")) + "\n" + keys + extra_keys);
  }
};

TEST_F(RestoreTest, PutsEveryGameArchiveBackInKeyOrder) {
  install({"WORDS.FS", "BASICS.FS", "VIDEO.FS"});
  const RunResult result = run({});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output),
            "Restoring archive \"WORDS.FS\" ... done\n"
            "Restoring archive \"BASICS.FS\" ... done\n"
            "Restoring archive \"VIDEO.FS\" ... done\n"
            "All done.\n\n");
  EXPECT_EQ(read_file("game/data/WORDS.FS"), "game WORDS.FS");
  EXPECT_EQ(read_file("cd/data/VIDEO.FS"), "game VIDEO.FS");
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), "mod BASICS.FS");
  EXPECT_FALSE(exists("backup/BASICS.FS"));
  EXPECT_NE(config().find("WORDS_FS=0\nBASICS_FS=0\nVIDEO_FS=0\n"), std::string::npos);

  // Nothing is left to restore.
  EXPECT_EQ(after_banner(run({}).output), "All done.\n\n");
}

// The mod archive deleted by hand, or the whole mod data folder gone: the mod archive
// cannot go back, but the game archive still returns and the key is cleared.
TEST_F(RestoreTest, GameArchiveReturnsEvenWhenTheModArchiveCannotLeave) {
  for (const std::string removed : {"game/data/BASICS.FS", "mod"}) {
    SCOPED_TRACE(removed);
    install({"BASICS.FS"});
    std::filesystem::remove_all(at(removed));
    const RunResult result = run({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(after_banner(result.output),
              "Restoring archive \"BASICS.FS\" ... failed\nAll done.\n\n");
    EXPECT_EQ(read_file("game/data/BASICS.FS"), "game BASICS.FS");
    EXPECT_NE(config().find("BASICS_FS=0"), std::string::npos);
  }
}

TEST_F(RestoreTest, MissingBackupFails501AndGoesOnWithTheNextArchive) {
  install({"BASICS.FS", "WORDS.FS"});
  std::filesystem::remove(at("backup/BASICS.FS"));
  const RunResult result = run({"mod.def"});
  EXPECT_EQ(result.status, exit_status_of(501));
  EXPECT_EQ(after_banner(result.output),
            "Restoring archive \"BASICS.FS\" ... failed\n"
            "Restoring archive \"WORDS.FS\" ... done\n"
            "Error - mod restoration failed!\n" +
                kNotRestored + message_box_output(kMessageBox));
  // The mod archive went back into the game's folder; its key still records it.
  EXPECT_EQ(read_file("game/data/BASICS.FS"), "mod BASICS.FS");
  EXPECT_NE(config().find("BASICS_FS=1\nWORDS_FS=0\n"), std::string::npos);
}

TEST_F(RestoreTest, EmptyModDataWithAnArchiveSwappedIs502WithoutMessageBox) {
  write_config("[STATUS]\nmod_data=\nvexal_backup=/b\nBASICS_FS=1\n");
  const RunResult result = run({});
  EXPECT_EQ(result.status, exit_status_of(502));
  EXPECT_EQ(after_banner(result.output),
            "Error - missing \"config.ini\" [STATUS] section paths!\n" + kNotRestored);

  write_config("[STATUS]\nmod_data=\nvexal_backup=/b\nBASICS_FS=0\n");
  EXPECT_EQ(run({}).status, 0);
}

TEST_F(RestoreTest, WithoutPathKeysNothingIsRestored) {
  write_config("[STATUS]\nvexal_backup=/b\nBASICS_FS=1\n");
  const RunResult result = run({});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), "All done.\n\n");
}

TEST_F(RestoreTest, KeyValuesAboveZeroCountAndOthersDoNot) {
  install({"BASICS.FS"}, "WORDS_FS=yes\nNOUNDERSCORE=1\nQ42_FS=-1\n");
  std::string text = config();
  text.replace(text.find("BASICS_FS=1"), 11, "BASICS_FS=2");
  write_file("config.ini", text);
  const RunResult result = run({});
  EXPECT_EQ(after_banner(result.output), "Restoring archive \"BASICS.FS\" ... done\nAll done.\n\n");
  EXPECT_NE(config().find("BASICS_FS=0\nWORDS_FS=yes\nNOUNDERSCORE=1\nQ42_FS=-1\n"),
            std::string::npos);
}

// A key in another letter case still names a game archive, not an unknown one that
// would be looked for on the CD; the files keep the catalogue's spelling.
TEST_F(RestoreTest, ArchiveKeysInAnyCaseFindTheirFolder) {
  install({"BASICS.FS"});
  std::string text = config();
  text.replace(text.find("BASICS_FS=1"), 11, "basics_fs=1");
  write_file("config.ini", text);
  std::filesystem::create_directories(at("cd/data"));
  const RunResult result = run({});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), "Restoring archive \"basics.fs\" ... done\nAll done.\n\n");
  EXPECT_EQ(read_file("game/data/BASICS.FS"), "game BASICS.FS");
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), "mod BASICS.FS");
  EXPECT_TRUE(std::filesystem::is_empty(at("cd/data")));
  EXPECT_NE(config().find("basics_fs=0\n"), std::string::npos);
}

TEST_F(RestoreTest, HelpAndCleanupRunsRestoreNothing) {
  install({"BASICS.FS"});
  EXPECT_EQ(run({"?"}).status, 11);
  EXPECT_EQ(run({"-cleanup"}).status, 0);
  EXPECT_EQ(after_banner(run({}).output), "All done.\n\n");
  EXPECT_EQ(read_file("game/data/BASICS.FS"), "mod BASICS.FS");
}

}  // namespace
}  // namespace vexal::test
