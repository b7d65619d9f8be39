#include "moddef/variables.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "support/case_file.h"
#include "support/status_print.h"

namespace vexal {
namespace {

VariableLevel level_named(const std::string& name) {
  static const std::map<std::string, VariableLevel> kLevels = {
      {"settings", VariableLevel::settings},
      {"path", VariableLevel::path},
      {"src", VariableLevel::src},
      {"archive", VariableLevel::archive}};
  return kLevels.at(name);
}

// Each case defines a variable or expands a text in a store of five variables.
TEST(VariableStore, DefinesAndExpandsWhatTheLevelSees) {
  for (const char* kind : {"expand", "define"}) {
    for (const test::DataCase& c : test::load_cases("tests/moddef/cases.txt", kind)) {
      SCOPED_TRACE(c.where);
      VariableStore store;
      for (const auto& [name, value, level] :
           {std::tuple{"VEXAL", "C:\\GAME", VariableLevel::settings},
            std::tuple{"A", "aa", VariableLevel::settings},
            std::tuple{"B", "bb", VariableLevel::settings},
            std::tuple{"MAKE", "out", VariableLevel::path},
            std::tuple{"ORIG", "%VEXAL%\\data\\", VariableLevel::src}}) {
        ASSERT_TRUE(store.define(name, value, level));
      }
      const bool define = std::string(kind) == "define";
      const VariableLevel level = level_named(c.field(define ? 2 : 1));
      if (define) {
        const Outcome defined = store.define(c.field(0), c.field(1), level);
        EXPECT_EQ(code_of(defined.status()), c.number(3));
        if (defined) {
          EXPECT_EQ(store.lookup(c.field(0), level).value_or("<undefined>"), c.field(4));
        }
      } else {
        const Expected<std::string> expanded = store.expand(c.field(0), level);
        EXPECT_EQ(code_of(expanded.status()), c.number(2));
        if (expanded) {
          EXPECT_EQ(*expanded, c.field(3));
        }
      }
    }
  }
}

TEST(VariableStore, ValuesLongerThanSixtyFourKibibytesSurvive) {
  VariableStore vars;
  ASSERT_TRUE(vars.define("LONG", std::string(100000, 'x'), VariableLevel::path));
  ASSERT_TRUE(vars.define("TWICE", "%LONG%%LONG%", VariableLevel::src));
  const Expected<std::string> out = vars.expand("%TWICE%!", VariableLevel::archive);
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, std::string(200000, 'x') + "!");
}

}  // namespace
}  // namespace vexal
