// Faults and crashes at every step of an installation and of its restore. Whatever
// goes wrong at any single point, the next run's restore must leave each game archive,
// byte for byte, in the game's folder or in the backup folder, and the outcome must be
// the one the order of the steps promises.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "install/install.h"
#include "install/restore.h"
#include "install_fixture.h"
#include "platform/ascii.h"

namespace vexal::test {
namespace {

using Verdict = FakeFileSystem::Verdict;

struct Archive {
  std::string name;
  std::string folder;  // where the game keeps it
  std::string key;
};

const std::vector<Archive> kArchives = {{"BASICS.FS", kGameData, "BASICS_FS"},
                                        {"TROOP.FSU", kGameData, "TROOP_FSU"},
                                        {"VIDEO.FS", kCdData, "VIDEO_FS"}};

std::string game_bytes(const Archive& a) {
  return "game " + a.name;
}

// The world of one attempt: a game, and a mod built of the three archives.
struct CrashWorld : ModWorld {
  CrashWorld() : ModWorld({"BASICS.FS", "TROOP.FSU", "VIDEO.FS"}) {}
};

// Runs one step of the tool to its end; nullopt when the process died in it.
std::optional<Status> run_step(const std::function<Status()>& step) {
  try {
    return step();
  } catch (const FakeCrash&) {
    return std::nullopt;
  }
}

Status install(CrashWorld& world) {
  SilentReporter reporter;
  return install_mod(world.fs, reporter, world.list, world.slots, kOutput);
}

Status restore(CrashWorld& world) {
  SilentReporter reporter;
  return restore_archives(world.fs, reporter);
}

// What a mutating call of a healthy run does, for telling which outcome a fault there has.
// A move between drives copies first and deletes its source last: copied_out is a game
// archive whose copy stands in the backup folder while it is still in the game's folder,
// move_in_started the second move of an archive that has begun.
enum class Kind { move_out, copied_out, move_in_started, move_in, write_key, other };
struct Call {
  Kind kind = Kind::other;
  const Archive* archive = nullptr;
};

struct Expectation {
  enum { restored, reported_501, unrecorded, duplicated } outcome;
  const Archive* archive;  // the one not restored, for 501 and unrecorded
};

// The promises of the order of work. An installation records an archive only after
// both its moves, so a crash between its first move and its key leaves it unrecorded; a
// key that cannot be written takes its swap back. A restore clears a key only after the
// game archive is back, so a stop between the two is found by the next restore and
// reported with 501.
Expectation expected_after_install(const Call& call, Verdict fault) {
  const bool crash = fault == Verdict::crash_after;
  if (crash && call.kind == Kind::copied_out) {
    return {Expectation::duplicated, call.archive};
  }
  const bool unrecorded = crash && (call.kind == Kind::move_out || call.kind == Kind::move_in ||
                                    call.kind == Kind::move_in_started);
  return {unrecorded ? Expectation::unrecorded : Expectation::restored, call.archive};
}

Expectation expected_after_restore(const Call& call, Verdict fault) {
  const bool stopped_before_key = (fault == Verdict::crash_after && call.kind == Kind::move_in) ||
                                  (fault == Verdict::fail && call.kind == Kind::write_key);
  return {stopped_before_key ? Expectation::reported_501 : Expectation::restored, call.archive};
}

void check_state(CrashWorld& world, std::optional<Status> next_restore,
                 const Expectation& expected) {
  EXPECT_EQ(next_restore,
            expected.outcome == Expectation::reported_501 ? Status::restore_failed : Status::ok);
  for (const Archive& a : kArchives) {
    SCOPED_TRACE(a.name);
    const std::string in_game = world.file(a.folder + a.name);
    const std::string in_backup = world.file(kBackup + a.name);
    // Never lost, whatever happened.
    EXPECT_TRUE(in_game == game_bytes(a) || in_backup == game_bytes(a));
    const std::string key = world.status(a.key);
    const bool cleared = key == "<missing>" || key == "0";
    if (&a == expected.archive && expected.outcome == Expectation::unrecorded) {
      EXPECT_EQ(in_backup, game_bytes(a));
      EXPECT_NE(in_game, game_bytes(a));
      EXPECT_TRUE(cleared) << key;
    } else if (&a == expected.archive && expected.outcome == Expectation::reported_501) {
      EXPECT_EQ(in_game, game_bytes(a));
      EXPECT_EQ(key, "1");
    } else if (&a == expected.archive && expected.outcome == Expectation::duplicated) {
      EXPECT_EQ(in_game, game_bytes(a));
      EXPECT_EQ(in_backup, game_bytes(a));
      EXPECT_TRUE(cleared) << key;
    } else {
      EXPECT_EQ(in_game, game_bytes(a));
      EXPECT_EQ(in_backup, "<none>");
      EXPECT_TRUE(cleared) << key;
    }
  }
}

struct Scenario {
  std::function<void(CrashWorld&)> prepare;  // brings the world to the start of the step
  std::function<Status(CrashWorld&)> step;
  bool restoring;
  Expectation (*expected)(const Call&, Verdict);
};

// Labels the mutating calls of a healthy run. A move out of a game folder is the first
// move of an archive, a move from the output folder (installing) or from the backup
// folder (restoring) the second; the next write of config.ini records that archive.
std::vector<Call> healthy_calls(const Scenario& scenario) {
  CrashWorld dry;
  scenario.prepare(dry);
  std::vector<Call> calls;
  const Archive* awaiting_key = nullptr;
  dry.fs.hook = [&](const FakeFileSystem::Op& op) {
    Call call;
    // A move between drives is done once it deletes its source.
    const bool step_across = op.name != "remove" && !op.to.empty() &&
                             !equal_ignoring_case(op.path.substr(0, 2), op.to.substr(0, 2));
    const bool moving = op.name == "move" || op.name == "copy" || op.name == "remove";
    for (const Archive& a : kArchives) {
      const std::string second_from = (scenario.restoring ? kBackup : kOutput) + a.name;
      if (moving && op.name != "copy" && equal_ignoring_case(op.path, a.folder + a.name)) {
        call = {step_across ? Kind::copied_out : Kind::move_out, &a};
      } else if (moving && equal_ignoring_case(op.path, second_from)) {
        call = {step_across ? Kind::move_in_started : Kind::move_in, awaiting_key = &a};
      }
    }
    if (op.name == "replace_file" && awaiting_key != nullptr) {
      call = {Kind::write_key, std::exchange(awaiting_key, nullptr)};
    }
    if (op.mutates) {
      calls.push_back(call);
    }
    return Verdict::pass;
  };
  EXPECT_EQ(run_step([&] { return scenario.step(dry); }), Status::ok);
  return calls;
}

void run_scenario(const Scenario& scenario) {
  const std::vector<Call> calls = healthy_calls(scenario);
  EXPECT_GE(calls.size(), 9u);
  for (std::size_t n = 1; n <= calls.size(); ++n) {
    for (const Verdict fault : {Verdict::fail, Verdict::crash_after}) {
      SCOPED_TRACE("call " + std::to_string(n) + (fault == Verdict::fail ? " fails" : " crashes"));
      CrashWorld world;
      scenario.prepare(world);
      world.fs.hook = at_mutations({n}, fault);
      run_step([&] { return scenario.step(world); });
      world.fs.restart();
      check_state(world, run_step([&] { return restore(world); }),
                  scenario.expected(calls[n - 1], fault));
    }
  }
}

TEST(CrashSafety, InstallationStoppedAtAnyPoint) {
  run_scenario({[](CrashWorld&) {}, install, false, expected_after_install});
}

TEST(CrashSafety, RestoreStoppedAtAnyPoint) {
  run_scenario({[](CrashWorld& world) { ASSERT_EQ(install(world), Status::ok); }, restore, true,
                expected_after_restore});
}

}  // namespace
}  // namespace vexal::test
