// One game, two working folders and two mods on the fake file system, with what happens
// to a player's game between runs: a patch or a repair replaces an archive, an output
// or backup folder is deleted, an archive goes missing, a run fails at a call or dies
// after one. The scenarios of world_cases.txt drive it step by step to the outcome they
// name and to what the runs tell the player; random sequences of the same steps drive
// it everywhere else. After every step:
// (a) every version of every game archive that was ever in the game's folders still
//     exists somewhere, unless the step itself deleted it;
// (b) after a run that ends with status 0 the game's folders hold every archive they
//     held before, each one whole;
// (c) no run moves or deletes a file in the game's folders or a backup folder that no
//     record names as the tool's at that moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <random>
#include <set>
#include <sstream>

#include "archive/archive_reader.h"
#include "driver/run.h"
#include "install/file_identity.h"
#include "install/install_record.h"
#include "platform/ascii.h"
#include "support/archive_builder.h"
#include "support/case_file.h"
#include "support/fake_file_system.h"
#include "toolkit/fs_tool.h"

namespace vexal::test {
namespace {

using Verdict = FakeFileSystem::Verdict;

const char* const kArchives[] = {"BASICS.FS", "WORDS.FS", "TROOP.FSU", "VIDEO.FS"};
const char* const kGameFolders[] = {"C:\\GAME\\data\\", "E:\\CD\\data\\"};

// Where the game keeps an archive: VIDEO.FS on the CD.
std::string game_path(const std::string& name) {
  return kGameFolders[name == "VIDEO.FS" ? 1 : 0] + name;
}

// The working folder of a run ('a' or 'b') and its mod, whose output folder is on
// another drive than the game for b.
std::string working_folder(char who) {
  return who == 'a' ? "C:\\play\\a" : "D:\\work\\b";
}
std::string output_folder(char who) {
  return who == 'a' ? "C:\\mods\\a\\out" : "D:\\mods\\built";
}

// The bytes of a version of an archive, which tell the version and the archive.
std::string archive_bytes(const std::string& name, const std::string& label) {
  if (name == "TROOP.FSU") {
    return build_two_level({{"PIKE", {{"001", label}}}});
  }
  return build_flat({{"A.DAT", label + " " + name}, {"B.DAT", "b"}});
}

void set_up(FakeFileSystem& fs) {
  // The one at the root of C: is no run's: "\config.ini" is not the working folder's.
  for (const std::string& folder : {working_folder('a'), working_folder('b'), std::string("C:")}) {
    fs.add_file(folder + "\\config.ini", "[PATH]\nvexal=C:\\GAME\nvexalcd=E:\\CD\nallowcdmod=1\n");
  }
  for (const char* name : kArchives) {
    fs.add_file(game_path(name), archive_bytes(name, "game"));
  }
  fs.add_file("C:\\mods\\a\\a.def",
              "class PATH { MAKE = out; }\n"
              "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, gfx); }\n"
              "class TROOP.FSU { add(%VEXAL%\\data\\TROOP.FSU); add(ALL, troop); }\n"
              "class VIDEO.FS { add(%VEXALCD%\\data\\VIDEO.FS); add(ALL, gfx); }\n");
  fs.add_file("C:\\mods\\a\\gfx\\B.DAT", "mod a");
  fs.add_file("C:\\mods\\a\\troop\\pike\\001", "long pike");
  fs.add_file("D:\\mods\\b\\b.def",
              "class PATH { MAKE = ..\\built; }\n"
              "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, gfx); }\n"
              "class WORDS.FS { add(gfx); }\n");
  fs.add_file("D:\\mods\\b\\gfx\\C.DAT", std::string(4000, 'b'));
  fs.add_file("C:\\mods\\bad.def", "class PATH { MAKE = out; }\nclass WORDS.FS { add(none); }\n");
  fs.add_file("C:\\mods\\g.def", "class PATH { MAKE = ..\\GAME\\.\\data; }\nclass WORDS.FS {}\n");
  fs.add_file("C:\\mods\\k.def", "class PATH { MAKE = ..\\play\\a\\backup; }\nclass WORDS.FS {}\n");
}

// The arguments of a run: "+" installs the mod, "." restores, "-" is -cleanup, "?" a
// definition that fails, "g" and "k" build into the game's data folder and into a's
// backup folder; vexal_fs "s" tells the status, "p" the plan of the mod.
std::vector<std::string> arguments(char who, char kind) {
  const std::string definition = kind == '?'   ? "C:\\mods\\bad.def"
                                 : kind == 'g' ? "C:\\mods\\g.def"
                                 : kind == 'k' ? "C:\\mods\\k.def"
                                 : who == 'a'  ? "C:\\mods\\a\\a.def"
                                               : "D:\\mods\\b\\b.def";
  return kind == 's'                  ? std::vector<std::string>{"status"}
         : kind == 'p'                ? std::vector<std::string>{"plan", definition}
         : kind == '-'                ? std::vector<std::string>{"-cleanup"}
         : kind == '.'                ? std::vector<std::string>{}
         : kind == '+' && who == 'b'  ? std::vector<std::string>{"-MOD", definition}
         : kind == '+' || kind == '?' ? std::vector<std::string>{definition, "-mod"}
                                      : std::vector<std::string>{definition};
}

// A step: "a+" installs a's mod from a, "a." is a plain run, and so on (see arguments);
// "!N" dies after, "~N" fails, "%N" runs out of memory at, the N-th mutating call, or
// the N-th call of a name ("~2move"; "~4,5move" both; "~0move" every one); "=CODE" the
// exit status expected. Events: "patch:NAME", "repair:NAME", "drop:NAME", "lose:out-a",
// "lose:backup-b", "lose:a/NAME" for an archive of a's backup folder, "full:C" and
// "free:C" for a drive, "fat:D" for one that keeps times to 2 seconds, and "edit:TEXT"
// adds a line to the record in the game's data folder.
class World {
 public:
  World() {
    set_up(fs_);
    for (const char* name : kArchives) {
      versions_[archive_bytes(name, "game")] = "game";
    }
  }

  // Runs the step and checks the rules; empty, or what went wrong.
  std::string step(const std::string& word) {
    broken_.clear();
    if (word.find(':') != std::string::npos) {
      event(word);
      // What an event deleted is the user's loss, not the tool's.
      std::erase_if(versions_, [&](const auto& version) { return !somewhere(version.first); });
      return {};
    }
    run(word);
    for (const auto& [bytes, label] : versions_) {
      if (!somewhere(bytes)) {
        broken_ += " the version " + label + " is lost;";
      }
    }
    return broken_;
  }

  // What a place holds: "game", "patchN", "mod" or "-". NAME is the game's folder,
  // "a/NAME" the backup folder of a, "a/NAME.old" the one older version kept there.
  std::string holds(const std::string& place) {
    std::optional<std::string> bytes;
    if (place.ends_with(".old")) {
      const std::string prefix = upper_case(backup_path(place.substr(0, place.size() - 4)));
      for (const auto& [path, content] : fs_.files()) {
        if (upper_case(path).starts_with(prefix + ".OLD-")) {
          bytes = bytes ? std::optional<std::string>("twice") : content;
        }
      }
    } else {
      bytes = fs_.contents(place[1] == '/' ? backup_path(place) : game_path(place));
    }
    const auto known = bytes ? versions_.find(*bytes) : versions_.end();
    return !bytes ? "-" : known != versions_.end() ? known->second : "mod";
  }

 private:
  static std::string backup_path(const std::string& place) {
    return working_folder(place[0]) + "\\backup\\" + place.substr(2);
  }

  void event(const std::string& word) {
    const std::string what = word.substr(0, word.find(':'));
    const std::string name = word.substr(word.find(':') + 1);
    if (what == "patch" || what == "repair") {
      const std::string label = what == "repair" ? "game" : "patch" + std::to_string(++patches_);
      versions_[archive_bytes(name, label)] = label;
      fs_.add_file(game_path(name), archive_bytes(name, label));
    } else if (what == "edit") {
      const std::string record = record_path_in(kGameFolders[0]);
      fs_.add_file(record, fs_.contents(record).value_or("") + name + "\n");
    } else if (what == "full" || what == "free") {
      // Room for a record on a full drive, but not for an archive of b's mod.
      std::uint64_t used = 0;
      for (const auto& [path, content] : fs_.files()) {
        used += path.starts_with(name + ":") ? content.size() : 0;
      }
      fs_.set_capacity(name + ":", what == "full" ? used + 1500 : std::uint64_t{1} << 40);
    } else if (what == "fat") {
      fs_.set_time_rounding(name + ":", 2'000'000'000);
    } else if (what == "drop") {
      fs_.remove_tree(game_path(name));
    } else if (what == "lose") {
      const char who = name.back();
      fs_.remove_tree(name[1] == '/'            ? backup_path(name)
                      : name.starts_with("out") ? output_folder(who)
                                                : working_folder(who) + "\\backup");
    }
  }

  void run(const std::string& word) {
    const std::size_t equals = word.find('=');
    fs_.change_directory(working_folder(word[0]));
    fault_ = fault_hook(word.substr(2, equals - 2));
    fs_.hook = [this](const FakeFileSystem::Op& op) { return watch(op); };
    std::set<std::string> before;
    for (const char* name : kArchives) {
      if (fs_.exists(game_path(name))) {
        before.insert(game_path(name));
      }
    }
    int status = -1;
    try {
      const std::vector<std::string> args = arguments(word[0], word[1]);
      status =
          word[1] == 's' || word[1] == 'p' ? fs_tool::run_fs_tool(args, fs_) : run_tool(args, fs_);
    } catch (const FakeCrash&) {
    }
    fs_.restart();
    if (equals != std::string::npos && status != std::stoi(word.substr(equals + 1))) {
      broken_ += " it ended with " + std::to_string(status) + ";";
    }
    if (status == 0) {
      for (const std::string& path : before) {
        broken_ += whole_archive(path) ? "" : " " + path + " is missing or not whole;";
      }
    }
  }

  static FakeFileSystem::Hook fault_hook(const std::string& fault) {
    if (fault.empty()) {
      return nullptr;
    }
    const Verdict verdict = fault[0] == '!' ? Verdict::crash_after : Verdict::fail;
    std::istringstream numbers(fault.substr(1));
    std::set<std::uint64_t> at;
    for (std::uint64_t n = 0; numbers >> n; numbers.ignore(1)) {
      at.insert(n);
    }
    const std::string name =
        fault.substr(std::min(fault.find_first_not_of("!~%0123456789,"), fault.size()));
    const bool memory = fault[0] == '%';
    return [at, verdict, name, memory,
            count = std::uint64_t{0}](const FakeFileSystem::Op& op) mutable {
      const bool counted = name.empty() ? op.mutates : op.name == name;
      count += counted ? 1 : 0;
      const bool hit = counted && (at.count(count) != 0 || at.count(0) != 0);
      if (hit && memory) {
        throw std::bad_alloc();
      }
      return hit ? verdict : Verdict::pass;
    };
  }

  // Rule (c), checked at every move and remove the tool makes; the fault comes after.
  Verdict watch(const FakeFileSystem::Op& op) {
    if (inside_) {
      return Verdict::pass;  // the check's own calls
    }
    inside_ = true;
    if ((op.name == "move" || op.name == "remove") && guarded(op.path) &&
        !named_by_record(op.path)) {
      broken_ += " " + std::string(op.name) + " of " + op.path + ", which no record names;";
    }
    inside_ = false;
    return fault_ ? fault_(op) : Verdict::pass;
  }

  static bool guarded(const std::string& path) {
    const std::string key = upper_case(path);
    const bool tool_file = key.ends_with(".RECORD") || key.ends_with(".LOCK");
    return !tool_file &&
           (key.starts_with("C:\\GAME\\DATA\\") || key.starts_with("E:\\CD\\DATA\\") ||
            key.starts_with("C:\\PLAY\\A\\BACKUP\\") || key.starts_with("D:\\WORK\\B\\BACKUP\\"));
  }

  bool named_by_record(const std::string& path) {
    std::string why;
    const std::optional<FileIdentity> identity = identify(fs_, path, why);
    if (!identity) {
      return true;  // nothing there: the call fails
    }
    for (const char* folder : kGameFolders) {
      const std::optional<std::string> text = fs_.contents(record_path_in(folder));
      const std::optional<InstallRecord> record = text ? parse_record(*text) : std::nullopt;
      for (const RecordEntry& entry : record ? record->entries : std::vector<RecordEntry>{}) {
        if (same_file(*identity, entry.mod) || same_file(*identity, entry.game)) {
          return true;
        }
      }
    }
    return false;
  }

  bool whole_archive(const std::string& path) {
    ArchiveList list;
    return read_archive_file(fs_, list.add_source(path), path).has_value();
  }

  bool somewhere(const std::string& bytes) const {
    const auto& files = fs_.files();
    return std::any_of(files.begin(), files.end(),
                       [&](const auto& file) { return file.second == bytes; });
  }

  FakeFileSystem fs_{working_folder('a')};
  std::map<std::string, std::string> versions_;  // bytes -> label
  int patches_ = 0;
  FakeFileSystem::Hook fault_;
  bool inside_ = false;
  std::string broken_;
};

std::vector<std::string> words_of(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
}

// What differs from the scenario of a case; empty when nothing. Its texts after the
// places are what its runs print, on standard output or error, or with "!" before them
// what they do not.
std::string run_scenario(const DataCase& c) {
  World world;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  std::string differs;
  for (const std::string& word : words_of(c.field(0))) {
    if (const std::string broken = world.step(word); !broken.empty() && differs.empty()) {
      differs = word + ":" + broken;
    }
  }
  const std::string told =
      ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
  for (const std::string& expected : words_of(c.field(1))) {
    const std::size_t equals = expected.find('=');
    const std::string holds = world.holds(expected.substr(0, equals));
    differs += holds == expected.substr(equals + 1) ? "" : " " + expected + " holds " + holds;
  }
  for (std::size_t i = 2; i < c.fields.size(); ++i) {
    const bool negated = c.fields[i].starts_with('!');
    const bool found = told.find(c.fields[i].substr(negated ? 1 : 0)) != std::string::npos;
    differs += found != negated ? "" : " told, or not, " + c.fields[i];
  }
  return differs.empty() ? differs : differs + "\nthe runs told:\n" + told;
}

TEST(World, ScenariosEndAsTheyShould) {
  for (const DataCase& c : load_cases("tests/driver/world_cases.txt", "world")) {
    EXPECT_EQ(run_scenario(c), "") << c.where;
  }
}

// A random step: mostly runs, a third of them failing or dying at a random call, and
// now and then an event.
std::string random_step(std::mt19937& engine) {
  const auto below = [&](std::uint32_t n) { return static_cast<std::uint32_t>(engine() % n); };
  const char who = below(3) == 0 ? 'b' : 'a';
  const std::uint32_t pick = below(24);
  if (pick >= 20) {
    const char* const events[] = {"patch:", "repair:", "drop:", "lose:", "full:", "free:"};
    const std::string event = events[below(std::size(events))];
    if (event == "lose:") {
      return event + (below(2) == 0 ? "out-" : "backup-") + who;
    }
    if (event == "full:" || event == "free:") {
      return event + "CDE"[below(3)];
    }
    return event + kArchives[below(std::size(kArchives))];
  }
  std::string word{who, pick < 9 ? '+' : pick < 17 ? '.' : pick < 18 ? '-' : '?'};
  if (below(3) == 0) {
    word += (below(2) == 0 ? "!" : "~") + std::to_string(1 + below(40));
  }
  return word;
}

// Unoptimized and sanitizer builds run the tool twenty times slower: they run the first
// fifth of the same sequences, so that the suite stays fast.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
constexpr int kSequences = 300;
#else
constexpr int kSequences = 1500;
#endif

// The first broken rule of the sequence of a seed, with the steps up to it; empty when
// none is broken.
std::string run_sequence(int seed) {
  std::mt19937 engine(static_cast<std::mt19937::result_type>(seed));
  World world;
  std::string steps;
  for (std::uint32_t n = 4 + engine() % 12; n > 0; --n) {
    const std::string word = random_step(engine);
    steps += " " + word;
    if (const std::string broken = world.step(word); !broken.empty()) {
      return "seed " + std::to_string(seed) + ", steps" + steps + ":" + broken;
    }
  }
  return {};
}

TEST(World, NoSequenceBreaksARule) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  std::string broken;
  for (int seed = 1; seed <= kSequences && broken.empty(); ++seed) {
    broken = run_sequence(seed);
  }
  ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(broken, "");
}

}  // namespace
}  // namespace vexal::test
