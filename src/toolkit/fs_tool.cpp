#include "toolkit/fs_tool.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>

#include "platform/ascii.h"
#include "toolkit/combine.h"
#include "toolkit/json_output.h"

namespace vexal::fs_tool {
namespace {

struct Subcommand {
  std::string_view name;
  std::size_t min_words;
  std::size_t max_words;
  unsigned options;  // of Option
  int (*run)(Tool&, const Arguments&);
  std::string_view synopsis;
  std::string_view help;
};

constexpr std::size_t kAny = static_cast<std::size_t>(-1);

const std::array<Subcommand, 10> kSubcommands = {{
    {"list", 1, 2, kJson, list_entries, "list ARCHIVE [MASK] [--json]",
     "Lists the entries of an archive in file order, each with its size in bytes; in a\n"
     "two-level archive (.FSU) each group is followed by its items, indented. The last\n"
     "line gives the counts and the total bytes. MASK picks entries (groups) as a mask of\n"
     "the add command does: \"*\" and \"?\", letter case matters, groups are padded to 5\n"
     "characters with \"_\".\n"},
    {"extract", 2, 3, kForce, extract_entries, "extract ARCHIVE FOLDER [MASK] [--force]",
     "Writes the entries (those MASK picks) as files into FOLDER, laid out as folder\n"
     "loading reads them back: a flat archive gives one file per entry, a two-level one a\n"
     "subfolder per group (named without its trailing \"_\") holding its items. Nothing is\n"
     "written when an entry's name could reach outside FOLDER or is no file name on\n"
     "Windows, when two entries would land on the same file, or when a file exists\n"
     "already and --force is not given.\n"},
    {"pack", 2, 2, kForce, pack_folder, "pack FOLDER ARCHIVE [--force]",
     "Writes the archive that add(FOLDER) in the block of ARCHIVE's layout would write:\n"
     "flat for .FS, two-level for .FSU. An existing ARCHIVE is replaced only with --force.\n"},
    {"diff", 2, 2, kJson, diff_archives, "diff OLD NEW [--json]",
     "Prints the entries (items, in two-level archives) that NEW adds, removes or changes\n"
     "against OLD, one per line. Exit status 0 when both hold the same entries with the\n"
     "same bytes, 1 when they differ.\n"},
    {"verify", 1, kAny, kJson, verify_archives, "verify ARCHIVE... [--json]",
     "Reads each archive with every check of the reader and prints \"ok\" or what is\n"
     "damaged, at which offset. Exit status 1 when any archive is not ok.\n"},
    {"plan", 1, 1, kStrict | kJson, plan_build, "plan MOD.DEF [--strict] [--json]",
     "Reads the definition and its sources as a build in this working folder would,\n"
     "after putting back the game's archives, and prints where the entries of each\n"
     "archive come from. It restores, builds and writes nothing. It ends with the report\n"
     "and the exit status the build would end with. With --strict it is check.\n"},
    {"check", 1, 1, kJson, check_definition, "check MOD.DEF [--json]",
     "Plans the build as plan does, then prints what in the definition is probably a\n"
     "mistake, one finding a line: FILE:LINE: warning: what, and how to fix it. Exit\n"
     "status 0 when nothing is found, 1 when anything is, and the build's own when the\n"
     "build would fail.\n"},
    {"status", 0, 0, kJson, show_status, "status [--json]",
     "Shows what config.ini in the working folder records: the game and CD folders, the\n"
     "installed mod's output folder, every archive key, and which of the game's, the\n"
     "backup and the output folder hold each archive. Exit status 1 when something needs\n"
     "your attention: a backup file that no key records, or a key whose backup is gone.\n"},
    {"combine", 3, kAny, kJson, combine_mods, "combine MOD.DEF... --into FOLDER [--json]",
     "Writes FOLDER/combined.def, one definition that builds and installs the mods together:\n"
     "each archive starts from the game's and takes each mod's changes (entries, and items\n"
     "of two-level groups, with other bytes, added or left out) in the order given, so\n"
     "the later mod wins where two change the same one. Groups merged from several mods\n"
     "are written as folders under FOLDER/sources. Prints one line per conflict. A mod\n"
     "that would not build stops it with that build's report and status.\n"},
    {"conflicts", 1, kAny, kJson, show_conflicts, "conflicts MOD.DEF... [--json]",
     "Prints one line per entry (item) that two or more of the mods change: the archive,\n"
     "the entry, the mods in order and the one that wins. Exit status 1 when there is\n"
     "any conflict, 0 when there is none.\n"},
}};

void print_usage(std::FILE* out) {
  std::fprintf(out, "usage:");
  for (const Subcommand& subcommand : kSubcommands) {
    std::fprintf(out, " vexal_fs %.*s\n      ", static_cast<int>(subcommand.synopsis.size()),
                 subcommand.synopsis.data());
  }
  std::fprintf(out,
               " vexal_fs help SUBCOMMAND\n"
               "       vexal_fs --version\n"
               "Exit status: 0 done, 1 differences, damage or findings, 2 wrong usage, 3 failed;\n"
               "plan and check end as the build would when it fails, combine and conflicts as\n"
               "the first mod's build that fails.\n");
}

const Subcommand* find_subcommand(std::string_view name) {
  for (const Subcommand& subcommand : kSubcommands) {
    if (equal_ignoring_case(name, subcommand.name)) {
      return &subcommand;
    }
  }
  return nullptr;
}

// An option that asks for help. After a subcommand "?" is no help request but a mask.
bool is_help_option(std::string_view argument) {
  for (const std::string_view keyword : {"-h", "-help", "--help"}) {
    if (equal_ignoring_case(argument, keyword)) {
      return true;
    }
  }
  return false;
}

bool is_help_request(std::string_view argument) {
  for (const std::string_view keyword : {"?", "-?", "/?"}) {
    if (equal_ignoring_case(argument, keyword)) {
      return true;
    }
  }
  return is_help_option(argument);
}

unsigned option_of(std::string_view argument) {
  for (const auto& [name, option] :
       {std::pair{"--force", kForce}, std::pair{"--strict", kStrict}, std::pair{"--json", kJson}}) {
    if (equal_ignoring_case(argument, name)) {
      return option;
    }
  }
  return 0;
}

int wrong_usage(std::string_view why) {
  std::fprintf(stderr, "vexal_fs: %.*s\n", static_cast<int>(why.size()), why.data());
  print_usage(stderr);
  return kWrongUsage;
}

int not_a_subcommand(std::string_view name) {
  return wrong_usage("\"" + std::string(name) + "\" is not a subcommand; the subcommands are:");
}

int print_help(const Subcommand& subcommand) {
  std::printf("usage: vexal_fs %.*s\n\n%.*s", static_cast<int>(subcommand.synopsis.size()),
              subcommand.synopsis.data(), static_cast<int>(subcommand.help.size()),
              subcommand.help.data());
  return kSucceeded;
}

int help(const std::vector<std::string>& words) {
  if (words.empty() || (words.size() == 1 && is_help_request(words[0]))) {
    print_usage(stdout);
    return kSucceeded;
  }
  if (words.size() > 1) {
    return wrong_usage("help takes the name of one subcommand");
  }
  const Subcommand* subcommand = find_subcommand(words[0]);
  return subcommand == nullptr ? not_a_subcommand(words[0]) : print_help(*subcommand);
}

int run_subcommand(Tool& tool, const std::vector<std::string>& args) {
  if (args.empty()) {
    return wrong_usage("a subcommand is needed");
  }
  if (args.size() == 1 && is_help_request(args[0])) {
    print_usage(stdout);
    return kSucceeded;
  }
  if (args.size() == 1 && is_version_request(args[0])) {
    print_version("vexal_fs");
    return kSucceeded;
  }
  Arguments arguments;
  unsigned given = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (const unsigned option = option_of(args[i]); option != 0) {
      given |= option;
    } else {
      arguments.words.push_back(args[i]);
    }
  }
  arguments.force = (given & kForce) != 0;
  arguments.strict = (given & kStrict) != 0;
  arguments.json = (given & kJson) != 0;
  if (equal_ignoring_case(args[0], "help")) {
    return help(arguments.words);
  }
  const Subcommand* subcommand = find_subcommand(args[0]);
  if (subcommand == nullptr) {
    return not_a_subcommand(args[0]);
  }
  if (std::any_of(arguments.words.begin(), arguments.words.end(), is_help_option)) {
    return print_help(*subcommand);
  }
  if (arguments.words.size() < subcommand->min_words ||
      arguments.words.size() > subcommand->max_words || (given & ~subcommand->options) != 0) {
    return wrong_usage("usage: vexal_fs " + std::string(subcommand->synopsis));
  }
  tool.command = subcommand->name;
  tool.json = arguments.json;
  return subcommand->run(tool, arguments);
}
}  // namespace

int Tool::fail(std::string_view what) {
  if (json) {
    Json document = json_document(command);
    document["error"] = what;
    print_json(document);
  }
  std::fprintf(stderr, "vexal_fs: error: %.*s\n", static_cast<int>(what.size()), what.data());
  console.print_explanations();
  return kFailed;
}

bool write_whole(Tool& tool, const std::string& path, std::span<const std::byte> bytes) {
  const OpenedFile file = tool.fs.open_write(path);
  if (!file) {
    tool.console.explain(file.describe(path, "cannot be created"));
    return false;
  }
  IoResult written = (*file)->write(bytes);
  if (written) {
    written = (*file)->close();
  }
  if (!written) {
    tool.console.explain(
        written.describe(path + ": could not be written completely", "is the disk full?"));
    return false;
  }
  return true;
}

std::string shown_name(std::string_view name) {
  std::string shown;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
      std::array<char, 8> escaped{};
      std::snprintf(escaped.data(), escaped.size(), "\\x%02X", byte);
      shown += escaped.data();
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string counted(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

int run_fs_tool(const std::vector<std::string>& args, FileSystem& fs) {
  ConsoleReporter console("vexal_fs");
  Tool tool{fs, console, args, {}, false};
  try {
    return run_subcommand(tool, args);
  } catch (const std::bad_alloc&) {
    return tool.fail(Status::out_of_memory);
  }
}

}  // namespace vexal::fs_tool
