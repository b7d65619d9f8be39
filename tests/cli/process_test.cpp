// Runs at the same time, which wait for each other.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/archive_builder.h"
#include "support/cli_runner.h"

namespace vexal::test {
namespace {

using ProcessTest = CliTest;

// The lock of the working folder, and the lock of the game, which runs from every
// working folder share.
TEST_F(ProcessTest, ARunWaitsWhileAnotherHoldsTheLockFile) {
  if (windows_paths()) {
    GTEST_SKIP() << "the Windows build locks through Wine, which flock does not reach";
  }
  write_config();
  std::filesystem::create_directories(at("game/data"));
  const std::pair<const char*, std::string> locks[] = {
      {"vexal_mod_builder.lock", "in this folder"},
      {"game/data/vexal_mod_builder.lock", "on the game"}};
  for (const auto& [lock, where] : locks) {
    const int held = open(at(lock).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    StartedRun waiting(root(), {});
    EXPECT_TRUE(waiting.wait_for_error_text("another run is working " + where +
                                            "; waiting for it to end (lock file \""));
    close(held);
    const RunResult result = waiting.finish();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(after_banner(result.output), "All done.\n\n");
  }
}

// The second installation waits for the first, so it finds the first's swaps recorded
// and puts them back before it installs again.
TEST_F(ProcessTest, TwoInstallationsAtOnceRunOneAfterTheOther) {
  const std::string game_basics = build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}});
  write_config();
  dir_.write_file("game/data/BASICS.FS", game_basics);
  dir_.write_file(
      "mod/mod.def",
      "class PATH { MAKE = out; }\nclass BASICS.FS { add(%VEXAL%\\data\\BASICS.FS) }\n");
  StartedRun first(root(), {"mod\\mod.def", "-mod"});
  StartedRun second(root(), {"mod\\mod.def", "-mod"});
  int restoring = 0;
  for (const RunResult& result : {first.finish(), second.finish()}) {
    EXPECT_EQ(result.status, 0) << result.output << result.errors;
    restoring += after_banner(result.output).starts_with("Restoring archive") ? 1 : 0;
  }
  EXPECT_EQ(restoring, 1);
  EXPECT_EQ(dir_.read_file("backup/BASICS.FS"), game_basics);
}

// Started from Explorer, the run works in another folder than the program's, and the
// config.ini beside the program is pointed out with the way to start it there.
TEST_F(ProcessTest, ConfigBesideTheProgramIsPointedOut) {
  const std::filesystem::path binary = binary_of(Program::builder);
  const std::filesystem::path copy = at("tool") / binary.filename();
  std::filesystem::create_directory(at("tool"));
  std::filesystem::copy_file(binary, copy);
  write_config();
  std::filesystem::rename(at("config.ini"), at("tool/config.ini"));
  setenv("VEXAL_TEST_BINARY", copy.c_str(), 1);
  const RunResult result = StartedRun(root(), {"x.def"}).finish();
  setenv("VEXAL_TEST_BINARY", binary.c_str(), 1);
  EXPECT_EQ(result.status, 200);
  const std::string hint = "config.ini is not in the working folder " + tool_path(root()) +
                           " but beside the program, in " + tool_path(at("tool")) +
                           "; start the program there: cd ";
  EXPECT_NE(result.errors.find(hint), std::string::npos) << result.errors;
  EXPECT_TRUE(result.errors.ends_with("\" then " + copy.filename().string() + " x.def\n"));
}

}  // namespace
}  // namespace vexal::test
