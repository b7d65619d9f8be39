// Thousands of random sequences of whole runs on the fake file system: two mods
// installed in turn, plain restores, -cleanup and a definition that fails, with a file
// operation or a config.ini write failing, or the process dying, at a random point of
// random runs. After every run each game archive must exist, whole, in the game's folder
// or in the backup folder; and when a sequence's faults were all failures (no crash) and
// it has no -cleanup, the first plain run after the last fault must leave the game's
// folders holding exactly the game's own archives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "driver/run.h"
#include "install/install_fixture.h"
#include "platform/ascii.h"
#include "support/archive_builder.h"

namespace vexal::test {
namespace {

struct GameArchive {
  std::string path;
  std::string name;
};

const GameArchive kGameArchives[] = {{std::string(kGameData) + "BASICS.FS", "BASICS.FS"},
                                     {std::string(kGameData) + "WORDS.FS", "WORDS.FS"},
                                     {std::string(kGameData) + "TROOP.FSU", "TROOP.FSU"},
                                     {std::string(kCdData) + "VIDEO.FS", "VIDEO.FS"}};

std::string game_bytes(const GameArchive& archive) {
  if (archive.name == "TROOP.FSU") {
    return build_two_level({{"ARCHR", {{"001", "bow"}}}, {"PIKE", {{"001", "pike"}}}});
  }
  return build_flat({{"A.DAT", "game " + archive.name}, {"B.DAT", "b"}});
}

struct RunKind {
  const char* name;
  std::vector<std::string> args;
};

const RunKind kInstallA{"install a", {"C:\\mods\\a\\a.def", "-mod"}};
const RunKind kInstallB{"install b", {"-mod", "C:\\mods\\b\\b.def"}};
const RunKind kPlain{"plain", {}};
const RunKind kCleanup{"-cleanup", {"-cleanup"}};
const RunKind kFailingDefinition{"failing definition", {"C:\\mods\\bad\\bad.def", "-mod"}};

void set_up(FakeFileSystem& fs) {
  fs.add_file(kConfig, kPathLines);
  for (const GameArchive& archive : kGameArchives) {
    fs.add_file(archive.path, game_bytes(archive));
  }
  fs.add_file("C:\\mods\\a\\a.def",
              "class PATH { MAKE = out; }\n"
              "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, gfx); }\n"
              "class TROOP.FSU { add(%VEXAL%\\data\\TROOP.FSU); add(ALL, troop); }\n"
              "class VIDEO.FS { add(%VEXALCD%\\data\\VIDEO.FS); add(ALL, gfx); }\n");
  fs.add_file("C:\\mods\\a\\gfx\\B.DAT", "mod a");
  fs.add_file("C:\\mods\\a\\troop\\pike\\001", "long pike");
  fs.add_file("C:\\mods\\b\\b.def",
              "class PATH { MAKE = ..\\built; }\n"
              "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, gfx); }\n"
              "class WORDS.FS { add(%VEXAL%\\data\\WORDS.FS); add(NEW, gfx); }\n");
  fs.add_file("C:\\mods\\b\\gfx\\C.DAT", "mod b");
  fs.add_file("C:\\mods\\bad\\bad.def",
              "class PATH { MAKE = out; }\n"
              "class WORDS.FS { add(%VEXAL%\\data\\WORDS.FS); add(ALL, missing); }\n");
}

// Every game archive, whole, in the game's folder or in the backup folder; empty when so.
std::string lost_archives(const FakeFileSystem& fs) {
  std::string lost;
  for (const GameArchive& archive : kGameArchives) {
    const std::string bytes = game_bytes(archive);
    if (fs.contents(archive.path) != bytes && fs.contents(kBackup + archive.name) != bytes) {
      lost += " " + archive.name;
    }
  }
  return lost;
}

// The files of the game's folders that are not the game's own archives; empty when none.
std::string foreign_game_files(const FakeFileSystem& fs) {
  std::string foreign;
  std::size_t own = 0;
  for (const auto& [path, bytes] : fs.files()) {
    const bool in_game = (path.starts_with("C:\\GAME\\") || path.starts_with("E:\\CD\\")) &&
                         !path.ends_with(".lock");
    const bool is_own = std::any_of(
        std::begin(kGameArchives), std::end(kGameArchives), [&](const GameArchive& archive) {
          return equal_ignoring_case(path, archive.path) && bytes == game_bytes(archive);
        });
    own += is_own ? 1 : 0;
    foreign += in_game && !is_own ? " " + path : "";
  }
  return own == std::size(kGameArchives) ? foreign : foreign + " (an archive is missing)";
}

enum class Fault { none, fail, crash };

struct Step {
  const RunKind* kind;
  Fault fault = Fault::none;
  std::uint64_t at = 0;  // the mutating call that fails, or after which the process dies
};

// The same sequences on every platform: mt19937 is defined to the bit.
std::vector<Step> random_sequence(std::mt19937& engine) {
  const auto below = [&](std::uint32_t n) { return static_cast<std::uint32_t>(engine() % n); };
  std::vector<Step> steps(2 + below(9));
  for (Step& step : steps) {
    const std::uint32_t pick = below(20);
    step.kind = pick < 7    ? &kInstallA
                : pick < 13 ? &kInstallB
                : pick < 17 ? &kPlain
                : pick < 18 ? &kCleanup
                            : &kFailingDefinition;
    if (below(3) == 0) {
      step.fault = below(2) == 0 ? Fault::fail : Fault::crash;
      step.at = 1 + below(30);
    }
  }
  return steps;
}

// Runs one step; true when the process died in it.
bool run_step(FakeFileSystem& fs, const Step& step) {
  if (step.fault != Fault::none) {
    fs.hook =
        at_mutations({step.at}, step.fault == Fault::fail ? FakeFileSystem::Verdict::fail
                                                          : FakeFileSystem::Verdict::crash_after);
  }
  bool crashed = false;
  try {
    run_tool(step.kind->args, fs);
  } catch (const FakeCrash&) {
    crashed = true;
  }
  fs.restart();
  return crashed;
}

std::string describe(const std::vector<Step>& steps, std::size_t upto) {
  std::string text;
  for (std::size_t i = 0; i <= upto && i < steps.size(); ++i) {
    text += "\n  " + std::string(steps[i].kind->name);
    if (steps[i].fault != Fault::none) {
      text += (steps[i].fault == Fault::fail ? ", failing call " : ", dying after call ") +
              std::to_string(steps[i].at);
    }
  }
  return text;
}

// Runs a sequence, then a plain run without faults; the first broken rule, or empty.
std::string run_sequence(std::vector<Step> steps, std::size_t& runs) {
  FakeFileSystem fs{kCwd};
  set_up(fs);
  steps.push_back({&kPlain});
  std::size_t last_fault = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    last_fault = steps[i].fault != Fault::none ? i + 1 : last_fault;
  }
  bool crashed = false;
  bool cleaned = false;
  bool checked_plain_run = false;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    ++runs;
    crashed = run_step(fs, steps[i]) || crashed;
    cleaned = cleaned || steps[i].kind == &kCleanup;
    if (const std::string lost = lost_archives(fs); !lost.empty()) {
      return "lost:" + lost + describe(steps, i);
    }
    if (!crashed && !cleaned && !checked_plain_run && i >= last_fault && steps[i].kind == &kPlain) {
      checked_plain_run = true;
      if (const std::string foreign = foreign_game_files(fs); !foreign.empty()) {
        return "not the game's own after a plain run:" + foreign + describe(steps, i);
      }
    }
  }
  return {};
}

// Unoptimized and sanitizer builds run the tool twenty times slower: they run the first
// fifth of the same sequences, so that the suite stays fast.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
constexpr int kSequences = 600;
#else
constexpr int kSequences = 3000;
#endif

TEST(Soak, NoSequenceOfRunsLosesAGameArchive) {
  std::mt19937 engine(20240611);
  std::size_t runs = 0;
  std::string broken;
  int sequence = 0;
  // What the runs print goes to a file, not to the test log.
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  for (; sequence < kSequences && broken.empty(); ++sequence) {
    broken = run_sequence(random_sequence(engine), runs);
  }
  ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
  std::printf("%d sequences, %zu runs\n", sequence, runs);
  EXPECT_EQ(broken, "") << "sequence " << sequence;
}

}  // namespace
}  // namespace vexal::test
