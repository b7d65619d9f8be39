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

TEST(ConfigPaths, ComposesPathsUnderTheWorkingFolder) {
  FakeFileSystem fs("C:\\tools\\mb");
  EXPECT_EQ(config_path(fs), "C:\\tools\\mb\\config.ini");
  EXPECT_EQ(data_folder("C:\\GAME"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("C:\\GAME\\"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("E:"), "E:\\data\\");
}

TEST(ConfigPaths, MissingFileIsReportedBeforeAnythingElse) {
  FakeFileSystem fs(kCwd);
  VariableStore vars;
  int allow_cd = 7;
  EXPECT_EQ(read_config_paths(fs, vars, allow_cd), kConfigMissing);
  EXPECT_EQ(allow_cd, 7);
  EXPECT_EQ(vars.count(), 0u);
}

TEST(ConfigPaths, MissingKeyEndsBeforeTheFlagIsRead) {
  for (const std::string config :
       {"[PATH]\nvexalcd=E:\\CD\nallowcdmod=0\n", "[PATH]\nvexal=C:\\GAME\nallowcdmod=0\n",
        "[PATH]\nvexal=C:\\GAME\nvexalcd=E:\\CD\n", "[STATUS]\nvexal=C:\\GAME\n"}) {
    SCOPED_TRACE(config);
    const Outcome outcome = read_paths(config);
    EXPECT_EQ(outcome.code, kConfigValuesMissing);
    EXPECT_EQ(outcome.allow_cd, 7);
    EXPECT_EQ(outcome.vars.count(), 0u);
  }
}

TEST(ConfigPaths, KeyNamesMatchWithoutRegardToCase) {
  const Outcome outcome = read_paths("[path]\nVEXAL=C:\\GAME\nVexalCD=E:\\CD\nALLOWCDMOD=0\n");
  EXPECT_EQ(outcome.code, kOk);
  EXPECT_EQ(outcome.allow_cd, 0);
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

TEST(ConfigPaths, EmptyPathFailsAfterTheFlagIsSet) {
  for (const auto& [vexal, vexalcd] : {std::pair<std::string, std::string>{"", "E:\\CD"},
                                       std::pair<std::string, std::string>{"C:\\GAME", ""}}) {
    const Outcome outcome = read_paths(path_section(vexal, vexalcd, "0"));
    EXPECT_EQ(outcome.code, kConfigValuesMissing);
    EXPECT_EQ(outcome.allow_cd, 0);
    EXPECT_EQ(outcome.vars.count(), 0u);
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
