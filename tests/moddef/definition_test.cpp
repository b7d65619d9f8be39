#include "moddef/definition.h"

#include <gtest/gtest.h>

#include <string>

#include "moddef/mod_fixture.h"
#include "support/case_file.h"

namespace vexal {
namespace {

class DefinitionTest : public test::ModFixture {
 protected:
  // Loads the bytes as a definition file and scans them.
  ScanResult scan_file(const std::string& bytes, bool allow_cd = false) {
    fs.add_file("C:\\mod\\demo.def", bytes);
    const Expected<std::string> text = load_definition(fs, "C:\\mod\\demo.def");
    EXPECT_TRUE(text);
    return scan_definition(context, text ? *text : std::string(), allow_cd);
  }
};

TEST_F(DefinitionTest, ScansToTheStatusAndLineOfTheFirstFault) {
  for (const char* kind : {"scan", "scan-cd"}) {
    for (const test::DataCase& c : test::load_cases("tests/moddef/cases.txt", kind)) {
      SCOPED_TRACE(c.where);
      vars = {};
      archives = {};
      reset_slot_table(slots);
      reporter = {};
      const ScanResult got = scan_file(c.field(0), kind == std::string("scan-cd"));
      EXPECT_EQ(code_of(got.status()), c.number(1));
      EXPECT_EQ(got.line, c.number(2));
      if (c.fields.size() > 3) {
        std::string explained = reporter.explanations;
        for (const std::string& line :
             got.outcome ? std::vector<std::string>() : got.outcome.failure().explanations) {
          explained += line + "\n";
        }
        EXPECT_EQ(reporter.warnings + explained, c.field(3));
      }
    }
  }
}

TEST_F(DefinitionTest, StatementsEndAtTerminatorsButNotAtTheClosingBrace) {
  ASSERT_EQ(scan_file("class PATH { MAKE = out }\n"
                      "class SRC { A = a;B = b ; } class PATH {C=c//comment\n"
                      "D = d/E = e}")
                .status(),
            Status::ok);
  for (const auto& [name, value] :
       {std::pair{"MAKE", "out }"}, {"A", "a"}, {"B", "b"}, {"C", "c"}, {"D", "d"}, {"E", "e}"}}) {
    EXPECT_EQ(value_of(name), value) << name;
  }
}

// Part of a definition would build part of the mod: one that cannot be read to its end
// is not loaded.
TEST_F(DefinitionTest, ADefinitionThatCannotBeReadToItsEndIsNotLoaded) {
  fs.add_file("C:\\mod\\demo.def", std::string(5000, '\n') + "class PATH { MAKE = out }\n");
  int reads = 0;
  fs.hook = [&](const test::FakeFileSystem::Op& op) {
    return op.name == "read" && ++reads == 2 ? test::FakeFileSystem::Verdict::fail
                                             : test::FakeFileSystem::Verdict::pass;
  };
  const Expected<std::string> text = load_definition(fs, "C:\\mod\\demo.def");
  EXPECT_EQ(text.status(), Status::definition_not_opened);
  EXPECT_EQ(text.failure().explanations,
            std::vector<std::string>{
                "C:\\mod\\demo.def: cannot be read to its end: refused by the fake file system"});
}

}  // namespace
}  // namespace vexal
