// Runs the command-line cases written in tests/cli/*.txt. Each "== Name" starts one
// test, in a fresh working folder; its lines run in order:
//   config [ALLOWCDMOD]     config.ini for a game in game/ and a CD in cd/, then the block
//   file PATH CONTENT       writes a file (folders made as needed)
//   expect PATH CONTENT     the file holds exactly these bytes
//   has PATH [TEXT]         the file (its "\r\n" read as "\n") contains the text or block
//   missing PATH            nothing exists there
//   mkdir PATH; link PATH TARGET (symbolic)
//   hold PATH               the next run's Windows build finds the file held open
//   run ARGS [=> CODE]      runs vexal_mod_builder: its exit status is the code as the
//                           platform reports it, and the block is what it printed after
//                           the banner
//   fs ARGS [=> CODE]       the same for vexal_fs, whose whole output is the block
//   bare ARGS [=> CODE]     "run" of a run that prints no banner
//   sees [TEXT], err TEXT   its standard output (the text or block) or error contains;
//                           "!sees", "!err", "!has" that it does not
//   sample                  the bundled sample game, CD and mod, the archives packed
//   unix-only               the rest of the test does not run against the Windows build
//   windows-only            the rest of the test runs only against the Windows build
// A block is the lines after a command that start with "|", each one up to its end
// after "| ", with a line feed. CONTENT is "= TEXT" (no line feed), "@PATH" (the bytes
// of that file), "flat NAME=BYTES..." or "fsu GROUP/ITEM=BYTES..." (an archive), or
// nothing for the block; "\xNN" in a TEXT, NAME or BYTES is a byte. Lines starting with
// "#" are comments. "let NAME" before the first test names a block without its
// last line feed; "{NAME}" stands for it, {root}, {game}, {cd} for folders as the tool
// writes them.
#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "support/archive_builder.h"
#include "support/case_file.h"
#include "support/cli_runner.h"

namespace vexal::test {
namespace {

struct Line {
  std::string where;
  std::string text;
};

struct Script {
  std::string name;
  std::map<std::string, std::string> names;
  std::vector<Line> lines;
};

void PrintTo(const Script& script, std::ostream* out) {
  *out << script.name;
}

std::vector<Script> load_scripts() {
  std::set<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(VEXAL_SOURCE_DIR "/tests/cli")) {
    if (entry.path().extension() == ".txt") {
      files.insert(entry.path());
    }
  }
  std::vector<Script> scripts;
  for (const std::filesystem::path& file : files) {
    std::ifstream in(file);
    std::map<std::string, std::string> names;
    std::string* let = nullptr;
    std::string joined;
    int number = 0;
    for (std::string text; std::getline(in, text);) {
      ++number;
      if (text.empty() || text.starts_with('#')) {
        continue;
      }
      if (text.starts_with("let ")) {
        let = &names[text.substr(4)];
        joined = "";
      } else if (text.starts_with("== ")) {
        let = nullptr;
        scripts.push_back({text.substr(3), names, {}});
      } else if (let != nullptr) {
        *let += joined + text.substr(std::min<std::size_t>(2, text.size()));
        joined = "\n";
      } else if (!scripts.empty()) {
        scripts.back().lines.push_back(
            {file.filename().string() + ":" + std::to_string(number), text});
      }
    }
  }
  return scripts;
}

void replace_all(std::string& text, const std::string& key, const std::string& value) {
  for (std::size_t at = text.find(key); at != std::string::npos;
       at = text.find(key, at + value.size())) {
    text.replace(at, key.size(), value);
  }
}

// The first word and the rest after the spaces that follow it.
std::pair<std::string, std::string> split_first(const std::string& text) {
  const std::size_t end = std::min(text.find(' '), text.size());
  const std::size_t rest = std::min(text.find_first_not_of(' ', end), text.size());
  return {text.substr(0, end), text.substr(rest)};
}

void expect_contains(const std::string& text, const std::string& part, bool negated) {
  EXPECT_EQ(text.find(part) != std::string::npos, !negated)
      << (negated ? "unwanted: " : "wanted: ") << part << "\nin:\n"
      << text;
}

class ScriptTest : public CliTest, public ::testing::WithParamInterface<Script> {
 protected:
  std::string expand(std::string text) const {
    std::vector<std::pair<std::string, std::string>> names(GetParam().names.begin(),
                                                           GetParam().names.end());
    names.insert(names.end(), {{"root", tool_path(root())},
                               {"game", tool_path(at("game"))},
                               {"cd", tool_path(at("cd"))}});
    for (auto& [name, value] : names) {
      replace_all(text, "{" + name + "}", value);
    }
    return text;
  }

  std::string content(const std::string& form, const std::string& block) const {
    const auto [kind, rest] = split_first(form);
    if (kind.empty() || kind == "=") {
      return kind.empty() ? block : unescaped(rest, false);
    }
    if (kind.starts_with('@')) {
      return dir_.read_file(kind.substr(1));
    }
    EXPECT_TRUE(kind == "flat" || kind == "fsu") << kind;
    std::vector<FlatEntryBytes> entries;
    std::vector<GroupBytes> groups;
    std::istringstream words(rest);
    for (std::string word; words >> word;) {
      const std::size_t equals = word.find('=');
      const std::string name = unescaped(word.substr(0, equals), false);
      const std::string bytes = unescaped(word.substr(equals + 1), false);
      const std::size_t slash = name.find('/');
      entries.push_back({name, bytes});
      if (groups.empty() || groups.back().name != name.substr(0, slash)) {
        groups.push_back({name.substr(0, slash), {}});
      }
      groups.back().items.push_back({name.substr(slash + 1), bytes});
    }
    return kind == "flat" ? build_flat(entries) : build_two_level(groups);
  }

  void run_command(const std::string& args, const std::string& block, bool has_block,
                   Program program, bool banner = true) {
    const std::size_t arrow = args.find("=>");
    std::istringstream words(args.substr(0, arrow));
    std::vector<std::string> list;
    for (std::string word; words >> word;) {
      list.push_back(word);
    }
    last_ = StartedRun(root(), list, program).finish();
    unsetenv("VEXAL_TEST_HOLD");
    if (program == Program::builder && banner) {
      last_.output = after_banner(last_.output);
    }
    if (arrow != std::string::npos) {
      // Linux hands a parent only the low 8 bits of an exit code.
      const int code = std::stoi(args.substr(arrow + 2));
      EXPECT_EQ(last_.status, windows_paths() ? code : code & 0xFF) << last_.output << last_.errors;
    }
    if (has_block) {
      EXPECT_EQ(last_.output, block);
    }
  }

  void step(const std::string& line, const std::string& block, bool has_block) {
    const auto [word, rest] = split_first(line);
    const bool negated = word.starts_with('!');
    const std::string command = word.substr(negated ? 1 : 0);
    const auto [path, form] = split_first(rest);
    const std::string text = has_block ? block : rest;
    if (command == "config") {
      write_config(block, rest.empty() ? "1" : rest);
    } else if (command == "file" || command == "flat" || command == "fsu") {
      dir_.write_file(path, content(command == "file" ? form : command + " " + form, block));
    } else if (command == "expect") {
      EXPECT_EQ(dir_.read_file(path), content(form, block));
    } else if (command == "has") {
      expect_contains(without_carriage_returns(dir_.read_file(path)), has_block ? block : form,
                      negated);
    } else if (command == "missing") {
      EXPECT_FALSE(std::filesystem::exists(at(path)));
    } else if (command == "mkdir") {
      std::filesystem::create_directories(at(path));
    } else if (command == "link") {
      std::filesystem::create_symlink(form, at(path));
    } else if (command == "hold") {
      setenv("VEXAL_TEST_HOLD", tool_path(at(path)).c_str(), 1);
    } else if (command == "run" || command == "fs" || command == "bare") {
      run_command(rest, block, has_block, command == "fs" ? Program::fs_tool : Program::builder,
                  command != "bare");
    } else if (command == "sees") {
      expect_contains(last_.output, text, negated);
    } else if (command == "err") {
      expect_contains(last_.errors, text, negated);
    } else if (command == "sample") {
      for (const char* folder : {"game", "cd", "mod"}) {
        std::filesystem::copy(std::filesystem::path(VEXAL_SOURCE_DIR) / "examples" / folder,
                              at(folder), std::filesystem::copy_options::recursive);
      }
      write_config();
      for (const char* folder : {"game", "cd"}) {
        ASSERT_EQ(StartedRun(root(), {folder + std::string("\\source\\make.def")}).finish().status,
                  0);
        std::filesystem::rename(at(folder + std::string("/packed")),
                                at(folder + std::string("/data")));
      }
    } else if (command == "unix-only" || command == "windows-only") {
      if (windows_paths() == (command == "unix-only")) {
        GTEST_SKIP();
      }
    } else {
      FAIL() << "unknown command";
    }
  }

  RunResult last_;
};

TEST_P(ScriptTest, Runs) {
  const std::vector<Line>& lines = GetParam().lines;
  for (std::size_t i = 0; i < lines.size() && !HasFatalFailure() && !IsSkipped();) {
    const Line& line = lines[i++];
    std::string block;
    bool has_block = false;
    for (; i < lines.size() && lines[i].text.starts_with('|'); ++i, has_block = true) {
      block += expand(lines[i].text.substr(std::min<std::size_t>(2, lines[i].text.size()))) + "\n";
    }
    SCOPED_TRACE(line.where + ": " + line.text);
    step(expand(line.text), block, has_block);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptTest, ::testing::ValuesIn(load_scripts()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vexal::test
