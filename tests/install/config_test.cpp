#include "install/config.h"

#include <gtest/gtest.h>

#include "install_fixture.h"

namespace vexal::test {
namespace {

std::string path_section(const std::string& vexal, const std::string& vexalcd,
                         const std::string& allowcdmod) {
  return "[PATH]\nvexal=" + vexal + "\nvexalcd=" + vexalcd + "\nallowcdmod=" + allowcdmod + "\n";
}

struct Outcome {
  Status code;
  ConfigPaths paths;
  std::string explanations;
};

Outcome read_paths(const std::string& config) {
  InstallWorld world(config);
  RecordingReporter reporter;
  Outcome outcome{Status::ok, {}, {}};
  outcome.code = read_config_paths(world.fs, reporter, outcome.paths);
  outcome.explanations = reporter.explanations;
  return outcome;
}

TEST(ConfigPaths, DataFolderGetsOneSeparator) {
  EXPECT_EQ(data_folder("C:\\GAME"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("C:\\GAME\\"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("E:"), "E:\\data\\");
}

// The flag is set only once every key is present.
TEST(ConfigPaths, MissingOrEmptyKeys) {
  const std::tuple<std::string, bool, std::string> cases[] = {
      {"[PATH]\nvexalcd=E:\\CD\nallowcdmod=0\n", true, "[PATH] has no key vexal"},
      {"[PATH]\nvexal=C:\\GAME\nallowcdmod=0\n", true, "[PATH] has no key vexalcd"},
      {"[PATH]\nvexal=C:\\GAME\nvexalcd=E:\\CD\n", true, "[PATH] has no key allowcdmod"},
      {"[STATUS]\nvexal=C:\\GAME\n", true, "[PATH] has no key vexal"},
      {path_section("", "E:\\CD", "0"), false, "the key vexal of [PATH] is empty"},
      {path_section("C:\\GAME", "", "0"), false, "the key vexalcd of [PATH] is empty"},
  };
  for (const auto& [config, allow_cd, explanation] : cases) {
    SCOPED_TRACE(config);
    const Outcome outcome = read_paths(config);
    EXPECT_EQ(outcome.code, Status::config_values_missing);
    EXPECT_EQ(outcome.paths.allow_cd, allow_cd);
    EXPECT_EQ(outcome.explanations, "config.ini: " + explanation + "\n");
  }
}

TEST(ConfigPaths, AllowCdFlagFromItsValue) {
  const std::pair<std::string, bool> cases[] = {{"0", false},   {"-1", false}, {"1", true},
                                                {"0x10", true}, {"", true},    {"yes", true}};
  for (const auto& [value, flag] : cases) {
    SCOPED_TRACE(value);
    const Outcome outcome = read_paths(path_section("C:\\GAME", "E:\\CD", value));
    EXPECT_EQ(outcome.code, Status::ok);
    EXPECT_EQ(outcome.paths.allow_cd, flag);
  }
}

TEST(ConfigPaths, KeepsTheTextAsWritten) {
  const Outcome outcome = read_paths(path_section("C:\\GAME\\", "%VEXAL%CD", "1"));
  ASSERT_EQ(outcome.code, Status::ok);
  EXPECT_EQ(outcome.paths.vexal, "C:\\GAME\\");
  EXPECT_EQ(outcome.paths.vexalcd, "%VEXAL%CD");
}

}  // namespace
}  // namespace vexal::test
