// Inputs that a downloaded mod or a careless edit can bring, on the real binary: every
// one ends in a clear error report or a correct build, never a crash or a hang (the
// sanitizer build turns any read or write outside a buffer into a failed run).
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/archive_builder.h"
#include "support/cli_fixture.h"

namespace vexal::test {
namespace {

// The longest path the tool's platform accepts, in bytes including the terminator.
std::size_t platform_path_limit() {
  const char* paths = std::getenv("VEXAL_TEST_PATHS");
  return paths != nullptr && std::string(paths) == "windows" ? 260 : 4096;
}

bool windows_paths() {
  return platform_path_limit() == 260;
}

// Reproducible bytes of every value, zero bytes included.
std::string garbage(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 16);
  }
  return bytes;
}

class HostileInputTest : public CliTest {
 protected:
  const std::string game_basics = build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}, {"C.DAT", "c"}});
  const std::string mod_gfx = build_flat({{"A.DAT", "new"}});

  void SetUp() override {
    write_config();
    write_file("game/data/BASICS.FS", game_basics);
    write_file("mod/gfx/A.DAT", "new");
  }

  RunResult build(const std::string& definition, bool install = false) const {
    write_file("mod/mod.def", definition);
    return install ? run({"mod\\mod.def", "-mod"}) : run({"mod\\mod.def"});
  }

  std::string loading_game_basics() const {
    return "Loading archive \"" + composed(at("game"), "data\\BASICS.FS") + "\" ... done\n";
  }

  // A run that ends with the code and exactly this output after the banner.
  static void expect_refused(const RunResult& result, int code, const std::string& output) {
    EXPECT_EQ(result.status, exit_status_of(code));
    EXPECT_EQ(after_banner(result.output), output);
  }
};

const std::string kBuildBasics =
    "class PATH { MAKE = out; }\n"
    "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS) }\n";

TEST_F(HostileInputTest, BinaryGarbageDefinitionIsAnInvalidStatement) {
  std::string bytes = garbage(64 * 1024, 7);
  bytes[0] = '\xFF';
  expect_refused(build(bytes), 300, "Error (line 1) - invalid statement!\n");
  // After a valid header the first foreign byte is a misplaced command.
  expect_refused(build("class BASICS.FS" + bytes), 304, "Error (line 1) - misplaced command!\n");
  EXPECT_FALSE(exists("mod/out"));
}

TEST_F(HostileInputTest, ZeroByteEndsTheDefinition) {
  // Whatever follows the zero byte, here a duplicate block, is never read; the statement
  // it cuts runs as far as it goes.
  const RunResult result =
      build("class PATH { MAKE = out; }\nclass BASICS.FS { add(%VEXAL%\\data\\BASICS.FS)" +
            std::string(1, '\0') + "class BASICS.FS {}\n" + garbage(100, 3));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output),
            loading_game_basics() + "Saving archive \"BASICS.FS\" ... done\nAll done.\n\n");
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), game_basics);
}

TEST_F(HostileInputTest, TwentyMegabyteLineIsReadWhole) {
  const std::string long_value(20 * 1024 * 1024, 'x');
  const RunResult result = build("class PATH { MAKE = out; LONG = " + long_value + "; }\n" +
                                 "class BASICS.FS { add(gfx) }\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(
      after_banner(result.output),
      "Loading folder \"gfx\" ... done\nSaving archive \"BASICS.FS\" ... done\nAll done.\n\n");
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), mod_gfx);
}

TEST_F(HostileInputTest, DeepNestingStopsAtTheFirstExtraBracket) {
  const std::string deep(100000, '{');
  expect_refused(build("class PATH " + deep), 303, "Error (line 1) - misplaced { or } symbol!\n");
  expect_refused(build(std::string(100000, '}')), 300, "Error (line 1) - invalid statement!\n");
  expect_refused(build("class BASICS.FS {\nadd" + std::string(100000, '(') + "\n}"), 307,
                 "Error (line 2) - misplaced ( symbol!\n");
  expect_refused(build("class PATH {\nX = " + std::string(100000, '%') + "\n}"), 102,
                 "Error (line 2) - undefined variable!\n");
}

TEST_F(HostileInputTest, TenThousandBlocks) {
  std::string definition = "class PATH { MAKE = out; }\n";
  for (int i = 0; i < 10000; ++i) {
    definition += "class SRC { V" + std::to_string(i) + " = gfx; }\n";
  }
  RunResult result = build(definition + "class BASICS.FS { add(%V9999%) }\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(
      after_banner(result.output),
      "Loading folder \"gfx\" ... done\nSaving archive \"BASICS.FS\" ... done\nAll done.\n\n");

  std::string archives;
  for (int i = 0; i < 10000; ++i) {
    archives += "class BASICS.FS {}\n";
  }
  expect_refused(build(archives), 301, "Error (line 2) - class already defined!\n");
}

TEST_F(HostileInputTest, GarbageConfigLacksItsValues) {
  write_file("config.ini", garbage(4096, 11));
  expect_refused(run({}), 201, "Error - missing \"config.ini\" values!\n");
  expect_refused(build(kBuildBasics), 201, "Error - missing \"config.ini\" values!\n");
}

TEST_F(HostileInputTest, ConfigWithByteOrderMarkAndWindowsLineEnds) {
  const std::string path_section = "[PATH]\r\nvexal=" + tool_path(at("game")) +
                                   "\r\nvexalcd=" + tool_path(at("cd")) + "\r\nallowcdmod=1\r\n";
  for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
    write_file("config.ini", bom + path_section);
    std::filesystem::remove_all(at("backup"));
    const RunResult result = build(kBuildBasics, true);
    EXPECT_EQ(result.status, 0) << result.output;
    // The game path carries no carriage return into the loading line.
    EXPECT_TRUE(after_banner(result.output).starts_with(loading_game_basics())) << result.output;
    // The records the installation adds keep the mark and the file's own line ends.
    const std::string written = read_file("config.ini").value_or("");
    EXPECT_TRUE(written.starts_with(bom + path_section + "[STATUS]\r\nmod_data=")) << written;
    EXPECT_NE(written.find("\r\nBASICS_FS=1\r\n"), std::string::npos) << written;
    EXPECT_EQ(run({}).status, 0);  // and the next run restores the game from them
    EXPECT_EQ(read_file("game/data/BASICS.FS"), game_basics);
  }

  // A text-mode copy of that file ends its lines in "\r\r\n": the values keep no "\r".
  std::string doubled = path_section;
  for (std::size_t at = doubled.find("\r\n"); at != std::string::npos;
       at = doubled.find("\r\n", at + 3)) {
    doubled.insert(at, "\r");
  }
  write_file("config.ini", doubled);
  const RunResult result = build(kBuildBasics);
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(after_banner(result.output).starts_with(loading_game_basics())) << result.output;
}

TEST_F(HostileInputTest, ArchiveTruncatedAtEveryLengthIsRefused) {
  // Small, as every length is one run of the tool.
  const std::string flat = build_flat({{"A.DAT", "a"}});
  const std::string two_level = build_two_level({{"HERO_", {{"ab1", "1"}}}});
  struct Layout {
    std::string file;
    std::string block;
    std::string full;
  };
  for (const Layout& layout :
       {Layout{"src.fs", "BASICS.FS", flat}, Layout{"src.fsu", "TROOP.FSU", two_level}}) {
    const std::string definition =
        "class PATH { MAKE = out; }\nclass " + layout.block + " {\nadd(" + layout.file + ")\n}\n";
    for (std::size_t length = 0; length < layout.full.size(); ++length) {
      write_file("mod/" + layout.file, layout.full.substr(0, length));
      expect_refused(build(definition), 403,
                     "Loading archive \"" + layout.file +
                         "\" ... failed\nError (line 3) - can't open archive file!\n");
      if (HasFailure()) {
        FAIL() << layout.file << " cut to " << length << " bytes";
      }
    }
    write_file("mod/" + layout.file, layout.full);
    EXPECT_EQ(build(definition).status, 0);
    EXPECT_EQ(read_file("mod/out/" + layout.block), layout.full);
  }
}

class LongPathTest : public HostileInputTest {
 protected:
  // A relative path of folders that is longer than the platform accepts.
  static std::string too_long(const std::string& name) {
    std::string path;
    while (path.size() < platform_path_limit()) {
      path += std::string(200, 'd') + "\\";
    }
    return path + name;
  }
};

TEST_F(LongPathTest, DefinitionPathArgument) {
  expect_refused(run({too_long("mod.def")}), 316, "Error - can't open *.DEF file!\n");
  expect_refused(run({too_long("mod.def"), "-mod"}), 316, "Error - can't open *.DEF file!\n");
}

TEST_F(LongPathTest, SourcePaths) {
  const std::string folder = too_long("gfx");
  expect_refused(
      build("class BASICS.FS {\nadd(" + folder + ")\n}\n"), 402,
      "Loading folder \"" + folder + "\" ... failed\nError (line 2) - can't open source file!\n");
  const std::string archive = too_long("BASICS.FS");
  expect_refused(build("class BASICS.FS {\nadd(" + archive + ")\n}\n"), 403,
                 "Loading archive \"" + archive +
                     "\" ... failed\nError (line 2) - can't open archive file!\n");
}

TEST_F(LongPathTest, GroupFolderOfATwoLevelSource) {
  // The source folder's own listing fits the limit, the item paths of its group do not.
  const std::size_t wanted = platform_path_limit() - 4 - composed(root(), "mod\\").size() - 1;
  std::string relative;
  while (relative.size() < wanted) {
    relative += std::string(std::min<std::size_t>(200, wanted - relative.size()), 'd');
    if (relative.size() + 1 < wanted) {
      relative += '\\';
    }
  }
  std::string on_disk = relative;
  std::replace(on_disk.begin(), on_disk.end(), '\\', '/');
  std::filesystem::create_directories(at("mod/" + on_disk + "/ab"));
  expect_refused(
      build("class TROOP.FSU {\nadd(" + relative + ")\n}\n"), 402,
      "Loading folder \"" + relative + "\" ... failed\nError (line 2) - can't open source file!\n");
}

TEST_F(LongPathTest, OutputFolderFromMake) {
  expect_refused(
      build("class PATH { MAKE = " + too_long("out") + "; }\n" + "class BASICS.FS { add(gfx) }\n"),
      401,
      "Loading folder \"gfx\" ... done\nSaving archive \"BASICS.FS\" ... failed\n"
      "Error - can't create archive file!\n");
}

TEST_F(LongPathTest, GamePathInConfig) {
  const std::string game = tool_path(at("game")) + "\\" + too_long("game");
  const std::string config =
      "[PATH]\nvexal=" + game + "\nvexalcd=" + tool_path(at("cd")) + "\nallowcdmod=1\n";
  write_file("config.ini", config);
  expect_refused(build(kBuildBasics), 403,
                 "Loading archive \"" + game +
                     "\\data\\BASICS.FS\" ... failed\nError (line 2) - can't open archive file!\n");

  // Built from the mod alone, the archive cannot be swapped into the game's folder.
  const RunResult installed =
      build("class PATH { MAKE = out; }\nclass BASICS.FS { add(gfx) }\n", true);
  EXPECT_EQ(installed.status, exit_status_of(500));
  EXPECT_TRUE(after_banner(installed.output)
                  .ends_with("Swapping archive \"BASICS.FS\" ... failed\n"
                             "Error - moving file failed!\n"))
      << installed.output;

  // A restore into that folder fails like any other failed move.
  write_file("config.ini", config + "[STATUS]\nmod_data=" + tool_path(at("mod/out")) +
                               "\\\nvexal_backup=" + tool_path(at("backup")) + "\nBASICS_FS=1\n");
  const RunResult restored = run({});
  EXPECT_EQ(restored.status, exit_status_of(501));
  EXPECT_NE(after_banner(restored.output).find("Error - mod restoration failed!\n"),
            std::string::npos)
      << restored.output;
}

TEST_F(HostileInputTest, NamesWithBytesAbove127) {
  // A variable name and value of such bytes, in the definition text alone.
  const std::string name = "\xE9t\xE9\xFF";
  RunResult result = build("class PATH { MAKE = out; }\nclass SRC { " + name +
                           " = gfx; }\nclass BASICS.FS { add(%" + name + "%) }\n");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), mod_gfx);

  if (windows_paths()) {
    return;  // Wine would turn these file names into another code page
  }
  // Entry names keep their bytes and sort after every ASCII name.
  write_file("mod/gfx/\xC3\x89T\xC3\x89.DAT", "ete");
  write_file("mod/gfx/Z.DAT", "z");
  result = build("class PATH { MAKE = out; }\nclass BASICS.FS { add(gfx) }\n");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(read_file("mod/out/BASICS.FS"),
            build_flat({{"A.DAT", "new"}, {"Z.DAT", "z"}, {"\xC3\x89T\xC3\x89.DAT", "ete"}}));
}

}  // namespace
}  // namespace vexal::test
