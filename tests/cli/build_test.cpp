// Building mods end to end on the real binary: the definition is scanned, the sources
// are loaded, and the archives saved in the output folder are checked byte for byte.
#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/cli_fixture.h"

namespace vexal::test {
namespace {

const std::string kEmptyFlat = le32(0);

// A game in game/ with a small BASICS.FS, and a mod folder mod/ next to config.ini.
class BuildTest : public CliTest {
 protected:
  const std::string game_basics = build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}, {"C.DAT", "c"}});

  void SetUp() override {
    write_config("", "0");
    write_file("game/data/BASICS.FS", game_basics);
  }

  void write_definition(const std::string& text) const { write_file("mod/mod.def", text); }
  RunResult build() const { return run({"mod\\mod.def"}); }

  // The loading line of a game archive, named through %VEXAL%\data\.
  std::string loading_game(const std::string& name) const {
    return "Loading archive \"" + composed(at("game"), "data\\" + name) + "\" ... done\n";
  }
};

const std::string kWorkedExample =
    "// my first mod\n"
    "class PATH { MAKE = out; }\n"
    "class SRC {\n"
    "ORIG = %VEXAL%\\data\\ ; GFX = gfx\\\n"
    "}\n"
    "class BASICS.FS\n"
    "{\n"
    "add(%ORIG%BASICS.FS) // game archive\n"
    "add(ALL, %GFX%)\n"
    "}\n";

TEST_F(BuildTest, WorkedExampleReplacesAndAppendsFromAFolder) {
  write_file("mod/gfx/b.dat", "BBBB");
  write_file("mod/gfx/D.DAT", "dd");
  std::filesystem::create_directories(at("mod/x"));
  const std::string expected =
      build_flat({{"A.DAT", "aaa"}, {"B.DAT", "BBBB"}, {"C.DAT", "c"}, {"D.DAT", "dd"}});
  const std::string loading = loading_game("BASICS.FS") + "Loading folder \"gfx\\\" ... done\n";

  // A CD block is skipped unread while CD archives may not be modded.
  write_definition(kWorkedExample + "class VIDEO.FS { add(x); }\n");
  RunResult result = build();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output),
            loading + "Saving archive \"BASICS.FS\" ... done\nAll done.\n\n");
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), expected);
  EXPECT_FALSE(exists("mod/out/VIDEO.FS"));

  // Without the ";" the "}" turns execution back on before the statement ends, and it
  // then runs for a block that has no output record.
  std::filesystem::remove_all(at("mod/out"));
  write_definition(kWorkedExample + "class VIDEO.FS { add(x) }\n");
  result = build();
  EXPECT_EQ(result.status, exit_status_of(400));
  EXPECT_EQ(after_banner(result.output), loading +
                                             "Loading folder \"x\" ... done\n"
                                             "Error (line 11) - archive not found in list!\n");
  EXPECT_FALSE(exists("mod/out"));

  // With CD archives allowed the block builds its archive, after BASICS.FS.
  write_config("", "1");
  write_definition(kWorkedExample + "class VIDEO.FS { add(x); }\n");
  result = build();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), loading +
                                             "Loading folder \"x\" ... done\n"
                                             "Saving archive \"BASICS.FS\" ... done\n"
                                             "Saving archive \"VIDEO.FS\" ... done\n"
                                             "All done.\n\n");
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), expected);
  EXPECT_EQ(read_file("mod/out/VIDEO.FS"), kEmptyFlat);
}

TEST_F(BuildTest, TwoLevelArchiveTakesWholeGroupsFromTheFolder) {
  write_file("game/data/TROOP.FSU",
             build_two_level({{"ARCHR", {{"001", "bow"}, {"002", "arrow"}}},
                              {"PIKE", {{"001", "old pike"}, {"002", "old shaft"}}}}));
  write_file("mod/troop/pike/003", "tip");
  write_file("mod/troop/pike/001", "new pike");
  write_file("mod/troop/tank/001", "tank");
  write_definition(
      "class PATH { MAKE = out; }\n"
      "class TROOP.FSU {\n"
      "add(%VEXAL%\\data\\TROOP.FSU)\n"
      "add(ALL, troop)\n"
      "}\n");
  const RunResult result = build();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), loading_game("TROOP.FSU") +
                                             "Loading folder \"troop\" ... done\n"
                                             "Saving archive \"TROOP.FSU\" ... done\n"
                                             "All done.\n\n");
  // The re-pointed group holds exactly the folder's items: the game's 002 is gone.
  EXPECT_EQ(read_file("mod/out/TROOP.FSU"),
            build_two_level({{"ARCHR", {{"001", "bow"}, {"002", "arrow"}}},
                             {"PIKE", {{"001", "new pike"}, {"003", "tip"}}},
                             {"TANK", {{"001", "tank"}}}}));
}

TEST_F(BuildTest, ModifiersAndReplaceModeDecideWhichSourceWins) {
  write_file("mod/new1/B.DAT", "b1");
  write_file("mod/new1/C.DAT", "c1");
  write_file("mod/new1/D.DAT", "d1");
  write_file("mod/new2/A.DAT", "a2");
  write_file("mod/new2/C.DAT", "c2");
  write_definition(
      "class PATH { MAKE = out; }\n"
      "class BASICS.FS {\n"
      "add(%VEXAL%\\data\\BASICS.FS)\n"
      "add(new1)\n"  // the block keeps existing names by default
      "}\n"
      "class Q42.FS {\n"
      "add(%VEXAL%\\DATA\\basics.fs)\n"  // the same source in other letter case
      "add(ALL, NEW1)\n"
      "}\n"
      "class MIRE.FS {\n"
      "replace = 1\n"
      "add(%VEXAL%\\data\\BASICS.FS)\n"
      "add(new, new1)\n"  // NEW overrides the block for one command
      "add(new2)\n"       // and the block's mode holds again
      "}\n"
      "class WORDS.FS { add(ALL, new2, C*); }\n");
  const RunResult result = build();
  EXPECT_EQ(result.status, 0);
  // Every source is loaded once, whatever the letter case it is named in.
  EXPECT_EQ(after_banner(result.output), loading_game("BASICS.FS") +
                                             "Loading folder \"new1\" ... done\n"
                                             "Loading folder \"new2\" ... done\n"
                                             "Saving archive \"BASICS.FS\" ... done\n"
                                             "Saving archive \"Q42.FS\" ... done\n"
                                             "Saving archive \"MIRE.FS\" ... done\n"
                                             "Saving archive \"WORDS.FS\" ... done\n"
                                             "All done.\n\n");
  EXPECT_EQ(read_file("mod/out/BASICS.FS"),
            build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}, {"C.DAT", "c"}, {"D.DAT", "d1"}}));
  EXPECT_EQ(read_file("mod/out/Q42.FS"),
            build_flat({{"A.DAT", "aaa"}, {"B.DAT", "b1"}, {"C.DAT", "c1"}, {"D.DAT", "d1"}}));
  EXPECT_EQ(read_file("mod/out/MIRE.FS"),
            build_flat({{"A.DAT", "a2"}, {"B.DAT", "bb"}, {"C.DAT", "c2"}, {"D.DAT", "d1"}}));
  EXPECT_EQ(read_file("mod/out/WORDS.FS"), build_flat({{"C.DAT", "c2"}}));
}

TEST_F(BuildTest, ArchivesAreSavedInCatalogueOrder) {
  std::filesystem::create_directories(at("mod/nothing"));
  write_definition(
      "class PATH { MAKE = out; }\n"
      "class WORDS.FS { add(%VEXAL%\\data\\BASICS.FS); }\n"
      "class BASICS.FS { add(nothing) }\n"  // an empty folder is an empty source
      "class BLIGHT.FS\n");                 // a header without a body
  const RunResult result = build();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), loading_game("BASICS.FS") +
                                             "Loading folder \"nothing\" ... done\n"
                                             "Saving archive \"BASICS.FS\" ... done\n"
                                             "Saving archive \"BLIGHT.FS\" ... done\n"
                                             "Saving archive \"WORDS.FS\" ... done\n"
                                             "All done.\n\n");
  // A game archive linked whole into an empty output comes out unchanged.
  EXPECT_EQ(read_file("mod/out/WORDS.FS"), game_basics);
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), kEmptyFlat);
  EXPECT_EQ(read_file("mod/out/BLIGHT.FS"), kEmptyFlat);
}

TEST_F(BuildTest, MakeMustBeDefinedInAPathBlock) {
  const std::string archive_block = "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); }\n";
  for (const std::string& definition : {"class SRC { MAKE = out; }\n" + archive_block,
                                        archive_block, std::string("// nothing at all\n")}) {
    write_definition(definition);
    const RunResult result = build();
    EXPECT_EQ(result.status, 2) << definition;
    // The whole file was scanned (sources loaded), then nothing was saved.
    const std::string loading =
        definition.find("add") != std::string::npos ? loading_game("BASICS.FS") : "";
    EXPECT_EQ(after_banner(result.output), loading + "Error - Programmers error! :-)\n")
        << definition;
    EXPECT_FALSE(exists("mod/out")) << definition;
  }
}

TEST_F(BuildTest, ScanErrorsNameTheirLineAndBuildNothing) {
  write_definition(
      "class PATH { MAKE = out; }\n"
      "class BASICS.FS {\n"
      "  add(%VEXAL%\\data\\BASICS.FS) // fine\n"
      "  add(NEW) // no source\n"
      "}\n");
  RunResult result = build();
  EXPECT_EQ(result.status, exit_status_of(313));
  EXPECT_EQ(after_banner(result.output),
            loading_game("BASICS.FS") + "Error (line 4) - invalid cmd parameter value or count!\n");
  EXPECT_FALSE(exists("mod/out"));

  write_definition("class PATH { MAKE = out; }\n\n\nclass Words.FS {}\n");
  result = build();
  EXPECT_EQ(result.status, exit_status_of(302));
  EXPECT_EQ(after_banner(result.output), "Error (line 4) - unknown class!\n");
  EXPECT_FALSE(exists("mod/out"));
}

TEST_F(BuildTest, UnreadableSourceArchiveEndsTheScan) {
  // A count of five entries in a file that holds none.
  write_file("mod/bad.FS", le32(5) + "xx");
  for (const std::string source : {"bad.FS", "missing.fs"}) {
    write_definition("class PATH { MAKE = out; }\nclass BASICS.FS {\nadd(" + source + ")\n}\n");
    const RunResult result = build();
    EXPECT_EQ(result.status, exit_status_of(403)) << source;
    EXPECT_EQ(after_banner(result.output), "Loading archive \"" + source +
                                               "\" ... failed\n"
                                               "Error (line 3) - can't open archive file!\n")
        << source;
    EXPECT_FALSE(exists("mod/out")) << source;
  }
}

TEST_F(BuildTest, AbsoluteDefinitionPathIsUsedWhateverTheWorkingFolder) {
  write_file("far/away/gfx/A.DAT", "new a");
  write_file("far/away/mod.def",
             "class PATH { MAKE = out; }\n"
             "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, gfx); }\n");
  const RunResult result = run({composed(at("far/away"), "mod.def")});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(read_file("far/away/out/BASICS.FS"),
            build_flat({{"A.DAT", "new a"}, {"B.DAT", "bb"}, {"C.DAT", "c"}}));
}

TEST_F(BuildTest, SlashesInMakeBecomeFolderLevels) {
  // A "/" ends a statement in the definition, so it reaches MAKE through a setting.
  write_file("config.ini",
             "[PATH]\nvexal=" + tool_path(at("game")) + "\nvexalcd=build/alpha\nallowcdmod=0\n");
  write_definition(
      "class PATH { MAKE = %VEXALCD%; }\n"
      "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); }\n");
  const RunResult result = build();
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(read_file("mod/build/alpha/BASICS.FS"), game_basics);
}

// Sources that would build an archive without the mod's files, or with item tables as
// entry bytes, end the run before anything is installed into the game.
TEST_F(BuildTest, SourcesThatWouldBuildABrokenArchiveStopTheInstall) {
  write_file("game/data/TROOP.FSU", build_two_level({{"ARCHR", {{"001", "bow"}}}}));
  write_file("mod/gfx/B.DAT", "new b");
  write_file("mod/stray/B.DAT", "new b");
  write_file("mod/stray/old/A01", "left over");
  struct Case {
    std::string source;  // added to the game's BASICS.FS with ALL
    int code;
    std::string output;     // after loading the game's BASICS.FS
    std::string explained;  // a part of the explanation on standard error
  };
  const std::string game_troop = composed(at("game"), "data\\TROOP.FSU");
  const Case cases[] = {
      {"gfxx", 402,
       "Loading folder \"gfxx\" ... failed\nError (line 3) - can't open source file!\n",
       "\"" + composed(root(), "mod\\gfxx") + "\" does not exist"},
      {"%VEXAL%\\data\\TROOP.FSU", 401,
       "Loading archive \"" + game_troop +
           "\" ... done\nSaving archive \"BASICS.FS\" ... failed\n"
           "Error - can't create archive file!\n",
       "BASICS.FS: the entry \"ARCHR\" comes from \"" + game_troop + "\", a two-level source"},
      {"stray", 401,
       "Loading folder \"stray\" ... done\nSaving archive \"BASICS.FS\" ... failed\n"
       "Error - can't create archive file!\n",
       "BASICS.FS: the entry \"OLD__\" comes from \"stray\", a two-level source"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    write_definition(
        "class PATH { MAKE = out; }\nclass BASICS.FS {\nadd(%VEXAL%\\data\\BASICS.FS); add(ALL, " +
        c.source + ")\n}\n");
    const RunResult result = run({"mod\\mod.def", "-mod"});
    EXPECT_EQ(result.status, exit_status_of(c.code));
    EXPECT_EQ(after_banner(result.output), loading_game("BASICS.FS") + c.output);
    EXPECT_NE(result.errors.find(c.explained), std::string::npos) << result.errors;
    EXPECT_FALSE(exists("mod/out/BASICS.FS"));
    EXPECT_EQ(read_file("game/data/BASICS.FS"), game_basics);
    EXPECT_FALSE(exists("backup"));
  }
}

}  // namespace
}  // namespace vexal::test
