#include "moddef/definition.h"

#include <gtest/gtest.h>

#include <string>

#include "moddef/mod_fixture.h"

namespace vexal {
namespace {

using test::ModFixture;

class DefinitionTest : public ModFixture {
 protected:
  void SetUp() override { ASSERT_EQ(vars.define("VEXAL", "C:\\GAME", 0, 0), Status::ok); }

  // Loads the bytes as a definition file and scans them.
  ScanResult scan_file(const std::string& bytes, bool allow_cd = false) {
    fs.add_file("C:\\mod\\demo.def", bytes);
    std::string text;
    EXPECT_EQ(load_definition(fs, "C:\\mod\\demo.def", text), Status::ok);
    return scan_definition(context, text, allow_cd);
  }
};

TEST_F(DefinitionTest, LoadingDropsCarriageReturnsAndStopsAtCtrlZ) {
  fs.add_file("C:\\mod\\a.def", std::string("a\r\nb\rc\x1A"
                                            "after"));
  std::string text;
  ASSERT_EQ(load_definition(fs, "C:\\mod\\a.def", text), Status::ok);
  EXPECT_EQ(text, "a\nbc\n");
  EXPECT_EQ(load_definition(fs, "C:\\mod\\missing.def", text), Status::definition_not_opened);
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
      {"", 0, 2},  // the line feed after the text is counted too
      {"// only a comment\n   \n", 0, 4},
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
      {"classPATH{MAKE=out}", 0, 2},  // keywords need no word boundary
      {"class PATH {\n", 0, 3},       // an unclosed block ends cleanly
      {"class PATH ; // note\n {\n}", 0, 4},
      {"class PATH {\nA = 1\nB = %A%\n}", 102, 3},
      {"class PATH {\n\n\nx = 50% // comment\n}", 101, 4},
      {"class PATH {\r\n\r\n\r\nbad\r\n}", 305, 4},
      {"class PATH {\nbad\x1A\n\n\nmore", 305, 2},
      {"class PATH {\nA = 1 }\nclass PATH { B = 2 } bad", 300, 3},
      {"class PATH { a / b }", 305, 1},  // a single "/" ends "a"
      {"class SRC {\n\nadd(x)\n}", 310, 3},
  };
  for (const Case& c : cases) {
    vars.clear();
    archives.clear();
    reset_slot_table(slots);
    const ScanResult got = scan_file(c.text);
    EXPECT_EQ(code_of(got.status), c.result) << c.text;
    EXPECT_EQ(got.line, c.line) << c.text;
  }
}

TEST_F(DefinitionTest, StatementsEndAtTerminatorsButNotAtTheClosingBrace) {
  const ScanResult got = scan_file(
      "class PATH { MAKE = out }\n"
      "class SRC { A = a;B = b ; } class PATH {C=c//comment\n"
      "D = d/E = e}");
  ASSERT_EQ(got.status, Status::ok);
  EXPECT_EQ(value_of("MAKE"), "out }");
  EXPECT_EQ(value_of("A"), "a");
  EXPECT_EQ(value_of("B"), "b");
  EXPECT_EQ(value_of("C"), "c");
  EXPECT_EQ(value_of("D"), "d");
  EXPECT_EQ(value_of("E"), "e}");
}

TEST_F(DefinitionTest, CdArchiveBlocksAreSkippedWhenNotAllowed) {
  const std::string text =
      "class VIDEO.FS { add(anything, at, all, !); }\n"
      "class VIDEO.FS { nonsense; }\n"
      "class PATH { MAKE = out }";
  ScanResult got = scan_file(text, false);
  EXPECT_EQ(got.status, Status::ok);
  EXPECT_EQ(archives.size(), 0u);
  EXPECT_EQ(slots[slot_of_class(14)], -1);
  EXPECT_EQ(value_of("MAKE"), "out }");

  // Braces are still checked inside a skipped block.
  vars.clear();
  got = scan_file("class HELP.FS {\n{", false);
  EXPECT_EQ(got.status, Status::misplaced_brace);
  EXPECT_EQ(got.line, 2);
}

}  // namespace
}  // namespace vexal
