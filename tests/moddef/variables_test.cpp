#include "moddef/variables.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "support/status_print.h"

namespace vexal {
namespace {

class VariableStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(vars.define("VEXAL", "C:\\GAME", 0, 0), Status::ok);
    ASSERT_EQ(vars.define("A", "aa", 0, 0), Status::ok);
    ASSERT_EQ(vars.define("B", "bb", 0, 0), Status::ok);
    ASSERT_EQ(vars.define("MAKE", "out", 2, 0), Status::ok);
    ASSERT_EQ(vars.define("ORIG", "%VEXAL%\\data\\", 3, 2), Status::ok);
  }
  // A fresh store like vars, for cases that empty theirs.
  static VariableStore seeded() {
    VariableStore store;
    for (const auto& [name, value, level, scope] :
         {std::tuple{"VEXAL", "C:\\GAME", 0, 0}, std::tuple{"A", "aa", 0, 0},
          std::tuple{"MAKE", "out", 2, 0}, std::tuple{"ORIG", "o", 3, 2}}) {
      EXPECT_EQ(store.define(name, value, level, scope), Status::ok);
    }
    return store;
  }
  VariableStore vars;
};

TEST_F(VariableStoreTest, ExpandsReferencesVisibleAtTheScope) {
  struct Case {
    const char* text;
    int scope;
    int code;
    const char* expected;
  };
  const Case cases[] = {
      {"%VEXAL%data\\", 0, 0, "C:\\GAMEdata\\"},  // no separator is inserted
      {"%A%%B%", 0, 0, "aabb"},
      {"x%A%y%B%z", 0, 0, "xaaybbz"},
      {"plain text", 0, 0, "plain text"},
      {"", 0, 0, ""},
      {"%MAKE%", 2, 0, "out"},
      {"%ORIG%BASICS.FS", 4, 0, "C:\\GAME\\data\\BASICS.FS"},  // stored values are expanded
  };
  for (const Case& c : cases) {
    std::string out = "stale";
    EXPECT_EQ(code_of(vars.expand(c.text, out, c.scope)), c.code) << c.text;
    EXPECT_EQ(out, c.expected) << c.text;
  }
}

TEST_F(VariableStoreTest, EveryFailedExpansionEmptiesTheStore) {
  struct Case {
    const char* text;
    int scope;
    int code;
  };
  const Case cases[] = {
      {"50%", 0, 101},       {"100%%", 0, 102},  // %% names the empty variable
      {"% VEXAL %", 0, 102},                     // blanks belong to the name
      {"%MAKE%", 0, 102},                        // level 2 is not visible at scope 0
      {"%ORIG%", 2, 102},                        // level 3 is not visible at scope 2
      {"%vexal%", 15, 102},                      // names are case-sensitive
      {"%A%%B", 0, 101},
  };
  for (const Case& c : cases) {
    VariableStore store = seeded();
    std::string out;
    EXPECT_EQ(code_of(store.expand(c.text, out, c.scope)), c.code) << c.text;
    EXPECT_EQ(store.count(), 0u) << c.text;
  }
}

TEST_F(VariableStoreTest, EveryFailedDefinitionEmptiesTheStore) {
  struct Case {
    const char* name;
    const char* value;
    int level;
    int scope;
    int code;
  };
  const Case cases[] = {
      {"VEXAL", "x", 2, 0, 100},     // predefined names cannot be redefined
      {"MAKE", "x", 3, 2, 100},      // nor a PATH name in a SRC block
      {"NEW", "%MAKE%", 2, 0, 102},  // PATH values see predefined variables only
      {"NEW", "%ORIG%", 3, 2, 102},  // SRC values do not see SRC variables
      {"NEW", "50%", 2, 0, 101},    {"", "x", 2, 0, 2},
  };
  for (const Case& c : cases) {
    VariableStore store = seeded();
    EXPECT_EQ(code_of(store.define(c.name, c.value, c.level, c.scope)), c.code) << c.name;
    EXPECT_EQ(store.count(), 0u) << c.name;
  }
}

TEST_F(VariableStoreTest, LookupHonoursLevelsAndLeavesTheStoreIntactWhenNothingIsFound) {
  std::string value;
  EXPECT_EQ(vars.lookup("MAKE", 2, value), Status::ok);
  EXPECT_EQ(value, "out");
  EXPECT_EQ(vars.lookup("MAKE", 0, value), Status::programmer_error);
  EXPECT_EQ(vars.lookup("make", 15, value), Status::programmer_error);
  EXPECT_EQ(vars.lookup("ORIG", 3, value), Status::ok);
  EXPECT_EQ(value, "C:\\GAME\\data\\");
  EXPECT_EQ(vars.count(), 5u);
}

TEST(VariableStoreSizes, ValuesLongerThanSixtyFourKibibytesSurvive) {
  VariableStore vars;
  const std::string long_value(100000, 'x');
  ASSERT_EQ(vars.define("LONG", long_value, 2, 0), Status::ok);
  ASSERT_EQ(vars.define("TWICE", "%LONG%%LONG%", 3, 2), Status::ok);
  std::string out;
  ASSERT_EQ(vars.expand("%TWICE%!", out, 4), Status::ok);
  EXPECT_EQ(out.size(), 200001u);
  EXPECT_EQ(out.back(), '!');
}

}  // namespace
}  // namespace vexal
