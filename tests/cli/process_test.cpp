// Runs at the same time, which wait for each other; runs that the system fails where no
// unit test can make it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/archive_builder.h"
#include "support/cli_runner.h"

namespace vexal::test {
namespace {

namespace stdfs = std::filesystem;
using ProcessTest = CliTest;

// True when the tool can be started through the launcher here (it is installed, and the
// user it may switch to can reach the binary).
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
        StartedRun(root(), {row.definition}, Program::builder, row.launcher).finish();
    EXPECT_EQ(result.status, row.code & 0xFF);
    EXPECT_NE(result.errors.find(row.told), std::string::npos) << result.errors;
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
