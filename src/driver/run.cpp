#include "driver/run.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "archive/archive_writer.h"
#include "install/cleanup.h"
#include "install/config.h"
#include "install/install.h"
#include "install/path_key.h"
#include "install/restore.h"
#include "moddef/definition.h"
#include "platform/ascii.h"
#include "platform/console.h"
#include "platform/message_box.h"
#include "platform/path_rules.h"
#include "session/console.h"
#include "session/run_steps.h"

namespace vexal {
namespace {

constexpr std::string_view kNotRestoredBlock =
    "\n"
    "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n"
    "!!! ORIGINAL GAME ARCHIVES NOT RESTORED !!!\n"
    "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n\n";

// Left in place after a run: deleting it would let a third run lock a new file while a
// second still holds the old one.
constexpr const char* kLockFileName = "vexal_mod_builder.lock";

constexpr const char* kRestoreFailedTitle = "Error ...";
constexpr const char* kRestoreFailedText =
    "Restoring original Vexal game archives failed!\nYou have to restore game archives from "
    "your backup manualy before using this utility again!";

bool is_keyword(std::string_view argument, std::string_view keyword) {
  return equal_ignoring_case(argument, keyword);
}

bool is_help_request(std::string_view argument) {
  for (const std::string_view keyword : {"?", "-?", "/?", "-h", "-help", "--help"}) {
    if (is_keyword(argument, keyword)) {
      return true;
    }
  }
  return false;
}

// The state of one run and its steps, in the order they run. Every failing step ends
// in fail(), which prints the report once and gives the exit status.
class ToolRun {
 public:
  explicit ToolRun(FileSystem& fs) : fs_(fs) { reset_slot_table(slots_); }

  int run(const std::vector<std::string>& args) {
    args_ = args;
    try {
      return run_sequence(args);
    } catch (const std::bad_alloc&) {
      return fail(Status::out_of_memory);
    }
  }

 private:
  // Prints the report of a failed step, with its explanation on standard error, and
  // passes its code on as the exit status.
  int fail(const Failure& failure, int line = -1) {
    return fail(reporter_.explained(with_config_hint(fs_, args_, failure)), line);
  }

  int fail(Status status, int line = -1) {
    explain_slash_in_definition_path();
    if (status == Status::config_not_written) {
      print_write_error(config_path(fs_));
    } else {
      print_error_at_line(static_cast<int>(status), line);
    }
    reporter_.print_explanations();
    return exit_code(status);
  }

  // Windows takes "/" in a path as a plain character: the mod folder ends at the last
  // "\", and the definition's sources are looked for in the wrong place.
  void explain_slash_in_definition_path() {
    if (definition_argument_.find('/') != std::string::npos && !is_path_separator('/')) {
      std::string written = definition_argument_;
      std::replace(written.begin(), written.end(), '/', '\\');
      reporter_.explain("write the path with \"\\\" on Windows: " + written);
    }
  }

  int run_sequence(const std::vector<std::string>& args) {
    // Asked for the version, the run touches nothing: no banner, no lock, no config.ini.
    if (args.size() == 1 && is_version_request(args[0])) {
      print_version("vexal_mod_builder");
      return 0;
    }
    print_banner();
    if (args.size() == 1 && is_help_request(args[0])) {
      print_usage();
      return exit_code(Status::invalid_arguments);
    }
    if (args.size() > 2) {
      print_usage();
      return fail(Status::wrong_argument_count);
    }
    lock_working_folder();
    if (args.size() == 1 && is_keyword(args[0], "-cleanup")) {
      lock_game();
      return run_cleanup();
    }

    const Expected<ConfigPaths> settings = read_settings(fs_, vars_);
    if (!settings) {
      return fail(settings.failure());
    }
    lock_game();
    if (const int code = run_restore(); code != 0) {
      return code;
    }
    if (args.empty()) {
      print_text("All done.\n\n");
      return 0;
    }

    bool install = true;
    std::string definition_argument = args[0];
    if (args.size() == 2) {
      if (is_keyword(args[0], "-mod")) {
        definition_argument = args[1];
      } else if (!is_keyword(args[1], "-mod")) {
        print_usage();
        return fail(Status::invalid_arguments);
      }
    } else {
      install = false;
    }
    definition_argument_ = definition_argument;
    return build_mod(definition_path_of(fs_, definition_argument), settings->allow_cd, install);
  }

  // Keeps a second run in the same working folder from moving archives and writing
  // config.ini at the same time: it waits here until this run has ended.
  void lock_working_folder() {
    const std::string cwd = fs_.current_directory();
    if (cwd.empty()) {
      return;  // config.ini cannot be found either, and the run ends at its first use
    }
    const std::string path = join_path(cwd, kLockFileName);
    LockAttempt attempt = fs_.lock_exclusive(path, false);
    if (attempt.busy) {
      reporter_.note("another run is working in this folder; waiting for it to end (lock file \"" +
                     path + "\")");
      attempt = fs_.lock_exclusive(path, true);
    }
    if (!attempt.lock) {
      reporter_.warn("cannot lock \"" + path +
                     "\"; going on without it, so do not start another run in this folder "
                     "until this one ends");
    }
    run_lock_ = std::move(attempt.lock);
  }

  // Runs on one game take turns too, whichever working folder they start in: a run from
  // another folder waits here until this one has ended. A data folder where the lock file
  // cannot be created (a CD) is passed over: no run can move anything there either.
  void lock_game() {
    const std::string own = join_path(fs_.current_directory(), kLockFileName);
    for (const std::string& path : game_lock_paths(fs_)) {
      if (same_path(path, own)) {
        continue;  // the working folder's lock, held already
      }
      LockAttempt attempt = fs_.lock_exclusive(path, false);
      if (attempt.busy) {
        reporter_.note("another run is working on the game; waiting for it to end (lock file \"" +
                       path + "\")");
        attempt = fs_.lock_exclusive(path, true);
      }
      if (attempt.lock) {
        game_locks_.push_back(std::move(attempt.lock));
      }
    }
  }

  int run_cleanup() {
    reporter_.open_line("Cleaning up \"config.ini\" trash ... ");
    const Outcome cleaned = cleanup_config(fs_, reporter_);
    if (cleaned) {
      reporter_.close_line("done\n\n");
      return 0;
    }
    // A config.ini that cannot be written is reported at once, as it always was.
    reporter_.close_line(cleaned.status() == Status::config_not_written ? "" : "failed\n\n");
    return fail(cleaned.failure());
  }

  // 0, or the exit status of a failed restore.
  int run_restore() {
    const Outcome restored = restore_archives(fs_, reporter_);
    if (restored) {
      return 0;
    }
    const Status status = restored.status();
    const int code = fail(restored.failure());
    if (status != Status::config_not_written) {
      print_text(kNotRestoredBlock);
    }
    if (status == Status::restore_failed) {
      show_error_message_box(kRestoreFailedTitle, kRestoreFailedText);
    }
    return code;
  }

  // Loads and scans the definition, then saves and (with install) installs its archives.
  int build_mod(const std::string& definition_path, bool allow_cd, bool install) {
    set_mod_folder(context_, definition_path);
    reset_slot_table(slots_);

    Expected<std::string> text = load_definition(fs_, definition_path);
    if (!text) {
      return fail(text.failure());
    }
    const ScanResult scan = scan_definition(context_, *text, allow_cd);
    free_definition(*text);
    if (!scan.outcome) {
      return fail(scan.outcome.failure(), scan.line);
    }

    // The output folder is checked before any of it is made.
    const Expected<std::string> output_folder = allowed_output_folder(fs_, vars_, definition_path);
    if (!output_folder) {
      return fail(output_folder.failure());
    }
    make_output_folder(fs_, reporter_, *output_folder);
    if (const Outcome saved = save_archives(fs_, reporter_, archives_, slots_, *output_folder);
        !saved) {
      return fail(saved.failure());
    }
    if (install) {
      if (const Outcome installed = install_mod(fs_, reporter_, slots_, *output_folder);
          !installed) {
        return fail(installed.failure());
      }
    }
    print_text("All done.\n\n");
    return 0;
  }

  FileSystem& fs_;
  std::vector<std::string> args_;
  std::string definition_argument_;  // once the run builds
  std::unique_ptr<FileLock> run_lock_;
  std::vector<std::unique_ptr<FileLock>> game_locks_;
  ConsoleReporter reporter_{"vexal_mod_builder"};
  VariableStore vars_;
  ArchiveList archives_;
  SlotTable slots_{};
  ModContext context_{fs_, vars_, archives_, slots_, reporter_, {}};
};

}  // namespace

int run_tool(const std::vector<std::string>& args, FileSystem& fs) {
  return ToolRun(fs).run(args);
}

}  // namespace vexal
