// Runs at the same time, which wait for each other; runs that the system fails or kills
// where no unit test can make it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// True when the tool can be started through the launcher here (it is installed, and the
// user it may switch to can reach the binary).
bool starts_through(const std::vector<std::string>& launcher, const stdfs::path& folder) {
  return StartedRun(folder, {"?"}, Program::builder, false, launcher).finish().status == 11;
}

// The tool started by strace with these arguments, without the leak check of a sanitized
// build, which cannot work in a traced process.
std::vector<std::string> under_strace(const std::vector<std::string>& arguments) {
  std::vector<std::string> launcher = {
      "env",      "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1", "strace", "-f", "-qq", "-o",
      "/dev/null"};
  launcher.insert(launcher.end(), arguments.begin(), arguments.end());
  return launcher;
}

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

// A definition that cannot be read to its end (a read error injected by strace) and
// source folders the user may not list (run as nobody) end the build with their report,
// and standard error tells the system's reason.
TEST_F(ProcessTest, ReadAndListingErrorsEndTheBuildWithTheSystemsReason) {
  if (windows_paths()) {
    GTEST_SKIP() << "strace and setpriv reach only the Linux build";
  }
  ::umask(022);  // anyone may read what the test writes, but for the folders it closes
  stdfs::permissions(root(), stdfs::perms::others_read | stdfs::perms::others_exec,
                     stdfs::perm_options::add);
  write_config();
  dir_.write_file("game/data/BASICS.FS", build_flat({}));
  dir_.write_file("mod/files/flat/A.TXT", "a");
  dir_.write_file("mod/files/troop/KNGT/A01", "1");
  for (const char* source : {"flat", "troop"}) {
    // Two reads take the definition: the second may fail.
    dir_.write_file(std::string("mod/") + source + ".def",
                    std::string(5000, '\n') +
                        "class PATH { MAKE = out }\nclass BASICS.FS { add(files\\" + source +
                        ") }\n");
  }
  for (const char* closed : {"mod/files/flat", "mod/files/troop/KNGT"}) {
    stdfs::permissions(at(closed), stdfs::perms::owner_read | stdfs::perms::owner_write,
                       stdfs::perm_options::replace);
  }
  const std::vector<std::string> nobody = {"setpriv", "--reuid=65534", "--regid=65534",
                                           "--clear-groups"};
  const struct {
    std::vector<std::string> launcher;
    const char* definition;
    int code;
    std::string told;
  } rows[] = {
      {nobody, "mod/flat.def", 402, "files\\flat: Permission denied\n"},
      {nobody, "mod/troop.def", 402, "files\\troop\\KNGT: Permission denied\n"},
      {under_strace({"-P", at("mod/flat.def").string(), "-e", "inject=read:error=EIO:when=2"}),
       "mod/flat.def", 316, "mod/flat.def: cannot be read to its end: Input/output error\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.told);
    if (!starts_through(row.launcher, root())) {
      GTEST_SKIP() << row.launcher.front() << " cannot start the tool here";
    }
    const RunResult result =
        StartedRun(root(), {row.definition}, Program::builder, false, row.launcher).finish();
    EXPECT_EQ(result.status, row.code & 0xFF);
    EXPECT_NE(result.errors.find(row.told), std::string::npos) << result.errors;
  }
}

// An installation moves archives between the game's volume and the working folder's:
// they keep their last write time and permissions. Whenever the process is killed (by
// strace, before each change it would make to the disk), neither end of a move holds a
// part of an archive under its name, and the game's archive is at one of them. Both
// volumes are small ones of memory, where writing through to the disk costs nothing.
TEST_F(ProcessTest, MovesBetweenVolumesNeverLeaveAPartOfAnArchive) {
  const SmallVolume game(std::uint64_t{2} << 20, root());
  const SmallVolume work(std::uint64_t{4} << 20, root());
  if (!game.mounted() || !work.mounted()) {
    GTEST_SKIP() << "no second volume: this process may not mount one";
  }
  const std::string game_archive =
      build_flat({{"A.DAT", "a"}, {"B.DAT", std::string(std::size_t{600} << 10, 'b')}});
  const stdfs::path game_file = game.dir().path() / "data" / "BASICS.FS";
  const stdfs::path backup_file = work.dir().path() / "backup" / "BASICS.FS";
  const auto long_ago =
      std::chrono::floor<std::chrono::seconds>(stdfs::file_time_type::clock::now()) -
      std::chrono::hours(24 * 365);
  const auto prepare = [&] {
    stdfs::remove_all(work.dir().path() / "backup");
    stdfs::remove_all(work.dir().path() / "mod" / "out");
    game.dir().write_file("data/BASICS.FS", game_archive);
    stdfs::permissions(
        game_file, stdfs::perms::owner_read | stdfs::perms::owner_write | stdfs::perms::group_read);
    stdfs::last_write_time(game_file, long_ago);
    work.dir().write_file("config.ini", "[PATH]\nvexal=" + tool_path(game.dir().path()) +
                                            "\nvexalcd=" + tool_path(at("cd")) +
                                            "\nallowcdmod=1\n");
  };
  work.dir().write_file("mod/mod.def",
                        "class PATH { MAKE = out; }\n"
                        "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, files) }\n");
  work.dir().write_file("mod/files/C.DAT", "c");
  const std::vector<std::string> install = {windows_paths() ? "mod\\mod.def" : "mod/mod.def",
                                            "-mod"};
  prepare();
  const RunResult plain = StartedRun(work.dir().path(), install).finish();
  ASSERT_EQ(plain.status, 0) << plain.output << plain.errors;
  const std::string mod_archive = game.dir().read_file("data/BASICS.FS");
  EXPECT_TRUE(work.dir().read_file("backup/BASICS.FS") == game_archive);
  EXPECT_NE(mod_archive, game_archive);
  EXPECT_EQ(stdfs::last_write_time(backup_file), long_ago);
  if (windows_paths() || !starts_through(under_strace({}), root())) {
    return;  // the Windows build keeps attributes, not permissions; kills need strace
  }
  EXPECT_EQ(stdfs::status(backup_file).permissions(),
            stdfs::perms::owner_read | stdfs::perms::owner_write | stdfs::perms::group_read);
  // Each state a move passes through on disk stands right before one of these calls: a
  // copy begun or whole under its hidden name, the copy in place beside its source.
  for (const char* call : {"fchown", "fchmod", "utimensat", "renameat2", "unlink"}) {
    for (int n = 1; n < 1000; ++n) {
      SCOPED_TRACE(std::string(call) + " " + std::to_string(n));
      prepare();
      const RunResult killed =
          StartedRun(work.dir().path(), install, Program::builder, false,
                     under_strace({"-e", "inject=" + std::string(call) +
                                             ":signal=KILL:when=" + std::to_string(n)}))
              .finish();
      bool kept = false;  // the game's archive is at one end at least
      for (const stdfs::path& end : {game_file, backup_file}) {
        std::ifstream in(end, std::ios::binary);
        const std::string held(std::istreambuf_iterator<char>(in), {});
        EXPECT_TRUE(!stdfs::exists(end) || held == game_archive || held == mod_archive)
            << end << " holds " << held.size() << " bytes";
        kept = kept || held == game_archive;
      }
      EXPECT_TRUE(kept);
      if (killed.status != -1) {
        break;  // the run was not killed: no call left to kill it at
      }
    }
  }
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
