#include "moddef/statement.h"

#include <gtest/gtest.h>

#include <string>

#include "moddef/mod_fixture.h"
#include "support/archive_builder.h"
#include "support/case_file.h"

namespace vexal {
namespace {

using test::ModFixture;

const Block kBasics = Block::archive(0);
const std::string kCases = "tests/moddef/cases.txt";

TEST(WildcardMatch, MatchesWholeNamesAgainstWholeMasks) {
  for (const test::DataCase& c : test::load_cases(kCases, "match")) {
    SCOPED_TRACE(c.where);
    EXPECT_EQ(matches_entry_mask(c.field(1), c.field(0)), c.field(2) == "yes");
  }
}

class StatementTest : public ModFixture {};

TEST_F(StatementTest, RunsOrRejectsEachStatement) {
  add_output(kBasics);
  for (const test::DataCase& c : test::load_cases(kCases, "statement")) {
    SCOPED_TRACE(c.where);
    vars = {};
    ASSERT_TRUE(vars.define("VEXAL", "C:\\GAME", VariableLevel::settings));
    const std::string after = c.field(3, "replace=unchanged");
    const std::string name = after.substr(0, after.find('='));
    const std::string expected = after.substr(name.size() + 1);
    // Starting from the other mode tells a change from none.
    output(kBasics).replace = expected != "1";
    const std::string& block = c.field(0);
    const Block in = block == "PATH"  ? Block{BlockClass::path}
                     : block == "SRC" ? Block{BlockClass::src}
                                      : Block::archive(*match_catalogue(block).slot);
    EXPECT_EQ(code_of(run_statement(context, c.field(1), in).status()), c.number(2));
    EXPECT_EQ(name == "replace" ? std::to_string(output(kBasics).replace) : value_of(name),
              expected == "unchanged" ? "1" : expected);
  }
  EXPECT_EQ(archives.source_count(), 0u) << "no source was loaded";
}

// What each add told the observer, one line per command: the entries taken, "empty"
// for an output that had none, then +added and ~re-pointed names.
struct OutcomeLog : AddObserver {
  void added(const AddOutcome& outcome) override {
    text += std::string(outcome.command) + ": " + std::to_string(outcome.taken) +
            (outcome.output_was_empty ? " empty" : "");
    for (const std::string& name : outcome.added) {
      text += " +" + name;
    }
    for (const std::string& name : outcome.repointed) {
      text += " ~" + name;
    }
    text += "\n";
  }
  std::string text;
};

// The block's own mode (0) comes back after each add that names one; a bare catalogue
// name loads the file of that name, not the output record.
TEST_F(StatementTest, EachAddLinksWhatItTakesAndTellsTheObserver) {
  fs.add_file("C:\\mod\\one\\A.BIN", "a1");
  fs.add_file("C:\\mod\\one\\B.TXT", "b1");
  fs.add_file("C:\\mod\\two\\a.bin", "a2");
  fs.add_file("C:\\mod\\two\\C.BIN", "c2");
  fs.add_file("C:\\mod\\BASICS.FS", test::build_flat({{"X.BIN", "x"}}));
  fs.add_directory("C:\\mod\\empty");
  add_output(kBasics);
  OutcomeLog log;
  context.observer = &log;
  for (const char* statement :
       {"add(one, A*)", "add(two, c*)", "add(NEW, two, *)", "add(ALL, two, A*)", "add(one)",
        "add(ALL, empty)", "add(basics.fs)"}) {
    ASSERT_TRUE(run_statement(context, statement, kBasics)) << statement;
  }
  EXPECT_EQ(log.text,
            "add(one, A*): 1 empty +A.BIN\n"
            "add(two, c*): 0\n"  // folder entries are upper case
            "add(NEW, two, *): 2 +C.BIN\n"
            "add(ALL, two, A*): 1 ~A.BIN\n"
            "add(one): 2 +B.TXT\n"
            "add(ALL, empty): 0\n"
            "add(basics.fs): 1 +X.BIN\n");
  EXPECT_EQ(reporter.warnings,
            "BASICS.FS: add(two, c*): the mask \"c*\" matches no entry of \"two\"\n"
            "BASICS.FS: add(ALL, empty): the source \"empty\" holds no entries\n");
}

}  // namespace
}  // namespace vexal
