// Faults and crashes at every step of an installation and of its restore. Whatever
// goes wrong at any single point, the next run's restore must leave each game archive,
// byte for byte, in the game's folder or in the backup folder, and the outcome must be
// the one the order of the steps promises.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <utility>

#include "install/install.h"
#include "install/restore.h"
#include "install_fixture.h"

namespace vexal::test {
namespace {

struct Archive {
  std::string name;
  std::string folder;  // where the game keeps it
  std::string key;
};

const std::vector<Archive> kArchives = {{"BASICS.FS", kGameData, "BASICS_FS"},
                                        {"TROOP.FSU", kGameData, "TROOP_FSU"},
                                        {"VIDEO.FS", kCdData, "VIDEO_FS"}};

std::string game_bytes(const Archive& a) {
  return std::string("game\0\xff", 6) + a.name;
}
std::string mod_bytes(const Archive& a) {
  return std::string("mod\0\x01", 5) + a.name;
}

enum class Fault { fail, crash };
enum class Outcome { restored, reported_501, unrecorded };

const char* fault_name(Fault fault) {
  return fault == Fault::fail ? "fail" : "crash after";
}
const char* outcome_name(Outcome outcome) {
  switch (outcome) {
    case Outcome::restored:
      return "restored";
    case Outcome::reported_501:
      return "501, game archive in place";
    case Outcome::unrecorded:
      return "unrecorded, game archive in backup";
  }
  return "";
}

// What a mutating step of a healthy run does, for telling which outcome a fault there has.
enum class StepKind { move_out, move_in, write_key, other };
struct Step {
  std::string journal_line;
  StepKind kind = StepKind::other;
  const Archive* archive = nullptr;
};

struct Expectation {
  Outcome outcome;
  const Archive* archive;  // the one not restored, for 501 and unrecorded
};

// The world of one attempt: a game with the three archives, and a built mod of them.
struct CrashWorld : InstallWorld {
  BuiltMod mod;
  CrashWorld() {
    for (const Archive& a : kArchives) {
      fs.add_file(a.folder + a.name, game_bytes(a));
      fs.add_file(kOutput + a.name, mod_bytes(a));
      mod.add(a.name);
    }
  }
};

// Runs one step of the tool to its end, however it ends; the text says how.
std::string run_step(const std::function<Status()>& step) {
  try {
    return "returned " + std::to_string(static_cast<int>(step()));
  } catch (const FakeCrash&) {
    return "crashed";
  }
}

Status install(CrashWorld& world) {
  SilentReporter reporter;
  return install_mod(world.fs, reporter, world.mod.list, world.mod.slots, kOutput);
}

Status restore(CrashWorld& world) {
  SilentReporter reporter;
  return restore_archives(world.fs, reporter);
}

const Archive* archive_at(const std::string& line, const std::string& prefix) {
  for (const Archive& a : kArchives) {
    if (line.find(" " + prefix + a.name + " ->") != std::string::npos) {
      return &a;
    }
  }
  return nullptr;
}

// Labels the mutating calls of a healthy run. A move out of a game folder is the first
// move of an archive, a move from the output folder (installing) or from the backup
// folder (restoring) the second; the next write of config.ini records that archive.
std::vector<Step> label_steps(const std::vector<std::string>& journal, bool restoring) {
  std::vector<Step> steps;
  const Archive* awaiting_key = nullptr;
  for (const std::string& line : journal) {
    Step step{line.substr(line.find(' ') + 1)};
    const Archive* from_game = nullptr;
    for (const Archive& a : kArchives) {
      if (line.find(" " + a.folder + a.name + " ->") != std::string::npos) {
        from_game = &a;
      }
    }
    const Archive* from_other = archive_at(line, restoring ? kBackup : kOutput);
    if (from_game != nullptr) {
      step.kind = StepKind::move_out;
      step.archive = from_game;
    } else if (from_other != nullptr) {
      step.kind = StepKind::move_in;
      step.archive = awaiting_key = from_other;
    } else if (line.find("config.ini") != std::string::npos && awaiting_key != nullptr) {
      step.kind = StepKind::write_key;
      step.archive = std::exchange(awaiting_key, nullptr);
    }
    steps.push_back(step);
  }
  return steps;
}

// The promises of the order of work. An installation records an archive only after
// both its moves, so a crash between its first move and its key leaves it unrecorded; a
// key that cannot be written takes its swap back. A restore clears a key only after the
// game archive is back, so a stop between the two is found by the next restore and
// reported with 501.
Expectation expected_after_install(const Step& step, Fault fault) {
  const bool unrecorded =
      fault == Fault::crash && (step.kind == StepKind::move_out || step.kind == StepKind::move_in);
  return unrecorded ? Expectation{Outcome::unrecorded, step.archive}
                    : Expectation{Outcome::restored, nullptr};
}

Expectation expected_after_restore(const Step& step, Fault fault) {
  const bool stopped_before_key = (fault == Fault::crash && step.kind == StepKind::move_in) ||
                                  (fault == Fault::fail && step.kind == StepKind::write_key);
  return stopped_before_key ? Expectation{Outcome::reported_501, step.archive}
                            : Expectation{Outcome::restored, nullptr};
}

void check_state(CrashWorld& world, Status next_restore, const Expectation& expected) {
  EXPECT_EQ(next_restore,
            expected.outcome == Outcome::reported_501 ? Status::restore_failed : Status::ok);
  for (const Archive& a : kArchives) {
    SCOPED_TRACE(a.name);
    const std::string in_game = world.file(a.folder + a.name);
    const std::string in_backup = world.file(kBackup + a.name);
    // Never lost, whatever happened.
    EXPECT_TRUE(in_game == game_bytes(a) || in_backup == game_bytes(a));
    const std::string key = world.status(a.key);
    if (&a == expected.archive && expected.outcome == Outcome::unrecorded) {
      EXPECT_EQ(in_backup, game_bytes(a));
      EXPECT_NE(in_game, game_bytes(a));
      EXPECT_TRUE(key == "<missing>" || key == "0") << key;
    } else if (&a == expected.archive) {
      EXPECT_EQ(in_game, game_bytes(a));
      EXPECT_EQ(key, "1");
    } else {
      EXPECT_EQ(in_game, game_bytes(a));
      EXPECT_EQ(in_backup, "<none>");
      EXPECT_TRUE(key == "<missing>" || key == "0") << key;
    }
  }
}

struct Scenario {
  const char* title;
  std::function<void(CrashWorld&)> prepare;  // brings the world to the start of the step
  std::function<Status(CrashWorld&)> step;
  bool restoring;
  Expectation (*expected)(const Step&, Fault);
};

void run_scenario(const Scenario& scenario) {
  CrashWorld dry;
  scenario.prepare(dry);
  const std::size_t before = dry.fs.journal().size();
  ASSERT_EQ(run_step([&] { return scenario.step(dry); }), "returned 0");
  const std::vector<std::string> journal(dry.fs.journal().begin() + before, dry.fs.journal().end());
  const std::vector<Step> steps = label_steps(journal, scenario.restoring);

  std::printf("\n%s: %zu mutating calls\n", scenario.title, steps.size());
  std::printf("%-3s %-62s %-11s %-12s %-5s %s\n", "#", "operation", "fault", "run", "next",
              "outcome");
  for (std::size_t n = 1; n <= steps.size(); ++n) {
    for (const Fault fault : {Fault::fail, Fault::crash}) {
      SCOPED_TRACE(std::string(fault_name(fault)) + " " + steps[n - 1].journal_line);
      CrashWorld world;
      scenario.prepare(world);
      if (fault == Fault::fail) {
        world.fs.fail_operation(n);
      } else {
        world.fs.crash_after(n);
      }
      const std::string ending = run_step([&] { return scenario.step(world); });
      world.fs.clear_faults();
      Status next = Status::programmer_error;
      run_step([&] { return next = restore(world); });
      const Expectation expected = scenario.expected(steps[n - 1], fault);
      check_state(world, next, expected);
      std::printf("%-3zu %-62s %-11s %-12s %-5d %s%s%s\n", n, steps[n - 1].journal_line.c_str(),
                  fault_name(fault), ending.c_str(), static_cast<int>(next),
                  outcome_name(expected.outcome), expected.archive ? " " : "",
                  expected.archive ? expected.archive->name.c_str() : "");
    }
  }
  std::fflush(stdout);
}

TEST(CrashSafety, InstallationStoppedAtAnyPoint) {
  run_scenario({"installation", [](CrashWorld&) {}, install, false, expected_after_install});
}

TEST(CrashSafety, RestoreStoppedAtAnyPoint) {
  run_scenario(
      {"restore",
       [](CrashWorld& world) { ASSERT_EQ(run_step([&] { return install(world); }), "returned 0"); },
       restore, true, expected_after_restore});
}

TEST(CrashSafety, FailedSecondMoveOfARestoreIsReportedThenRepaired) {
  CrashWorld world;
  ASSERT_EQ(run_step([&] { return install(world); }), "returned 0");
  world.fs.fail_if = [](std::string_view op, const std::string& path) {
    return op == "move" && path == kBackup + std::string("TROOP.FSU");
  };
  EXPECT_EQ(run_step([&] { return restore(world); }), "returned 501");
  EXPECT_EQ(world.file(kGameData + std::string("TROOP.FSU")), mod_bytes(kArchives[1]));
  EXPECT_EQ(world.status("TROOP_FSU"), "1");
  world.fs.clear_faults();
  EXPECT_EQ(run_step([&] { return restore(world); }), "returned 0");
  check_state(world, Status::ok, {Outcome::restored, nullptr});
}

}  // namespace
}  // namespace vexal::test
