#include "moddef/variables.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "support/status_print.h"

namespace vexal {
namespace {

// Each row defines a variable or expands a text in a store of five variables, of the
// levels (0, 2, 3) and scopes that settings, PATH and SRC blocks give them. A failure
// empties the store.
TEST(VariableStore, DefinesAndExpandsWhatTheScopeSees) {
  struct Row {
    const char* define;  // null: expand the text
    const char* text;
    int level;
    int scope;
    int code;
    const char* out = "";  // the expansion, or the value defined
  };
  const Row rows[] = {
      {nullptr, "%VEXAL%data\\", 0, 0, 0, "C:\\GAMEdata\\"},  // no separator is inserted
      {nullptr, "%A%%B%", 0, 0, 0, "aabb"},
      {nullptr, "x%A%y%B%z", 0, 0, 0, "xaaybbz"},
      {nullptr, "plain text", 0, 0, 0, "plain text"},
      {nullptr, "", 0, 0, 0, ""},
      {nullptr, "%MAKE%", 0, 2, 0, "out"},
      {nullptr, "%ORIG%BASICS.FS", 0, 3, 0, "C:\\GAME\\data\\BASICS.FS"},  // stored expanded
      {nullptr, "50%", 0, 0, 101},
      {nullptr, "%A%%B", 0, 0, 101},
      {nullptr, "100%%", 0, 0, 102},      // %% names the empty variable
      {nullptr, "% VEXAL %", 0, 0, 102},  // blanks belong to the name
      {nullptr, "%MAKE%", 0, 0, 102},     // level 2 is not visible at scope 0
      {nullptr, "%ORIG%", 0, 2, 102},
      {nullptr, "%vexal%", 0, 15, 102},  // names are case-sensitive
      {"NEW", "%MAKE%%VEXAL%", 3, 2, 0, "outC:\\GAME"},
      {"VEXAL", "x", 2, 0, 100},     // predefined names cannot be redefined
      {"MAKE", "x", 3, 2, 100},      // nor a PATH name in a SRC block
      {"NEW", "%MAKE%", 2, 0, 102},  // PATH values see predefined variables only
      {"NEW", "%ORIG%", 3, 2, 102},  // SRC values do not see SRC variables
      {"NEW", "50%", 2, 0, 101},
      {"", "x", 2, 0, 2},
  };
  for (const Row& r : rows) {
    VariableStore store;
    for (const auto& [name, value, level, scope] :
         {std::tuple{"VEXAL", "C:\\GAME", 0, 0}, std::tuple{"A", "aa", 0, 0},
          std::tuple{"B", "bb", 0, 0}, std::tuple{"MAKE", "out", 2, 0},
          std::tuple{"ORIG", "%VEXAL%\\data\\", 3, 2}}) {
      ASSERT_EQ(store.define(name, value, level, scope), Status::ok);
    }
    std::string out = "stale";
    const Status status = r.define ? store.define(r.define, r.text, r.level, r.scope)
                                   : store.expand(r.text, out, r.scope);
    EXPECT_EQ(code_of(status), r.code) << r.text;
    if (r.define && status == Status::ok) {
      EXPECT_EQ(store.lookup(r.define, r.level, out), Status::ok);
    }
    EXPECT_EQ(out, r.code != 0 ? (r.define ? "stale" : "") : r.out) << r.text;
    EXPECT_EQ(store.count(), r.code != 0 ? 0u : r.define ? 6u : 5u) << r.text;
  }
}

TEST(VariableStore, ValuesLongerThanSixtyFourKibibytesSurvive) {
  VariableStore vars;
  ASSERT_EQ(vars.define("LONG", std::string(100000, 'x'), 2, 0), Status::ok);
  ASSERT_EQ(vars.define("TWICE", "%LONG%%LONG%", 3, 2), Status::ok);
  std::string out;
  ASSERT_EQ(vars.expand("%TWICE%!", out, 4), Status::ok);
  EXPECT_EQ(out, std::string(200000, 'x') + "!");
}

}  // namespace
}  // namespace vexal
