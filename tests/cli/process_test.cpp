// What only real processes show: runs that wait for each other, and generated inputs
// too large to write down as a case, which must end in a clear report, never a crash
// or a hang.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/archive_builder.h"
#include "support/cli_runner.h"

namespace vexal::test {
namespace {

// Reproducible bytes of every value, zero bytes included.
std::string garbage(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 16);
  }
  return bytes;
}

class ProcessTest : public CliTest {
 protected:
  const std::string game_basics = build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}});

  void SetUp() override {
    write_config();
    write_file("game/data/BASICS.FS", game_basics);
    write_file("mod/gfx/A.DAT", "new");
  }

  RunResult build(const std::string& definition) const {
    write_file("mod/mod.def", definition);
    return run({"mod\\mod.def"});
  }
};

TEST_F(ProcessTest, ARunWaitsWhileAnotherHoldsTheLockFile) {
  if (windows_paths()) {
    GTEST_SKIP() << "the Windows build locks through Wine, which flock does not reach";
  }
  const int held = open(at("vexal_mod_builder.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  StartedRun waiting(root(), {});
  EXPECT_TRUE(waiting.wait_for_error_text("waiting for it to end (lock file \"" +
                                          tool_path(root()) + "\\vexal_mod_builder.lock\")\n"));
  close(held);
  const RunResult result = waiting.finish();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), "All done.\n\n");
}

// The second installation waits for the first, so it finds the first's swaps recorded
// and puts them back before it installs again.
TEST_F(ProcessTest, TwoInstallationsAtOnceRunOneAfterTheOther) {
  write_file("mod/mod.def",
             "class PATH { MAKE = out; }\nclass BASICS.FS { add(%VEXAL%\\data\\BASICS.FS) }\n");
  StartedRun first(root(), {"mod\\mod.def", "-mod"});
  StartedRun second(root(), {"mod\\mod.def", "-mod"});
  int restoring = 0;
  for (const RunResult& result : {first.finish(), second.finish()}) {
    EXPECT_EQ(result.status, 0) << result.output << result.errors;
    restoring += after_banner(result.output).starts_with("Restoring archive") ? 1 : 0;
  }
  EXPECT_EQ(restoring, 1);
  EXPECT_EQ(read_file("backup/BASICS.FS"), game_basics);
}

TEST_F(ProcessTest, HostileDefinitionsEndInAReport) {
  std::string noise = garbage(64 * 1024, 7);
  noise[0] = '\xFF';
  const std::pair<std::string, std::string> cases[] = {
      {noise, "Error (line 1) - invalid statement!\n"},
      {"class BASICS.FS" + noise, "Error (line 1) - misplaced command!\n"},
      {"class PATH {\nX = " + std::string(100000, '%'), "Error (line 2) - undefined variable!\n"},
  };
  for (const auto& [definition, output] : cases) {
    EXPECT_EQ(after_banner(build(definition).output), output) << definition.substr(0, 40);
  }
  std::string sources = "class PATH { MAKE = out; }\n";
  for (int i = 0; i < 10000; ++i) {
    sources += "class SRC { V" + std::to_string(i) + " = gfx; }\n";
  }
  EXPECT_EQ(build(sources + "class BASICS.FS { add(%V9999%) }\n").status, 0);
  EXPECT_EQ(read_file("mod/out/BASICS.FS"), build_flat({{"A.DAT", "new"}}));

  write_file("config.ini", garbage(4096, 11));
  EXPECT_EQ(after_banner(run({}).output), "Error - missing \"config.ini\" values!\n");
}

}  // namespace
}  // namespace vexal::test
