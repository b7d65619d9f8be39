#include "moddef/definition.h"

#include <gtest/gtest.h>

#include <string>

#include "moddef/mod_fixture.h"

namespace vexal {
namespace {

using test::ModFixture;

class DefinitionTest : public ModFixture {
 protected:
  void SetUp() override { ASSERT_EQ(vars.var_define("VEXAL", "C:\\GAME", 0, 0), 0); }

  // Loads the bytes as a definition file and scans them.
  ScanResult scan_file(const std::string& bytes, bool allow_cd = false) {
    fs.add_file("C:\\mod\\demo.def", bytes);
    std::string text;
    EXPECT_EQ(load_definition(fs, "C:\\mod\\demo.def", text), 0);
    return scan_definition(context, text, allow_cd);
  }
};

TEST_F(DefinitionTest, LoadingDropsCarriageReturnsAndStopsAtCtrlZ) {
  fs.add_file("C:\\mod\\a.def", std::string("a\r\nb\rc\x1A"
                                            "after"));
  std::string text;
  ASSERT_EQ(load_definition(fs, "C:\\mod\\a.def", text), 0);
  EXPECT_EQ(text, "a\nbc\n");
  EXPECT_EQ(load_definition(fs, "C:\\mod\\missing.def", text), 316);
  free_definition(text);
  EXPECT_TRUE(text.empty());
}

TEST_F(DefinitionTest, ScannerErrorsCarryTheLineWhereTheyArose) {
  struct Case {
    const char* text;
    int result;
    int line;
  };
  const Case cases[] = {
      {"", 1, 2},  // the line feed after the text is counted too
      {"// only a comment\n   \n", 1, 4},
      {"}", 300, 1},
      {"\n\n{", 300, 3},
      {"klass PATH {}", 300, 1},
      {"class{", 302, 1},
      {"class\nWords.FS {}", 302, 2},
      {"class PATH }", 303, 1},
      {"class PATH {\n{", 303, 2},
      {"class PATHS {}", 304, 1},
      {"class WORDS.FSX {}", 304, 1},
      {"class BASICS.FS {}\nclass BASICS.FS {}", 301, 2},
      {"classPATH{MAKE=out}", 1, 2},  // keywords need no word boundary
      {"class PATH {\n", 1, 3},       // an unclosed block ends cleanly
      {"class PATH ; // note\n {\n}", 1, 4},
      {"class PATH {\nA = 1\nB = %A%\n}", 102, 3},
      {"class PATH {\n\n\nx = 50% // comment\n}", 101, 4},
      {"class PATH {\r\n\r\n\r\nbad\r\n}", 305, 4},
      {"class PATH {\nbad\x1A\n\n\nmore", 305, 2},
      {"class PATH {\nA = 1 }\nclass PATH { B = 2 } bad", 300, 3},
      {"class PATH { a / b }", 305, 1},  // a single "/" ends "a"
      {"class SRC {\n\nadd(x)\n}", 310, 3},
  };
  for (const Case& c : cases) {
    vars.var_reset();
    archives.fs_reset_list();
    reset_slot_table(slots);
    const ScanResult got = scan_file(c.text);
    EXPECT_EQ(got.result, c.result) << c.text;
    EXPECT_EQ(got.line, c.line) << c.text;
  }
}

TEST_F(DefinitionTest, StatementsEndAtTerminatorsButNotAtTheClosingBrace) {
  const ScanResult got = scan_file(
      "class PATH { MAKE = out }\n"
      "class SRC { A = a;B = b ; } class PATH {C=c//comment\n"
      "D = d/E = e}");
  ASSERT_EQ(got.result, 1);
  EXPECT_EQ(value_of("MAKE"), "out }");
  EXPECT_EQ(value_of("A"), "a");
  EXPECT_EQ(value_of("B"), "b");
  EXPECT_EQ(value_of("C"), "c");
  EXPECT_EQ(value_of("D"), "d");
  EXPECT_EQ(value_of("E"), "e}");
}

TEST_F(DefinitionTest, ArchiveHeadersCreateOutputRecords) {
  const ScanResult got = scan_file(
      "class WORDS.FS { replace = 1 ; }\n"
      "class BASICS.FS {}\n"
      "class TROOP.FSU\n",  // a header without a body still yields its archive
      true);
  ASSERT_EQ(got.result, 1);
  ASSERT_EQ(archives.size(), 3u);
  const ArchiveRecord& words = output(8);
  EXPECT_EQ(words.name, "WORDS.FS");
  EXPECT_EQ(words.replace, 1);
  EXPECT_FALSE(words.two_level);
  const ArchiveRecord& troop = output(12);
  EXPECT_EQ(troop.name, "TROOP.FSU");
  EXPECT_TRUE(troop.two_level);
  EXPECT_EQ(slots[slot_of_class(4)], 1);
}

TEST_F(DefinitionTest, CdArchiveBlocksAreSkippedUnlessAllowed) {
  const std::string text =
      "class VIDEO.FS { add(anything, at, all, !); }\n"
      "class VIDEO.FS { nonsense; }\n"
      "class PATH { MAKE = out }";
  ScanResult got = scan_file(text, false);
  EXPECT_EQ(got.result, 1);
  EXPECT_EQ(archives.size(), 0u);
  EXPECT_EQ(slots[slot_of_class(14)], -1);
  EXPECT_EQ(value_of("MAKE"), "out }");

  // Braces are still checked inside a skipped block.
  vars.var_reset();
  got = scan_file("class HELP.FS {\n{", false);
  EXPECT_EQ(got.result, 303);
  EXPECT_EQ(got.line, 2);

  // The "}" turns execution back on before a statement that stays pending ends.
  reset_slot_table(slots);
  got = scan_file("class VIDEO.FS { add(x) }", false);
  EXPECT_EQ(got.result, 400);

  reset_slot_table(slots);
  archives.fs_reset_list();
  got = scan_file("class NARRATE.FS { replace = 1; }", true);
  ASSERT_EQ(got.result, 1);
  EXPECT_TRUE(output(15).cd_archive);
  EXPECT_EQ(output(15).replace, 1);
}

TEST_F(DefinitionTest, AddCommandsLoadSourcesDuringTheScan) {
  fs.add_file("C:\\GAME\\data\\BASICS.FS", test::flat_archive({{"A.BIN", "1"}, {"B.BIN", "2"}}));
  fs.add_file("C:\\mod\\gfx\\a.bin", "new");
  testing::internal::CaptureStdout();
  const ScanResult got = scan_file(
      "// my first mod\n"
      "class PATH { MAKE = out; }\n"
      "class SRC {\n"
      "ORIG = %VEXAL%\\data\\ ; GFX = gfx\\\n"
      "}\n"
      "class BASICS.FS\n"
      "{\n"
      "add(%ORIG%BASICS.FS) // game archive\n"
      "add(ALL, %GFX%)\n"
      "}\n"
      "class VIDEO.FS { add(x); }\n");
  const std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_EQ(got.result, 1);
  EXPECT_EQ(printed,
            "Loading archive \"C:\\GAME\\data\\BASICS.FS\" ... done\n"
            "Loading folder \"gfx\\\" ... done\n");
  EXPECT_EQ(entry_names(output(4)), (std::vector<std::string>{"A.BIN", "B.BIN"}));
  EXPECT_EQ(archives.fs_get_archive(output(4).entries[0].source_archive)->name, "gfx\\");
}

}  // namespace
}  // namespace vexal
