#include "moddef/definition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>

#include "moddef/mod_fixture.h"
#include "support/case_file.h"
#include "support/seeded.h"

namespace vexal {
namespace {

class DefinitionTest : public test::ModFixture {
 protected:
  // Loads the bytes as a definition file and scans them in a fresh run.
  ScanResult fresh_scan(const std::string& bytes, bool allow_cd = false) {
    vars = {};
    archives = {};
    reset_slot_table(slots);
    reporter = {};
    fs.add_file("C:\\mod\\demo.def", bytes);
    const Expected<std::string> text = load_definition(fs, "C:\\mod\\demo.def");
    EXPECT_TRUE(text);
    return scan_definition(context, text ? *text : std::string(), allow_cd);
  }
};

TEST_F(DefinitionTest, ScansToTheStatusAndLineOfTheFirstFault) {
  for (const test::DataCase& c : test::load_cases("tests/moddef/cases.txt", "scan")) {
    SCOPED_TRACE(c.where);
    const ScanResult got = fresh_scan(c.field(0));
    const Status status = got.outcome ? Status::ok : reporter.explained(got.outcome.failure());
    EXPECT_EQ(code_of(status), c.number(1));
    EXPECT_EQ(got.line, c.number(2));
    if (c.fields.size() > 3) {
      EXPECT_EQ(reporter.warnings + reporter.explanations, c.field(3));
    }
  }
}

// Definitions made of random pieces of the grammar, one a line: blocks of PATH, SRC and
// archives holding assignments, adds with modes and masks, replace statements, comments
// and blank lines, statements ended by ";", a comment or the line's end. Valid, one runs
// to its end; with one broken piece planted, the scan stops with that piece's status at
// its line.
TEST_F(DefinitionTest, RandomDefinitionsRunOrStopAtTheirBrokenPiece) {
  using Piece = std::pair<std::string, int>;  // a text and the status it ends the scan with
  const Piece kBrokenInBlock[] = {
      {"bad", 305}, {"x = a = b", 306}, {"(a)", 307}, {"add(a))", 308}, {"x = a,b", 309}};
  const Piece kBrokenOutside[] = {
      {"}", 300}, {"klass PATH {}", 300}, {"class basics.fs {}", 302}, {"class PATHS {}", 304}};
  const char* const kAdds[] = {"add(src)",        "add(NEW, src, A*)", "add(all, src)",
                               "add(src, ?.BIN)", "replace = 1",       "replace=0"};
  const char* const kArchives[] = {"BASICS.FS", "Q42.FS", "WORDS.FS", "TROOP.FSU"};
  const char* const kEnds[] = {";", " ; // done", ""};
  fs.add_file("C:\\mod\\src\\A.BIN", "a");
  test::for_each_seed(4300, 400, [&](std::mt19937& random, unsigned round) {
    const auto pick = [&](std::size_t n) { return test::pick(random, n); };
    std::vector<std::pair<std::string, bool>> lines;  // and whether a block is open after it
    int variables = 0;
    for (std::size_t block = pick(4); block < 4; ++block) {
      const std::size_t kind = pick(3);
      const std::string name = kind == 0 ? "PATH" : kind == 1 ? "SRC" : kArchives[block];
      lines.push_back({"class " + name + (pick(2) ? " {" : "{"), true});
      for (std::size_t n = pick(8); n > 0; --n) {
        const std::size_t piece = pick(4);
        if (piece < 2) {
          lines.push_back({piece == 0 ? "" : "  // a note; add(x) {", true});
          continue;
        }
        const std::string statement = kind == 2 ? kAdds[pick(std::size(kAdds))]
                                                : "V" + std::to_string(++variables) + " = value";
        lines.push_back({"  " + statement + kEnds[pick(std::size(kEnds))], true});
      }
      lines.push_back({"}", false});
    }
    int status = 0;
    int line = static_cast<int>(lines.size()) + 2;  // the line after the last
    if (round % 4 != 0) {
      const std::size_t at = pick(lines.size() + 1);
      const bool inside = at > 0 && lines[at - 1].second;
      const Piece& broken = inside ? kBrokenInBlock[pick(std::size(kBrokenInBlock))]
                                   : kBrokenOutside[pick(std::size(kBrokenOutside))];
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), {broken.first, inside});
      status = broken.second;
      line = static_cast<int>(at) + 1;
    }
    std::string text;
    for (const auto& [piece, inside] : lines) {
      text += piece + "\n";
    }
    const ScanResult got = fresh_scan(text);
    ASSERT_EQ(code_of(got.status()), status) << text;
    ASSERT_EQ(got.line, line) << text;
    for (int v = 1; v <= variables && got.outcome; ++v) {
      ASSERT_EQ(value_of("V" + std::to_string(v)), "value") << text;
    }
  });
}

// The blocks of the CD archives are skipped unless allowed, with a warning. (The
// archives with groups are the .FSU ones.)
TEST_F(DefinitionTest, OnlyCdArchiveBlocksAreSkipped) {
  for (const CatalogueEntry& entry : kCatalogue) {
    const std::string name(entry.name);
    EXPECT_EQ(entry.two_level, name.ends_with(".FSU")) << name;
    const std::string text = "class " + name + " { nonsense; }";
    const bool cd = name == "HELP.FS" || name == "VIDEO.FS" || name == "NARRATE.FS";
    EXPECT_EQ(code_of(fresh_scan(text).status()), cd ? 0 : 305) << name;
    EXPECT_EQ(reporter.warnings,
              cd ? "line 1: the " + name +
                       " block is skipped, since allowcdmod in config.ini is 0 or less\n"
                 : "");
    EXPECT_EQ(code_of(fresh_scan(text, true).status()), 305) << name;
  }
}

}  // namespace
}  // namespace vexal
