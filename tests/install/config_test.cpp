#include "install/config.h"

#include <gtest/gtest.h>

#include "install_fixture.h"

namespace vexal::test {
namespace {

std::string path_section(const std::string& vexal, const std::string& vexalcd,
                         const std::string& allowcdmod) {
  return "[PATH]\nvexal=" + vexal + "\nvexalcd=" + vexalcd + "\nallowcdmod=" + allowcdmod + "\n";
}

TEST(ConfigPaths, DataFolderGetsOneSeparator) {
  EXPECT_EQ(data_folder("C:\\GAME"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("C:\\GAME\\"), "C:\\GAME\\data\\");
  EXPECT_EQ(data_folder("E:"), "E:\\data\\");
}

// The allowcdmod flag is set only once every key is present.
TEST(ConfigPaths, ReadsEveryKeyOrExplainsTheMissingOne) {
  const std::tuple<std::string, Status, bool, std::string> cases[] = {
      {"[PATH]\nvexalcd=E:\\CD\nallowcdmod=0\n", Status::config_values_missing, true,
       "[PATH] has no key vexal"},
      {"[PATH]\nvexal=C:\\GAME\nallowcdmod=0\n", Status::config_values_missing, true,
       "[PATH] has no key vexalcd"},
      {"[PATH]\nvexal=C:\\GAME\nvexalcd=E:\\CD\n", Status::config_values_missing, true,
       "[PATH] has no key allowcdmod"},
      {"[STATUS]\nvexal=C:\\GAME\n", Status::config_values_missing, true,
       "[PATH] has no key vexal"},
      {path_section("", "E:\\CD", "0"), Status::config_values_missing, false,
       "the key vexal of [PATH] is empty"},
      {path_section("C:\\GAME", "", "0"), Status::config_values_missing, false,
       "the key vexalcd of [PATH] is empty"},
      {path_section("C:\\GAME", "E:\\CD", "0"), Status::ok, false, ""},
      {path_section("C:\\GAME", "E:\\CD", "-1"), Status::ok, false, ""},
      {path_section("C:\\GAME", "E:\\CD", "1"), Status::ok, true, ""},
      {path_section("C:\\GAME", "E:\\CD", "0x10"), Status::ok, true, ""},
      {path_section("C:\\GAME", "E:\\CD", ""), Status::ok, true, ""},
  };
  for (const auto& [config, code, allow_cd, explanation] : cases) {
    SCOPED_TRACE(config);
    InstallWorld world(config);
    RecordingReporter reporter;
    ConfigPaths paths;
    EXPECT_EQ(read_config_paths(world.fs, reporter, paths), code);
    EXPECT_EQ(paths.allow_cd, allow_cd);
    EXPECT_EQ(reporter.explanations,
              explanation.empty() ? "" : "config.ini: " + explanation + "\n");
  }
}

}  // namespace
}  // namespace vexal::test
