// The real tool killed at the N-th call of each system call that changes files, during
// an installation and during a restore, for every N until the run completes (strace
// injects the kill). After each kill one plain run must end with status 0 and leave the
// game's own archives in its folders, byte for byte.
#include <cstdlib>

#include "support/archive_builder.h"
#include "support/cli_runner.h"

namespace vexal::test {
namespace {

// The calls that change what the next run finds: opening a file to write it, or
// flushing it, changes nothing that a kill at its first write, or at the next change,
// would not show. Sanitized and unoptimized builds run the tool ten times slower: they
// kill it at the renames alone, which move the archives and write the records.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
const char* const kSyscalls[] = {"rename", "renameat2"};
#else
const char* const kSyscalls[] = {"write", "rename", "renameat2", "unlink", "mkdir"};
#endif

const std::pair<const char*, std::string> kGameArchives[] = {
    {"game/data/BASICS.FS", build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}})},
    {"cd/data/VIDEO.FS", build_flat({{"INTRO.VID", "intro"}})}};

class CrashTest : public CliTest {
 protected:
  void SetUp() override {
    if (windows_paths() || std::system("strace -V >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "needs strace and the Linux build";
    }
  }

  // A working folder with the game and a mod of both archives, installed or not.
  std::string new_world(int number, bool installed) const {
    std::string world = "w" + std::to_string(number) + "/";
    dir_.write_file(world + "config.ini", "[PATH]\nvexal=" + tool_path(at(world + "game")) +
                                              "\nvexalcd=" + tool_path(at(world + "cd")) +
                                              "\nallowcdmod=1\n");
    for (const auto& [path, bytes] : kGameArchives) {
      dir_.write_file(world + path, bytes);
    }
    dir_.write_file(world + "mod/gfx/B.DAT", "mod");
    dir_.write_file(world + "mod/mod.def",
                    "class PATH { MAKE = out; }\n"
                    "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, gfx); }\n"
                    "class VIDEO.FS { add(gfx); }\n");
    if (installed) {
      EXPECT_EQ(StartedRun(at(world), {"mod\\mod.def", "-mod"}).finish().status, 0);
    }
    return world;
  }

  // Kills the run at the N-th call, then runs the tool once more; false once the run
  // completed without being killed.
  bool killed_and_recovered(const char* call, int n, bool restoring) {
    const std::string world = new_world(n, restoring);
    const std::vector<std::string> args =
        restoring ? std::vector<std::string>{} : std::vector<std::string>{"mod\\mod.def", "-mod"};
    // A sanitized build cannot check for leaks in a traced process.
    const std::string kill = std::string(call) + ":signal=KILL:when=" + std::to_string(n);
    std::vector<std::string> strace = {"env", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"};
    strace.insert(strace.end(), {"strace", "-f", "-qq", "-o", "/dev/null"});
    strace.insert(strace.end(), {"-e", "trace=" + std::string(call), "-e", "inject=" + kill});
    const RunResult killed = StartedRun(at(world), args, Program::builder, false, strace).finish();
    const RunResult next = StartedRun(at(world), {}).finish();
    EXPECT_EQ(next.status, 0) << call << " " << n << ":\n" << next.output << next.errors;
    for (const auto& [path, bytes] : kGameArchives) {
      EXPECT_EQ(dir_.read_file(world + path), bytes) << call << " " << n << ": " << path;
    }
    std::filesystem::remove_all(at(world));
    return killed.status == -1;
  }
};

TEST_F(CrashTest, EveryKillIsFinishedOrUndoneByTheNextRun) {
  for (const bool restoring : {false, true}) {
    for (const char* call : kSyscalls) {
      for (int n = 1; killed_and_recovered(call, n, restoring) && !HasFailure(); ++n) {
      }
    }
  }
}

}  // namespace
}  // namespace vexal::test
