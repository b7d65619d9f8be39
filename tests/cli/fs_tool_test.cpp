// vexal_fs on real files: looking into archives, extracting and packing them, and
// planning and inspecting installations of the bundled sample mod.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "support/archive_builder.h"
#include "support/cli_fixture.h"

namespace vexal::test {
namespace {

class FsToolTest : public CliTest {
 protected:
  // The sample game, CD and mod, with the game's archives packed by the builder.
  void set_up_sample() {
    for (const char* folder : {"game", "cd", "mod"}) {
      std::filesystem::copy(std::filesystem::path(VEXAL_SOURCE_DIR) / "examples" / folder,
                            at(folder), std::filesystem::copy_options::recursive);
    }
    write_config();
    ASSERT_EQ(run({"game\\source\\make.def"}).status, 0);
    ASSERT_EQ(run({"cd\\source\\make.def"}).status, 0);
  }

  std::string size_of(const std::string& relative) const {
    return std::to_string(read_file(relative).value_or("").size());
  }
};

const std::string kFlat = build_flat({{"B.DAT", "bb"}, {"A.DAT", "aaa"}});
const std::string kTwoLevel =
    build_two_level({{"PIKE", {{"A01", "p"}}}, {"ARCHR", {{"B01", "bow"}, {"A01", "xy"}}}});

TEST_F(FsToolTest, ListShowsEntriesInFileOrderWithCountsAndTotals) {
  write_file("F.FS", kFlat);
  write_file("T.FSU", kTwoLevel);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"list", "F.FS"}, "         2  B.DAT\n         3  A.DAT\n2 entries, 5 bytes\n"},
      {{"LIST", "F.FS", "A*"}, "         3  A.DAT\n1 entry, 3 bytes\n"},
      {{"list", "T.FSU"},
       "         1  PIKE_\n         1    A01\n         5  ARCHR\n         3    B01\n"
       "         2    A01\n2 groups, 3 items, 6 bytes\n"},
      {{"list", "T.FSU", "PIKE"}, "0 groups, 0 items, 0 bytes\n"},  // groups are padded
  };
  for (const auto& [args, expected] : cases) {
    const RunResult result = run_fs(args);
    EXPECT_EQ(result.status, 0) << args[1];
    EXPECT_EQ(result.output, expected) << args[1];
  }
}

TEST_F(FsToolTest, ExtractThenPackGivesTheSampleArchivesBackByteForByte) {
  set_up_sample();
  for (const std::string name : {"BASICS", "WORDS", "TROOP"}) {
    const std::string archive = name == "TROOP" ? "TROOP.FSU" : name + ".FS";
    RunResult result = run_fs({"extract", "game\\data\\" + archive, "x\\" + name});
    ASSERT_EQ(result.status, 0) << result.errors;
    result = run_fs({"pack", "x\\" + name, "packed-" + archive});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(read_file("packed-" + archive), read_file("game/data/" + archive)) << archive;
  }
  // Groups become folders without their padding, items files in them.
  EXPECT_EQ(read_file("x/TROOP/PIKE/A01"), read_file("game/source/TROOP/PIKE/A01"));
  EXPECT_EQ(read_file("x/BASICS/UNITS.TXT"), read_file("game/source/BASICS/UNITS.TXT"));
}

TEST_F(FsToolTest, ExtractRefusesUnsafeNamesBeforeWritingAnything) {
  const std::pair<std::string, std::string> cases[] = {
      {"F.FS", build_flat({{"OK.DAT", "x"}, {"..\\EVIL.DAT", "x"}})},
      {"F.FS", build_flat({{"OK.DAT", "x"}, {"A/B", "x"}})},
      {"F.FS", build_flat({{"OK.DAT", "x"}, {"C:X", "x"}})},
      {"F.FS", build_flat({{"OK.DAT", "x"}, {"nul.txt", "x"}})},
      {"F.FS", build_flat({{"OK.DAT", "x"}, {"LPT1", "x"}})},
      {"F.FS", build_flat({{"OK.DAT", "x"}, {"A\x01.DAT", "x"}})},
      {"F.FS", build_flat({{"OK.DAT", "x"}, {"ok.dat", "y"}})},  // one file on Windows
      {"T.FSU", build_two_level({{"OK", {{"A01", "x"}}}, {"CON", {{"A01", "x"}}}})},
      {"T.FSU", build_two_level({{"OK", {{"A01", "x"}, {"..A", "x"}}}})},
  };
  for (const auto& [archive, bytes] : cases) {
    write_file(archive, bytes);
    const RunResult result = run_fs({"extract", archive, "out"});
    EXPECT_EQ(result.status, 3) << bytes;
    EXPECT_NE(result.errors.find("nothing extracted"), std::string::npos) << result.errors;
    EXPECT_FALSE(exists("out")) << bytes;
  }
}

TEST_F(FsToolTest, ExtractReplacesExistingFilesOnlyWithForce) {
  write_file("F.FS", kFlat);
  ASSERT_EQ(run_fs({"extract", "F.FS", "out"}).status, 0);
  write_file("out/A.DAT", "edited");
  RunResult result = run_fs({"extract", "F.FS", "out"});
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(read_file("out/A.DAT"), "edited");
  result = run_fs({"extract", "--force", "F.FS", "out", "A*"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "1 file, 3 bytes extracted into out\n");
  EXPECT_EQ(read_file("out/A.DAT"), "aaa");
}

TEST_F(FsToolTest, DiffExitsLikeDiff) {
  write_file("OLD.FS", kFlat);
  write_file("SAME.FS", build_flat({{"A.DAT", "aaa"}, {"b.dat", "bb"}}));
  write_file("NEW.FS", build_flat({{"A.DAT", "aab"}, {"C.DAT", "c"}}));
  write_file("T.FSU", kTwoLevel);
  write_file("T2.FSU", build_two_level({{"ARCHR", {{"A01", "xy"}, {"B01", "bows"}}}}));
  const std::tuple<std::string, std::string, int, std::string> cases[] = {
      {"OLD.FS", "SAME.FS", 0, ""},
      {"OLD.FS", "NEW.FS", 1,
       "changed  A.DAT (3 -> 3 bytes)\nremoved  B.DAT (2 bytes)\nadded    C.DAT (1 bytes)\n"},
      {"T.FSU", "T2.FSU", 1, "changed  ARCHR\\B01 (3 -> 4 bytes)\nremoved  PIKE_\\A01 (1 bytes)\n"},
      {"OLD.FS", "MISSING.FS", 3, ""},
  };
  for (const auto& [old_archive, new_archive, status, output] : cases) {
    const RunResult result = run_fs({"diff", old_archive, new_archive});
    EXPECT_EQ(result.status, status) << new_archive;
    EXPECT_EQ(result.output, output) << new_archive;
  }
}

TEST_F(FsToolTest, VerifySaysOkOrWhatIsDamagedWhere) {
  write_file("GOOD.FS", kFlat);
  std::string damaged = kFlat;
  put_le32(damaged, 4 + 21 + 17, 100);  // the size of the second entry
  write_file("BAD.FS", damaged);
  const RunResult result = run_fs({"verify", "GOOD.FS", "BAD.FS"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output,
            "GOOD.FS: ok\n"
            "BAD.FS: entry 1 at offset 0x19: data at 0x30+0x64 runs past the end of the file "
            "(0x33 bytes)\n");
  EXPECT_EQ(run_fs({"verify", "GOOD.FS"}).status, 0);
}

// The archive lines of a plan's summary: "  NAME: <count>, <bytes> bytes; <sources>".
std::map<std::string, std::string> planned_archives(const std::string& output) {
  std::map<std::string, std::string> archives;
  const std::regex line(R"(^  (\S+): (\d+ \w+), (\d+) bytes)");
  std::istringstream in(output);
  for (std::string text; std::getline(in, text);) {
    std::smatch match;
    if (std::regex_search(text, match, line)) {
      archives[match[1]] = match[2].str() + " " + match[3].str();
    }
  }
  return archives;
}

TEST_F(FsToolTest, PlanOfTheSampleModMatchesWhatTheBuildThenDoes) {
  set_up_sample();
  const std::string config_before = config();
  const RunResult plan = run_fs({"plan", "mod\\knights.def"});
  ASSERT_EQ(plan.status, 0) << plan.output << plan.errors;
  EXPECT_FALSE(exists("mod/out"));
  EXPECT_EQ(config(), config_before);
  EXPECT_NE(plan.output.find("TROOP.FSU: add(ALL, %TROOP%, ARCHR) re-points ARCHR\n"),
            std::string::npos);
  EXPECT_TRUE(plan.output.ends_with("A build would end with:\nAll done.\n"));

  ASSERT_EQ(run({"mod\\knights.def"}).status, 0);
  std::map<std::string, std::string> built;
  for (const auto& file : std::filesystem::directory_iterator(at("mod/out"))) {
    const std::string name = file.path().filename().string();
    const std::string listed = run_fs({"list", "mod\\out\\" + name}).output;
    const std::string last = listed.substr(listed.rfind('\n', listed.size() - 2) + 1);
    built[name] = last.substr(0, last.find(',')) + " " + size_of("mod/out/" + name);
  }
  EXPECT_EQ(planned_archives(plan.output), built);

  // Installed, the game's archives are read from the backup: the same plan.
  ASSERT_EQ(run({"mod\\knights.def", "-mod"}).status, 0);
  const RunResult replan = run_fs({"plan", "mod\\knights.def"});
  EXPECT_EQ(replan.status, 0);
  EXPECT_EQ(planned_archives(replan.output), built);
  EXPECT_NE(replan.output.find("The restore puts back "), std::string::npos);

  // Without the game's copy the restore, and so the build, would fail.
  std::filesystem::remove(at("backup/VIDEO.FS"));
  const RunResult doomed = run_fs({"plan", "mod\\knights.def"});
  EXPECT_EQ(doomed.status, exit_status_of(501));
  EXPECT_TRUE(doomed.output.ends_with("Error - mod restoration failed!\n"));
  EXPECT_EQ(run({"mod\\knights.def"}).status, doomed.status);
}

TEST_F(FsToolTest, PlanEndsWithTheBuildsReportAndStatus) {
  write_config();
  write_file("mod.def", "class PATH { MAKE = out; }\nclass words.fs {}\n");
  const RunResult plan = run_fs({"plan", "mod.def"});
  const RunResult build = run({"mod.def"});
  EXPECT_EQ(plan.status, build.status);
  EXPECT_EQ(plan.status, exit_status_of(302));
  EXPECT_TRUE(plan.output.ends_with("A build would end with:\nError (line 2) - unknown class!\n"));
  EXPECT_TRUE(build.output.ends_with("Error (line 2) - unknown class!\n"));
  EXPECT_NE(plan.errors.find("vexal_fs: line 2: unknown class \"words.fs\""), std::string::npos);
}

TEST_F(FsToolTest, StatusComparesConfigWithTheFolders) {
  write_config();
  write_file("game/data/BASICS.FS", kFlat);
  write_file("game/data/WORDS.FS", kFlat);
  write_file("mod/mod.def", "class PATH { MAKE = out; }\nclass BASICS.FS { add(files); }\n");
  write_file("mod/files/X.DAT", "x");
  const std::string header = "Archive      Key             Game   Backup  Output\n";
  const std::string words = "WORDS.FS     -               yes    no      no\n";

  ASSERT_EQ(run({"mod\\mod.def", "-mod"}).status, 0);
  RunResult result = run_fs({"status"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.output.find("Installed mod: " + composed(root(), "mod\\out\\") + "\n"),
            std::string::npos);
  EXPECT_NE(result.output.find(header + "BASICS.FS    BASICS_FS=1     yes    yes     no\n" + words +
                               "\nNothing needs your attention.\n"),
            std::string::npos);

  ASSERT_EQ(run({}).status, 0);
  result = run_fs({"status"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.output.find("BASICS.FS    BASICS_FS=0     yes    no      yes\n"),
            std::string::npos);

  // A backup file without a key, and a key without its backup file.
  write_file("backup/WORDS.FS", kFlat);
  write_file("config.ini", config() + "Q42_FS=1\n");
  result = run_fs({"status"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("WORDS.FS is recorded by no key of [STATUS]"), std::string::npos);
  EXPECT_NE(result.output.find("Q42_FS=1 records Q42.FS as swapped in, but the backup folder "
                               "holds no Q42.FS"),
            std::string::npos);
}

TEST_F(FsToolTest, WrongUsageShowsTheUsageWithStatus2) {
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{}, 2},
      {{"list"}, 2},
      {{"list", "a", "b", "c"}, 2},
      {{"frob"}, 2},
      {{"diff", "a", "b", "--force"}, 2},
      {{"--HELP"}, 0},
      {{"help", "plan"}, 0},
      {{"help", "frob"}, 2},
  };
  for (const auto& [args, status] : cases) {
    const RunResult result = run_fs(args);
    EXPECT_EQ(result.status, status) << testing::PrintToString(args);
    const std::string& usage = status == 0 ? result.output : result.errors;
    EXPECT_NE(usage.find("usage: vexal_fs "), std::string::npos) << testing::PrintToString(args);
  }
}

}  // namespace
}  // namespace vexal::test
