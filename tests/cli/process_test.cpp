// The real tool where only a real process shows what it does: runs at the same time,
// which wait for each other; runs that the system fails, or kills, where no unit test
// can make it.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "support/archive_builder.h"
#include "support/cli_runner.h"
#include "support/small_volume.h"

namespace vexal::test {
namespace {

namespace stdfs = std::filesystem;
using ProcessTest = CliTest;

// True when the tool can be started through the launcher here (it is installed).
bool starts_through(const std::vector<std::string>& launcher, const stdfs::path& folder) {
  return StartedRun(folder, {"?"}, Program::builder, launcher).finish().status == 11;
}

// The lock of the working folder, and the locks of the game and its CD, which runs from
// every working folder share.
TEST_F(ProcessTest, ARunWaitsWhileAnotherHoldsTheLockFile) {
  if (windows_paths()) {
    GTEST_SKIP() << "the Windows build locks through Wine, which flock does not reach";
  }
  write_config();
  std::filesystem::create_directories(at("game/data"));
  std::filesystem::create_directories(at("cd/data"));
  const std::pair<const char*, std::string> locks[] = {
      {"vexal_mod_builder.lock", "in this folder"},
      {"game/data/vexal_mod_builder.lock", "on the game"},
      {"cd/data/vexal_mod_builder.lock", "on the game"}};
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

// A definition that cannot be read to its end (a read error injected by strace at the
// second of the two reads that take it) ends the build with its report, and standard
// error tells the system's reason. Listings that fail are the world model's.
TEST_F(ProcessTest, AReadErrorEndsTheBuildWithTheSystemsReason) {
  write_config();
  dir_.write_file("mod/mod.def", std::string(5000, '\n') + "class PATH { MAKE = out }\n");
  const std::vector<std::string> strace =
      under_strace({"-P", at("mod/mod.def").string(), "-e", "inject=read:error=EIO:when=2"});
  if (windows_paths() || !starts_through(strace, root())) {
    GTEST_SKIP() << "needs strace and the Linux build";
  }
  const RunResult result = StartedRun(root(), {"mod/mod.def"}, Program::builder, strace).finish();
  EXPECT_EQ(result.status, 316 & 0xFF);
  EXPECT_NE(result.errors.find("mod/mod.def: cannot be read to its end: Input/output error\n"),
            std::string::npos)
      << result.errors;
}

// Started from Explorer, the run works in another folder than the program's, and the
// config.ini beside the program is pointed out with the way to start it there; by both
// tools.
TEST_F(ProcessTest, ConfigBesideTheProgramIsPointedOut) {
  write_config();
  std::filesystem::create_directory(at("tool"));
  std::filesystem::rename(at("config.ini"), at("tool/config.ini"));
  const struct {
    Program program;
    const char* variable;
    std::vector<std::string> args;
    std::string ending;
  } tools[] = {{Program::builder, "VEXAL_TEST_BINARY", {"x.def"}, " x.def\n"},
               {Program::fs_tool, "VEXAL_TEST_FS_BINARY", {"plan", "x.def"}, " plan x.def\n"}};
  for (const auto& tool : tools) {
    const std::filesystem::path binary = binary_of(tool.program);
    const std::filesystem::path copy = at("tool") / binary.filename();
    std::filesystem::copy_file(binary, copy);
    setenv(tool.variable, copy.c_str(), 1);
    const RunResult result = StartedRun(root(), tool.args, tool.program).finish();
    setenv(tool.variable, binary.c_str(), 1);
    EXPECT_EQ(result.status, 200);
    const std::string hint = "config.ini is not in the working folder " + tool_path(root()) +
                             " but beside the program, in " + tool_path(at("tool")) +
                             "; start the program there: cd ";
    EXPECT_NE(result.errors.find(hint), std::string::npos) << result.errors;
    EXPECT_TRUE(result.errors.ends_with("\" then " + copy.filename().string() + tool.ending))
        << result.errors;
  }
}

// The real tool killed at the N-th call of each system call that changes files, during
// an installation and during a restore, for every N until the run completes (strace
// injects the kill). The game lies on a small volume of its own where this process may
// mount one, so that its archives are copied between volumes. After each kill neither
// end of a move holds a part of an archive under its name and the game's archive is
// whole at one of them; one plain run then ends with status 0 and leaves the game's own
// archives in its folders, byte for byte, with their time and permissions.
// Opening a file to write it, or flushing it, changes nothing that a kill at its first
// write, or at the next change, would not show. Sanitized and unoptimized builds run the
// tool ten times slower: they kill it at the renames alone, which move the archives and
// write the records.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
const char* const kSyscalls[] = {"rename", "renameat2"};
#else
const char* const kSyscalls[] = {"write", "rename", "renameat2", "unlink",
                                 "mkdir", "fchown", "fchmod",    "utimensat"};
#endif

constexpr stdfs::perms kGamePerms =
    stdfs::perms::owner_read | stdfs::perms::owner_write | stdfs::perms::group_read;

std::string read_or_empty(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class CrashTest : public CliTest {
 protected:
  void SetUp() override {
    if (windows_paths() || !starts_through(under_strace({}), root())) {
      GTEST_SKIP() << "needs strace and the Linux build";
    }
    archives_ = {
        {game_.dir().path() / "data/BASICS.FS",
         build_flat({{"A.DAT", "a"}, {"B.DAT", std::string(std::size_t{600} << 10, 'b')}})},
        {at("cd/data/VIDEO.FS"), build_flat({{"INTRO.VID", "intro"}})}};
    dir_.write_file("mod/gfx/B.DAT", "mod");
    dir_.write_file("mod/mod.def",
                    "class PATH { MAKE = out; }\n"
                    "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, gfx); }\n"
                    "class VIDEO.FS { add(gfx); }\n");
    prepare(true);
    for (const auto& [path, bytes] : archives_) {
      installed_.push_back(read_or_empty(path));
    }
  }

  // The game as it was, the mod not built, installed or not.
  void prepare(bool installed) {
    for (const char* folder : {"backup", "mod/out", "config.ini"}) {
      stdfs::remove_all(at(folder));
    }
    for (const auto& [path, bytes] : archives_) {
      stdfs::remove_all(path.parent_path());  // with the record of an installation
      stdfs::create_directories(path.parent_path());
      std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
      stdfs::permissions(path, kGamePerms);
      stdfs::last_write_time(path, long_ago_);
    }
    dir_.write_file("config.ini", "[PATH]\nvexal=" + tool_path(game_.dir().path()) +
                                      "\nvexalcd=" + tool_path(at("cd")) + "\nallowcdmod=1\n");
    if (installed) {
      EXPECT_EQ(StartedRun(root(), kInstall).finish().status, 0);
    }
  }

  // Kills the run at the N-th call and checks both ends of each move, then runs the tool
  // once more; false once the run completed without being killed.
  bool killed_and_recovered(const std::string& call, int n, bool restoring) {
    SCOPED_TRACE(call + " " + std::to_string(n) + (restoring ? " restoring" : " installing"));
    prepare(restoring);
    const std::vector<std::string> strace = under_strace(
        {"-e", "trace=" + call, "-e", "inject=" + call + ":signal=KILL:when=" + std::to_string(n)});
    const RunResult killed = StartedRun(root(), restoring ? std::vector<std::string>{} : kInstall,
                                        Program::builder, strace)
                                 .finish();
    for (std::size_t i = 0; i < archives_.size(); ++i) {
      const auto& [path, bytes] = archives_[i];
      const std::string game = read_or_empty(path);
      const std::string backup = read_or_empty(at("backup") / path.filename());
      EXPECT_TRUE(game == bytes || backup == bytes) << path;
      for (const std::string* end : {&game, &backup}) {
        EXPECT_TRUE(end->empty() || *end == bytes || *end == installed_[i])
            << path << ": an end holds " << end->size() << " bytes";
      }
    }
    const RunResult next = StartedRun(root(), {}).finish();
    EXPECT_EQ(next.status, 0) << next.output << next.errors;
    for (const auto& [path, bytes] : archives_) {
      EXPECT_EQ(read_or_empty(path), bytes) << path;
      EXPECT_EQ(stdfs::last_write_time(path), long_ago_) << path;
      EXPECT_EQ(stdfs::status(path).permissions(), kGamePerms) << path;
    }
    return killed.status == -1;
  }

  const std::vector<std::string> kInstall = {"mod/mod.def", "-mod"};
  const SmallVolume game_{std::uint64_t{4} << 20, root()};
  const stdfs::file_time_type long_ago_ =
      std::chrono::floor<std::chrono::seconds>(stdfs::file_time_type::clock::now()) -
      std::chrono::hours(24 * 365);
  std::vector<std::pair<stdfs::path, std::string>> archives_;  // the game's, as it was
  std::vector<std::string> installed_;                         // the mod's, in their place
};

TEST_F(CrashTest, EveryKillIsFinishedOrUndoneByTheNextRun) {
  for (const bool restoring : {false, true}) {
    for (const char* call : kSyscalls) {
      for (int n = 1; killed_and_recovered(call, n, restoring) && !HasFailure(); ++n) {
      }
    }
  }
}

// A game folder that cannot be written through to the disk (strace fails every sync of
// it) ends the installation with the game as it was: a move it does not keep could come
// undone at a power loss.
TEST_F(CrashTest, AGameFolderNotWrittenThroughLeavesTheGameAsItWas) {
  prepare(false);
  const std::string data = archives_[0].first.parent_path().string();
  const RunResult run = StartedRun(root(), kInstall, Program::builder,
                                   under_strace({"-P", data, "-e", "inject=fsync:error=EIO"}))
                            .finish();
  EXPECT_NE(run.status, 0) << run.output;
  EXPECT_EQ(read_or_empty(archives_[0].first), archives_[0].second);
}

}  // namespace
}  // namespace vexal::test
