// vexal_fs, the mod author's toolkit: looks inside archives, extracts and packs them,
// plans a build without writing anything and shows what the last installation left.
// Each subcommand is one function over the same layers the builder uses.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_view.h"
#include "base/expected.h"
#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"
#include "session/console.h"

namespace vexal::fs_tool {

// Exit statuses; plan ends with the status of the build it plans instead.
inline constexpr int kSucceeded = 0;
inline constexpr int kDiffers = 1;  // diff: the archives differ; verify: one is damaged;
                                    // status: something needs the user
inline constexpr int kWrongUsage = 2;
inline constexpr int kFailed = 3;

// What every subcommand works with: the file system, and the console on which warnings
// and explanations appear (standard error).
struct Tool {
  FileSystem& fs;
  ConsoleReporter& console;
  const std::vector<std::string>& command_line;  // the arguments after the program's name
  std::string command;                           // the subcommand that runs, as the help names it
  bool json = false;                             // its result is a JSON document

  // Prints "vexal_fs: error: <what>" and the explanations given so far (with json, also
  // a document whose "error" is what failed); kFailed.
  int fail(std::string_view what);
  int fail(Status status) { return fail(message_of(status)); }
  int fail(const Failure& failure) {
    console.explain(failure);
    return fail(failure.status);
  }
};

// The console without progress lines: the toolkit prints its own results instead.
class QuietReporter final : public Reporter {
 public:
  explicit QuietReporter(Reporter& console) : console_(console) {}
  void begin(Step /*step*/, std::string_view /*subject*/) override {}
  void end(bool /*succeeded*/) override {}
  void warn(std::string_view text) override { console_.warn(text); }

 private:
  Reporter& console_;
};

// The options a subcommand may take, each a bit of Subcommand::options.
enum Option : unsigned { kForce = 1, kStrict = 2, kJson = 4 };

struct Arguments {
  std::vector<std::string> words;  // after the subcommand, without its options
  bool force = false;
  bool strict = false;  // plan: report the checker's findings as check does
  bool json = false;    // one JSON document on standard output instead of text
};

// Writes the bytes as the whole file at path; false, explained to the console, when the
// file cannot be created or written completely.
bool write_whole(Tool& tool, const std::string& path, std::span<const std::byte> bytes);

// A name as printed: bytes outside printable ASCII as \xNN.
std::string shown_name(std::string_view name);

// "1 entry", "2 entries".
std::string counted(std::uint64_t count, std::string_view one, std::string_view many);

int list_entries(Tool& tool, const Arguments& args);
int extract_entries(Tool& tool, const Arguments& args);
int pack_folder(Tool& tool, const Arguments& args);
int diff_archives(Tool& tool, const Arguments& args);
int verify_archives(Tool& tool, const Arguments& args);
int plan_build(Tool& tool, const Arguments& args);
int check_definition(Tool& tool, const Arguments& args);
int show_status(Tool& tool, const Arguments& args);

// Runs vexal_fs with the arguments after the program's name; returns the exit status.
int run_fs_tool(const std::vector<std::string>& args, FileSystem& fs);

}  // namespace vexal::fs_tool
