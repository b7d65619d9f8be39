#include "moddef/variables.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "support/case_file.h"
#include "support/status_print.h"

namespace vexal {
namespace {

// Each case defines a variable or expands a text in a store of five variables.
TEST(VariableStore, DefinesAndExpandsWhatTheScopeSees) {
  for (const char* kind : {"expand", "define"}) {
    for (const test::DataCase& c : test::load_cases("tests/moddef/cases.txt", kind)) {
      SCOPED_TRACE(c.where);
      VariableStore store;
      for (const auto& [name, value, level, scope] :
           {std::tuple{"VEXAL", "C:\\GAME", 0, 0}, std::tuple{"A", "aa", 0, 0},
            std::tuple{"B", "bb", 0, 0}, std::tuple{"MAKE", "out", 2, 0},
            std::tuple{"ORIG", "%VEXAL%\\data\\", 3, 2}}) {
        ASSERT_EQ(store.define(name, value, level, scope), Status::ok);
      }
      const bool define = kind == std::string("define");
      const int code = c.number(define ? 4 : 2);
      std::string out = "stale";
      const Status status = define ? store.define(c.field(0), c.field(1), c.number(2), c.number(3))
                                   : store.expand(c.field(0), out, c.number(1));
      EXPECT_EQ(code_of(status), code);
      if (define && status == Status::ok) {
        EXPECT_EQ(store.lookup(c.field(0), c.number(2), out), Status::ok);
      }
      EXPECT_EQ(out, code != 0 ? (define ? "stale" : "") : c.field(define ? 5 : 3));
      EXPECT_EQ(store.count(), code != 0 ? 0u : define ? 6u : 5u);
    }
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
