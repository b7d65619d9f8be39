#include "install/config.h"

#include <gtest/gtest.h>

#include "driver/error.h"
#include "install_fixture.h"

namespace vexal::test {
namespace {

std::string path_section(const std::string& vexal, const std::string& vexalcd,
                         const std::string& allowcdmod) {
  return "[PATH]\nvexal=" + vexal + "\nvexalcd=" + vexalcd + "\nallowcdmod=" + allowcdmod + "\n";
}

struct Outcome {
  int code;
  int allow_cd;
  VariableStore vars;
};

Outcome read_paths(const std::string& config) {
  InstallWorld world(config);
  Outcome outcome{0, 7, {}};
  outcome.code = read_config_paths(world.fs, outcome.vars, outcome.allow_cd);
  return outcome;
}

std::string variable(const VariableStore& vars, const std::string& name) {
  std::string value;
  return vars.var_lookup(name, kNoClass, value) == kOk ? value : "<undefined>";
}

TEST(ConfigPaths, DataFolderGetsOneSeparator) {
  EXPECT_EQ(data_folder("C:\\GAME"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("C:\\GAME\\"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("E:"), "E:\\data\\");
}

// The flag is set only once every key is present, and nothing is defined on failure.
TEST(ConfigPaths, MissingOrEmptyKeysDefineNothing) {
  const std::pair<std::string, int> cases[] = {
      {"[PATH]\nvexalcd=E:\\CD\nallowcdmod=0\n", 7},
      {"[PATH]\nvexal=C:\\GAME\nallowcdmod=0\n", 7},
      {"[PATH]\nvexal=C:\\GAME\nvexalcd=E:\\CD\n", 7},
      {"[STATUS]\nvexal=C:\\GAME\n", 7},
      {path_section("", "E:\\CD", "0"), 0},
      {path_section("C:\\GAME", "", "0"), 0},
  };
  for (const auto& [config, allow_cd] : cases) {
    SCOPED_TRACE(config);
    const Outcome outcome = read_paths(config);
    EXPECT_EQ(outcome.code, kConfigValuesMissing);
    EXPECT_EQ(outcome.allow_cd, allow_cd);
    EXPECT_EQ(outcome.vars.count(), 0u);
  }
}

TEST(ConfigPaths, AllowCdFlagFromItsValue) {
  const std::pair<std::string, int> cases[] = {{"0", 0},    {"-1", 0}, {"1", 1},
                                               {"0x10", 1}, {"", 1},   {"yes", 1}};
  for (const auto& [value, flag] : cases) {
    SCOPED_TRACE(value);
    const Outcome outcome = read_paths(path_section("C:\\GAME", "E:\\CD", value));
    EXPECT_EQ(outcome.code, kOk);
    EXPECT_EQ(outcome.allow_cd, flag);
  }
}

TEST(ConfigPaths, DefinesVariablesWithTheTextAsWritten) {
  const Outcome outcome = read_paths(path_section("C:\\GAME\\", "%VEXAL%CD", "1"));
  ASSERT_EQ(outcome.code, kOk);
  EXPECT_EQ(variable(outcome.vars, "VEXAL"), "C:\\GAME\\");
  EXPECT_EQ(variable(outcome.vars, "VEXALCD"), "C:\\GAME\\CD");
}

TEST(ConfigPaths, VariableStoreFailuresPassThrough) {
  EXPECT_EQ(read_paths(path_section("C:\\GA%ME", "E:\\CD", "1")).code, kInvalidVariableExpression);
  EXPECT_EQ(read_paths(path_section("C:\\GAME", "E:\\%CD", "1")).code, kInvalidVariableExpression);
  EXPECT_EQ(read_paths(path_section("%VEXAL%\\x", "E:\\CD", "1")).code, kUndefinedVariable);
  EXPECT_EQ(read_paths(path_section("C:\\GAME", "%NOPE%", "1")).code, kUndefinedVariable);
}

}  // namespace
}  // namespace vexal::test
