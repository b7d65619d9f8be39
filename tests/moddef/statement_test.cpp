#include "moddef/statement.h"

#include <gtest/gtest.h>

#include <string>

#include "moddef/mod_fixture.h"
#include "support/archive_builder.h"

namespace vexal {
namespace {

using test::ModFixture;

constexpr int kBasics = 4;
constexpr int kWords = 8;

TEST(WildcardMatch, MatchesWholeNamesAgainstWholeMasks) {
  struct Case {
    const char* name;
    const char* mask;
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
    EXPECT_EQ(wildcard_match(c.name, c.mask), c.match) << c.name << " / " << c.mask;
  }
}

class StatementTest : public ModFixture {};

TEST_F(StatementTest, AssignmentsInPathBlocksDefineTrimmedValues) {
  struct Case {
    const char* statement;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {"MAKE = out", "MAKE", "out"},
      {"MAKE=out", "MAKE", "out"},
      {"MAKE = out }", "MAKE", "out }"},  // a "}" without ";" joins the value
      {"DIR =  My Mods\\gfx\\ \t", "DIR", "My Mods\\gfx\\"},
      {"first second = v", "first", "v"},  // only the first word is the name
      {"G = %VEXAL%\\x", "G", "C:\\GAME\\x"},
  };
  for (const Case& c : cases) {
    vars.clear();
    ASSERT_EQ(vars.define("VEXAL", "C:\\GAME", 0, 0), Status::ok);
    EXPECT_EQ(run_statement(context, c.statement, kPathClass), Status::ok) << c.statement;
    std::string value;
    EXPECT_EQ(vars.lookup(c.name, kPathClass, value), Status::ok) << c.statement;
    EXPECT_EQ(value, c.value) << c.statement;
  }
}

TEST_F(StatementTest, MalformedStatementsAreRejected) {
  add_output(kBasics);
  struct Case {
    const char* statement;
    int class_code;
    int code;
  };
  const Case cases[] = {
      {"add", kBasics, 305},
      {"add(", kBasics, 305},
      {"add(a", kBasics, 305},
      {"=x", kPathClass, 305},
      {"x =", kPathClass, 305},
      {"x =   ", kPathClass, 305},
      {"x = a = b", kPathClass, 306},
      {"add(a=b)", kBasics, 306},
      {"add(a) = b", kBasics, 306},
      {"(a)", kBasics, 307},
      {"add((a))", kBasics, 307},
      {"x = a(b)", kPathClass, 307},
      {"add(a))", kBasics, 308},
      {"x = a)", kPathClass, 308},
      {")", kBasics, 308},
      {"x = a,b", kPathClass, 309},
      {"add(a),", kBasics, 309},
      {"a%b = 1", kPathClass, 314},
      {"add(x)", kPathClass, 310},
      {"add(x)", kSrcClass, 310},
      {"Add(x)", kBasics, 311},
      {"add(a)(b)", kBasics, 311},  // the second list makes "a" the name
      {"copy(a)", kBasics, 311},
      {"add(ALL, a, b, c)", kBasics, 312},
      {"add(1,2,3,4,5,6,7,8,9)", kBasics, 312},
      {"add(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)", kBasics, 312},
      {"add(1,2,3,4)", kBasics, 312},
      {"add(NEW)", kBasics, 313},
      {"add( all )", kBasics, 313},
      {"add(a, b, c)", kBasics, 313},
      {"add(%UNDEFINED%)", kBasics, 102},
      {"add(50%)", kBasics, 101},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(code_of(run_statement(context, c.statement, c.class_code)), c.code) << c.statement;
  }
  EXPECT_EQ(archives.size(), 1u) << "no source was loaded";
}

TEST_F(StatementTest, ReplaceAssignmentReadsALeadingDecimalNumber) {
  add_output(kBasics);
  struct Case {
    const char* statement;
    int code;
    int replace;
  };
  const Case cases[] = {
      {"replace = 1", 0, 1},    {"replace = 0", 0, 0},
      {"replace = 7", 0, 1},    {"replace = -3", 0, 0},
      {"replace = 1x", 0, 1},   {"replace = +2", 0, 1},
      {"replace = 00", 0, 0},   {"replace = 99999999999999999999", 0, 1},
      {"replace = -0", 0, 0},   {"replace = x", 315, -1},
      {"replace = -", 315, -1}, {"replace = %A%", 315, -1},
      {"Replace = 1", 314, -1}, {"MAKE = out", 314, -1},
  };
  for (const Case& c : cases) {
    output(kBasics).replace = 5;
    EXPECT_EQ(code_of(run_statement(context, c.statement, kBasics)), c.code) << c.statement;
    EXPECT_EQ(output(kBasics).replace, c.replace == -1 ? 5 : c.replace) << c.statement;
  }
  EXPECT_EQ(run_statement(context, "replace = 1", kWords),
            Status::archive_not_in_list);  // no record for the block
}

class AddCommandTest : public ModFixture {
 protected:
  void SetUp() override {
    fs.add_file("C:\\mod\\one\\A.BIN", "a1");
    fs.add_file("C:\\mod\\one\\B.TXT", "b1");
    fs.add_file("C:\\mod\\two\\a.bin", "a2");
    fs.add_file("C:\\mod\\two\\C.BIN", "c2");
    ASSERT_EQ(vars.define("VEXAL", "C:\\GAME", 0, 0), Status::ok);
    add_output(kBasics);
  }

  Status run(const std::string& statement, int class_code = kBasics) {
    return run_statement(context, statement, class_code);
  }

  // The source record that each output entry links to, by its name.
  std::string origin(const std::string& name) {
    for (const Entry& entry : output(kBasics).entries) {
      if (entry_name(entry) == name) {
        return archives.get(entry.source_archive)->name;
      }
    }
    return "<missing>";
  }
};

TEST_F(AddCommandTest, LinksAllEntriesOrThoseMatchingTheMask) {
  ASSERT_EQ(run("add(one, A*)"), Status::ok);
  EXPECT_EQ(entry_names(output(kBasics)), (std::vector<std::string>{"A.BIN"}));
  ASSERT_EQ(run("add(two, c*)"), Status::ok);  // folder names are upper case
  EXPECT_EQ(output(kBasics).entries.size(), 1u);
  ASSERT_EQ(run("add(NEW, two, *.*)"), Status::ok);
  EXPECT_EQ(output(kBasics).entries.size(), 2u);
  EXPECT_EQ(origin("A.BIN"), "one");
  EXPECT_EQ(origin("C.BIN"), "two");
}

// Records what each add told the observer, one line per command.
struct OutcomeLog : AddObserver {
  void added(const AddOutcome& outcome) override {
    text += std::string(outcome.command) + " took " + std::to_string(outcome.taken) +
            (outcome.output_was_empty ? " into an empty output" : "") + ", added";
    for (const std::string& name : outcome.added) {
      text += " " + name;
    }
    text += ", re-pointed";
    for (const std::string& name : outcome.repointed) {
      text += " " + name;
    }
    text += "\n";
  }
  std::string text;
};

TEST_F(AddCommandTest, TheObserverLearnsWhatEachAddDidAndEmptyAddsAreWarnedAbout) {
  OutcomeLog log;
  context.observer = &log;
  fs.add_directory("C:\\mod\\empty");
  for (const char* statement :
       {"add(one)", "add(NEW, two)", "add(ALL, two, A*)", "add(one, Z*)", "add(ALL, empty)"}) {
    ASSERT_EQ(run(statement), Status::ok) << statement;
  }
  EXPECT_EQ(log.text,
            "add(one) took 2 into an empty output, added A.BIN B.TXT, re-pointed\n"
            "add(NEW, two) took 2, added C.BIN, re-pointed\n"
            "add(ALL, two, A*) took 1, added, re-pointed A.BIN\n"
            "add(one, Z*) took 0, added, re-pointed\n"
            "add(ALL, empty) took 0, added, re-pointed\n");
  EXPECT_EQ(reporter.warnings,
            "BASICS.FS: add(one, Z*): the mask \"Z*\" matches no entry of \"one\"\n"
            "BASICS.FS: add(ALL, empty): the source \"empty\" holds no entries\n");
}

TEST_F(AddCommandTest, ABareCatalogueNameLoadsTheFileNotTheOutputRecord) {
  fs.add_file("C:\\mod\\BASICS.FS", test::build_flat({{"X.BIN", "xx"}, {"Y.BIN", "y"}}));
  add_output(kWords);
  testing::internal::CaptureStdout();
  ASSERT_EQ(run("add(basics.fs)", kWords), Status::ok);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(entry_names(output(kWords)), (std::vector<std::string>{"X.BIN", "Y.BIN"}));
  const int source = output(kWords).entries[0].source_archive;
  EXPECT_NE(source, slots[slot_of_class(kBasics)]);
  EXPECT_EQ(find_source_slot(context, "BASICS.FS"), source);
  EXPECT_TRUE(output(kBasics).entries.empty());
}

}  // namespace
}  // namespace vexal
