#include "moddef/statement.h"

#include <gtest/gtest.h>

#include <string>

#include "moddef/mod_fixture.h"
#include "support/archive_builder.h"

namespace vexal {
namespace {

using test::ModFixture;

constexpr int kBasics = 4;
constexpr int kWords = 8;  // a block without an output

TEST(WildcardMatch, MatchesWholeNamesAgainstWholeMasks) {
  struct Case {
    std::string name;
    std::string mask;
    bool match;
  };
  const Case cases[] = {
      {"A.BIN", "*", true},      {"", "*", true},          {"A.BIN", "*.*", true},
      {"ABIN", "*.*", false},    {"A", "?", true},         {"AB", "?", false},
      {"A.BIN", "", false},      {"", "", true},           {"A.BIN", "A*", true},
      {"A.BIN", "a*", false},    {"A.BIN", "A.BIN", true}, {"A.BIN", "A.BI", false},
      {"A.BI", "A.BIN", false},  {"A.BIN", "*.BIN", true}, {"A.BIN.BIN", "*.BIN", true},
      {"A.BIN", "*N", true},     {"A.BIN", "*X", false},   {"AXBXC", "A*B*C", true},
      {"AXBXD", "A*B*C", false}, {"A.BIN", "?.B?N", true}, {"A.BIN", "**", true},
      {"ABC", "A**C", true},     {"ABC", "*?", true},      {"ABC", "ABC*", true},
      {"AAB", "*AB", true},      {"ABAB", "*AB", true},    {"ABA", "*AB", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wildcard_match(c.name, c.mask), c.match) << c.mask;
  }
}

class StatementTest : public ModFixture {};

// Each row runs one statement in a block of the class, with only VEXAL defined and the
// BASICS.FS output in replace mode 5; `after` is NAME=value of a variable or replace=N
// of that output (by default the mode unchanged). Only the first word is the name,
// WORDS.FS has no output, and in add(a)(b) the second list makes "a" the name.
TEST_F(StatementTest, RunsOrRejectsEachStatement) {
  add_output(kBasics);
  struct Row {
    const char* statement;
    int class_code;
    int code;
    const char* after = "replace=5";
  };
  const Row rows[] = {
      {"MAKE = out", kPathClass, 0, "MAKE=out"},
      {"MAKE=out", kPathClass, 0, "MAKE=out"},
      {"DIR =  My Mods\\gfx\\ \t", kPathClass, 0, "DIR=My Mods\\gfx\\"},
      {"first second = v", kPathClass, 0, "first=v"},
      {"G = %VEXAL%\\x", kPathClass, 0, "G=C:\\GAME\\x"},
      {"S = %VEXAL%", kSrcClass, 0, "S=C:\\GAME"},
      {"replace = 1", kBasics, 0, "replace=1"},
      {"replace = 0", kBasics, 0, "replace=0"},
      {"replace = -3", kBasics, 0, "replace=0"},
      {"replace = 1x", kBasics, 0, "replace=1"},
      {"replace = +2", kBasics, 0, "replace=1"},
      {"replace = 00", kBasics, 0, "replace=0"},
      {"replace = 99999999999999999999", kBasics, 0, "replace=1"},
      {"replace = -0", kBasics, 0, "replace=0"},
      {"replace = x", kBasics, 315},
      {"replace = -", kBasics, 315},
      {"replace = %A%", kBasics, 315},
      {"Replace = 1", kBasics, 314},
      {"MAKE = out", kBasics, 314},
      {"a%b = 1", kPathClass, 314},
      {"replace = 1", kWords, 400},
      {"add", kBasics, 305},
      {"add(a", kBasics, 305},
      {"=x", kPathClass, 305},
      {"x =", kPathClass, 305},
      {"x = a = b", kPathClass, 306},
      {"add(a=b)", kBasics, 306},
      {"add(a) = b", kBasics, 306},
      {"(a)", kBasics, 307},
      {"add((a))", kBasics, 307},
      {"x = a(b)", kPathClass, 307},
      {"add(a))", kBasics, 308},
      {"x = a,b", kPathClass, 309},
      {"add(a),", kBasics, 309},
      {"add(x)", kPathClass, 310},
      {"add(x)", kSrcClass, 310},
      {"Add(x)", kBasics, 311},
      {"add(a)(b)", kBasics, 311},
      {"copy(a)", kBasics, 311},
      {"add(ALL, a, b, c)", kBasics, 312},
      {"add(1,2,3,4,5,6,7,8,9)", kBasics, 312},
      {"add(NEW)", kBasics, 313},
      {"add( all )", kBasics, 313},
      {"add(a, b, c)", kBasics, 313},
      {"add(%UNDEFINED%)", kBasics, 102},
      {"add(50%)", kBasics, 101},
  };
  for (const Row& r : rows) {
    vars.clear();
    ASSERT_EQ(vars.define("VEXAL", "C:\\GAME", 0, 0), Status::ok);
    output(kBasics).replace = 5;
    EXPECT_EQ(code_of(run_statement(context, r.statement, r.class_code)), r.code) << r.statement;
    const std::string_view after = r.after;
    const std::string name(after.substr(0, after.find('=')));
    EXPECT_EQ(name == "replace" ? std::to_string(output(kBasics).replace) : value_of(name),
              after.substr(name.size() + 1))
        << r.statement;
  }
  EXPECT_EQ(archives.size(), 1u) << "no source was loaded";
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
  for (const auto& [path, bytes] : {std::pair{"one\\A.BIN", "a1"},
                                    {"one\\B.TXT", "b1"},
                                    {"two\\a.bin", "a2"},
                                    {"two\\C.BIN", "c2"}}) {
    fs.add_file(std::string("C:\\mod\\") + path, bytes);
  }
  fs.add_file("C:\\mod\\BASICS.FS", test::build_flat({{"X.BIN", "x"}}));
  fs.add_directory("C:\\mod\\empty");
  add_output(kBasics);
  OutcomeLog log;
  context.observer = &log;
  for (const char* statement :
       {"add(one, A*)", "add(two, c*)", "add(NEW, two, *)", "add(ALL, two, A*)", "add(one)",
        "add(ALL, empty)", "add(basics.fs)"}) {
    ASSERT_EQ(run_statement(context, statement, kBasics), Status::ok) << statement;
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
