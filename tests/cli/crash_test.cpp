// The real tool killed at the N-th call of each system call that changes files, during
// an installation and during a restore, for every N until the run completes (strace
// injects the kill). The game lies on a small volume of its own where this process may
// mount one, so that its archives are copied between volumes. After each kill neither
// end of a move holds a part of an archive under its name and the game's archive is
// whole at one of them; one plain run then ends with status 0 and leaves the game's own
// archives in its folders, byte for byte, with their time and permissions.
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "support/archive_builder.h"
#include "support/cli_runner.h"
#include "support/small_volume.h"

namespace vexal::test {
namespace {

namespace stdfs = std::filesystem;

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
    if (windows_paths() || std::system("strace -V >/dev/null 2>&1") != 0) {
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

}  // namespace
}  // namespace vexal::test
