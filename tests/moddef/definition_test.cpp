#include "moddef/definition.h"

#include <gtest/gtest.h>

#include <string>

#include "moddef/mod_fixture.h"

namespace vexal {
namespace {

class DefinitionTest : public test::ModFixture {
 protected:
  // Loads the bytes as a definition file and scans them.
  ScanResult scan_file(const std::string& bytes, bool allow_cd = false) {
    fs.add_file("C:\\mod\\demo.def", bytes);
    std::string text;
    EXPECT_EQ(load_definition(fs, reporter, "C:\\mod\\demo.def", text), Status::ok);
    return scan_definition(context, text, allow_cd);
  }
};

// Each row scans a file in a fresh run: the status and line where the scan ended, and,
// when given, what the run was told (warnings, then explanations).
TEST_F(DefinitionTest, ScansToTheStatusAndLineOfTheFirstFault) {
  const std::string skipped = " block is skipped, since allowcdmod in config.ini is 0 or less\n";
  struct Row {
    std::string text;
    int code;
    int line;
    std::string told = "-";  // "-": not checked
    bool allow_cd = false;
  };
  const Row rows[] = {
      {"", 0, 2, ""},  // the line feed after the text is counted too
      {"// only a comment\n   \n", 0, 4},
      {"\xEF\xBB\xBF"
       "class PATH {}",
       0, 2},
      {"class PATH {}\n\xEF\xBB\xBF", 300, 2},
      {"}", 300, 1, "line 1: }\n"},
      {"klass PATH {}", 300, 1},
      {"class{", 302, 1},
      {"class\nWords.FS {}", 302, 2},
      {"\nclass words.fs {}", 302, 2,
       "line 2: unknown class \"words.fs\"; the classes are PATH, SRC and the archive names, such "
       "as BASICS.FS, in capitals\n"},
      {"class PATH }", 303, 1},
      {"class PATH {\n{", 303, 2},
      {"class PATHS {}", 304, 1},
      {"class WORDS.FSX {}", 304, 1},
      {"class BASICS.FS {}\nclass BASICS.FS {}", 301, 2},
      {"classPATH{MAKE=out}", 0, 2},  // keywords need no word boundary
      {"class PATH {\n", 0, 3},       // an unclosed block ends cleanly
      {"class PATH ; // note\n {\n}", 0, 4},
      {"class PATH {\n  A = 1 )  \n}", 308, 2, "line 2: A = 1 )\n"},
      {"class PATH {\r\n\r\n\r\nbad\r\n}", 305, 4, "line 4: bad\n"},
      {"class PATH {\nbad\x1A\n\n\nmore", 305, 2},
      {"class PATH {\nA = 1 }\nclass PATH { B = 2 } bad", 300, 3},
      {"class PATH { a / b }", 305, 1},  // a single "/" ends "a"
      {"class PATH {\nB = %A%\n}", 102, 2, "variable \"A\" is not defined\n"},
      {"class PATH {\nA = 1\nA = 2\n}", 100, 3, "variable \"A\" is already defined\n"},
      {"class PATH {\nA = 50%\n}", 101, 2, "no closing \"%\" in \"50%\"\n"},
      {"class PATH { A = 1; }\nclass SRC { B = %A%; C = %B%; }", 102, 2,
       "variable \"B\" is not visible here: PATH variables see only VEXAL and VEXALCD, SRC "
       "variables see those and the PATH variables\n"},
      // Blocks of the game's CD are skipped unless allowed, their braces still checked.
      {"class VIDEO.FS { add(anything, at, all, !); }\nclass VIDEO.FS { nonsense; }", 0, 3,
       "line 1: the VIDEO.FS" + skipped + "line 2: the VIDEO.FS" + skipped},
      {"class HELP.FS {\n{", 303, 2},
      {"class HELP.FS {\nnonsense; }", 305, 2, "-", true},
  };
  for (const Row& r : rows) {
    vars.clear();
    archives.clear();
    reset_slot_table(slots);
    reporter = {};
    const ScanResult got = scan_file(r.text, r.allow_cd);
    EXPECT_EQ(code_of(got.status), r.code) << r.text;
    EXPECT_EQ(got.line, r.line) << r.text;
    if (r.told != "-") {
      EXPECT_EQ(reporter.warnings + reporter.explanations, r.told) << r.text;
    }
  }
}

TEST_F(DefinitionTest, StatementsEndAtTerminatorsButNotAtTheClosingBrace) {
  ASSERT_EQ(scan_file("class PATH { MAKE = out }\n"
                      "class SRC { A = a;B = b ; } class PATH {C=c//comment\n"
                      "D = d/E = e}")
                .status,
            Status::ok);
  for (const auto& [name, value] :
       {std::pair{"MAKE", "out }"}, {"A", "a"}, {"B", "b"}, {"C", "c"}, {"D", "d"}, {"E", "e}"}}) {
    EXPECT_EQ(value_of(name), value) << name;
  }
}

TEST_F(DefinitionTest, AMissingFileIsExplained) {
  std::string text = "old";
  EXPECT_EQ(load_definition(fs, reporter, "C:\\mod\\missing.def", text),
            Status::definition_not_opened);
  EXPECT_EQ(reporter.explanations, "C:\\mod\\missing.def: refused by the fake file system\n");
  EXPECT_TRUE(text.empty());
}

}  // namespace
}  // namespace vexal
