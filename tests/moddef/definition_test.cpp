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
    EXPECT_EQ(load_definition(fs, reporter, "C:\\mod\\demo.def", text), Status::ok);
    return scan_definition(context, text, allow_cd);
  }
};

TEST_F(DefinitionTest, LoadingDropsCarriageReturnsAndStopsAtCtrlZ) {
  fs.add_file("C:\\mod\\a.def", std::string("a\r\nb\rc\x1A"
                                            "after"));
  std::string text;
  ASSERT_EQ(load_definition(fs, reporter, "C:\\mod\\a.def", text), Status::ok);
  EXPECT_EQ(text, "a\nbc\n");
  EXPECT_EQ(load_definition(fs, reporter, "C:\\mod\\missing.def", text),
            Status::definition_not_opened);
  EXPECT_EQ(reporter.explanations, "C:\\mod\\missing.def: refused by the fake file system\n");
  free_definition(text);
  EXPECT_TRUE(text.empty());
}

TEST_F(DefinitionTest, AByteOrderMarkAtTheStartIsDropped) {
  const ScanResult got = scan_file(
      "\xEF\xBB\xBF"
      "class PATH { MAKE = out; }\n");
  EXPECT_EQ(got.status, Status::ok);
  EXPECT_EQ(value_of("MAKE"), "out");
  vars.clear();
  EXPECT_EQ(scan_file("class PATH { MAKE = x; }\n\xEF\xBB\xBF").status, Status::invalid_statement);
}

TEST_F(DefinitionTest, FailuresAreExplainedByTheNameOrTheLineAtFault) {
  const struct {
    const char* text;
    const char* explanation;
  } cases[] = {
      {"class PATH {\n  A = 1 )  \n}", "line 2: A = 1 )"},
      {"\nclass words.fs {}",
       "line 2: unknown class \"words.fs\"; the classes are PATH, SRC and "
       "the archive names, such as BASICS.FS, in capitals"},
      {"class PATH {\nB = %A%\n}", "variable \"A\" is not defined"},
      {"class PATH {\nA = 1\nA = 2\n}", "variable \"A\" is already defined"},
      {"class PATH {\nA = 50%\n}", "no closing \"%\" in \"50%\""},
      {"class PATH { A = 1; }\nclass SRC { B = %A%; C = %B%; }",
       "variable \"B\" is not visible here: PATH variables see only VEXAL and VEXALCD, SRC "
       "variables see those and the PATH variables"},
  };
  for (const auto& c : cases) {
    vars.clear();
    reporter.explanations.clear();
    EXPECT_NE(scan_file(c.text).status, Status::ok) << c.text;
    EXPECT_EQ(reporter.explanations, c.explanation + std::string("\n")) << c.text;
  }
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
  EXPECT_EQ(reporter.warnings,
            "line 1: the VIDEO.FS block is skipped, since allowcdmod in config.ini is 0 or less\n"
            "line 2: the VIDEO.FS block is skipped, since allowcdmod in config.ini is 0 or less\n");
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
