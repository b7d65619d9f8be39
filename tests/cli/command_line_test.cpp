// The argument rules, the settings checks and -cleanup, on the real binary.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/cli_fixture.h"

namespace vexal::test {
namespace {

const std::string kUsage =
    "usage: vexal_mod_builder.exe                 (restores archives)\n"
    "       vexal_mod_builder.exe -cleanup        (cleanup config.ini)\n"
    "       vexal_mod_builder.exe mod_path        (build mod archives)\n"
    "       vexal_mod_builder.exe mod_path -mod   (build and apply mod)\n\n";

using CommandLineTest = CliTest;

TEST_F(CommandLineTest, EveryRunStartsWithTheBanner) {
  const RunResult result = run({"?"});
  EXPECT_TRUE(result.output.starts_with("Vexal MOD builder by "));
  EXPECT_NE(result.output.find(", V1.2, 2013-06-02.\n"), std::string::npos);
}

TEST_F(CommandLineTest, HelpRequestPrintsUsageWithoutTouchingConfig) {
  for (const std::string argument : {"?", "-?", "/?", "-h", "-HELP", "--Help"}) {
    const RunResult result = run({argument});
    EXPECT_EQ(result.status, 11) << argument;
    EXPECT_EQ(after_banner(result.output), kUsage) << argument;
  }
}

TEST_F(CommandLineTest, MoreThanTwoArgumentsEndBeforeAnythingElse) {
  const RunResult result = run({"a.def", "-mod", "x"});
  EXPECT_EQ(result.status, 10);
  EXPECT_EQ(after_banner(result.output), kUsage + "Error - wrong parameters count!\n");
}

TEST_F(CommandLineTest, NoArgumentsWithNothingToRestoreIsDone) {
  write_config();
  const RunResult result = run({});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), "All done.\n\n");
}

// Without config.ini even a wrong second argument is reported only as the missing file.
TEST_F(CommandLineTest, MissingConfigEndsWith200) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"a.def", "b.def"}}) {
    const RunResult result = run(args);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(after_banner(result.output), "Error - can't open \"config.ini\" file!\n");
  }
}

TEST_F(CommandLineTest, IncompletePathSectionEndsWith201) {
  const std::vector<std::string> configs = {
      "[PATH]\nvexal=/g\nvexalcd=/c\n",              // no allowcdmod
      "[PATH]\nvexalcd=/c\nallowcdmod=1\n",          // no vexal
      "[PATH]\nvexal=\nvexalcd=/c\nallowcdmod=1\n",  // empty vexal
      "[path]\nVEXAL=/g\nvexalcd=\nAllowCDMod=0\n",  // empty vexalcd
  };
  for (const std::string& text : configs) {
    write_file("config.ini", text);
    const RunResult result = run({});
    EXPECT_EQ(result.status, 201) << text;
    EXPECT_EQ(after_banner(result.output), "Error - missing \"config.ini\" values!\n") << text;
  }
}

TEST_F(CommandLineTest, PercentInAConfiguredPathIsAVariableReference) {
  write_file("config.ini", "[PATH]\nvexal=/g/50%\nvexalcd=/c\nallowcdmod=1\n");
  EXPECT_EQ(run({}).status, 101);
  write_file("config.ini", "[PATH]\nvexal=/g/%VEXALCD%\nvexalcd=/c\nallowcdmod=1\n");
  const RunResult result = run({});
  EXPECT_EQ(result.status, 102);
  EXPECT_EQ(after_banner(result.output), "Error - undefined variable!\n");
}

TEST_F(CommandLineTest, TwoArgumentsNeedMod) {
  write_config();
  for (const auto& args : std::vector<std::vector<std::string>>{{"a.def", "b.def"}, {"?", "x"}}) {
    const RunResult result = run(args);
    EXPECT_EQ(result.status, 11);
    EXPECT_EQ(after_banner(result.output), kUsage + "Error - invalid parameters!\n");
  }
}

TEST_F(CommandLineTest, MissingDefinitionFileEndsWith316) {
  write_config();
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-mod"}, {"missing.def"}, {"-MOD", "missing.def"}, {"missing.def", "-Mod"}}) {
    const RunResult result = run(args);
    EXPECT_EQ(result.status, exit_status_of(316)) << args[0];
    EXPECT_EQ(after_banner(result.output), "Error - can't open *.DEF file!\n") << args[0];
  }
}

TEST_F(CommandLineTest, CleanupZeroesArchiveKeysOnly) {
  const std::string status =
      "[STATUS]\nmod_data=/m/out/\nvexal_backup=/b\nBASICS_FS=1\nWORDS_FS=0\nQ42_FS=yes\n";
  write_config(status);
  const RunResult result = run({"-CLEANUP"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), "Cleaning up \"config.ini\" trash ... done\n\n");
  EXPECT_NE(config().find("mod_data=/m/out/\nvexal_backup=/b\nBASICS_FS=0\nWORDS_FS=0\nQ42_FS=0\n"),
            std::string::npos)
      << config();
}

TEST_F(CommandLineTest, CleanupNeedsNoPathSectionButAConfig) {
  write_file("config.ini", "; nothing here\n");
  EXPECT_EQ(run({"-cleanup"}).status, 0);
  EXPECT_EQ(config(), "; nothing here\n");

  std::filesystem::remove(at("config.ini"));
  const RunResult result = run({"-cleanup"});
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(after_banner(result.output),
            "Cleaning up \"config.ini\" trash ... failed\n\n"
            "Error - can't open \"config.ini\" file!\n");
}

TEST_F(CommandLineTest, CleanupWithASecondArgumentIsNoCleanup) {
  write_config();
  EXPECT_EQ(run({"-cleanup", "x"}).status, 11);
}

TEST_F(CommandLineTest, ReadOnlyConfigEndsTheRunWhenWritten) {
  write_config("[STATUS]\nBASICS_FS=1\n");
  std::filesystem::permissions(at("config.ini"), std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::group_read |
                                                     std::filesystem::perms::others_read);
  const std::string before = config();
  const RunResult result = run({"-cleanup"});
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(after_banner(result.output),
            "Cleaning up \"config.ini\" trash ... Error - Unable to write to " +
                composed(root(), "config.ini") + "\n");
  EXPECT_EQ(config(), before);
}

TEST_F(CommandLineTest, WithoutAWorkingFolderEveryStepNeedingConfigEndsWith200) {
  if (windows_paths()) {
    GTEST_SKIP() << "Wine does not start a program in a removed folder";
  }
  write_config();
  const std::string missing = "Error - can't open \"config.ini\" file!\n";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, missing},
      {{"-cleanup"}, "Cleaning up \"config.ini\" trash ... failed\n\n" + missing},
      {{"mod.def", "-mod"}, missing},
  };
  for (const auto& [args, output] : cases) {
    SCOPED_TRACE(args.empty() ? "" : args[0]);
    std::filesystem::create_directory(at("gone"));
    const RunResult result = StartedRun(at("gone"), args, true).finish();
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(after_banner(result.output), output);
    EXPECT_NE(result.errors.find("the working folder cannot be read"), std::string::npos)
        << result.errors;
  }
}

TEST_F(CommandLineTest, ARunWaitsWhileAnotherHoldsTheLockFile) {
  if (windows_paths()) {
    GTEST_SKIP() << "the Windows build locks through Wine, which flock does not reach";
  }
  write_config();
  // Locked here as a run of the tool locks it.
  const int held = open(at("vexal_mod_builder.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  StartedRun waiting(root(), {});
  EXPECT_TRUE(waiting.wait_for_error_text("waiting for it to end (lock file \"" +
                                          composed(root(), "vexal_mod_builder.lock") + "\")\n"));
  close(held);
  const RunResult result = waiting.finish();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), "All done.\n\n");
}

TEST_F(CommandLineTest, RunsGoOnWithoutALockFileThatCannotBeCreated) {
  write_config();
  std::filesystem::create_directory(at("vexal_mod_builder.lock"));
  const RunResult result = run({});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(after_banner(result.output), "All done.\n\n");
  EXPECT_NE(result.errors.find("warning: cannot lock \"" +
                               composed(root(), "vexal_mod_builder.lock") + "\""),
            std::string::npos)
      << result.errors;
}

}  // namespace
}  // namespace vexal::test
