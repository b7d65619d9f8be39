#include "driver/run.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "driver/console.h"
#include "fs/archive_writer.h"
#include "install/cleanup.h"
#include "install/config.h"
#include "install/install.h"
#include "install/restore.h"
#include "moddef/definition.h"
#include "platform/ascii.h"
#include "platform/message_box.h"
#include "platform/path_rules.h"

namespace vexal {
namespace {

constexpr std::string_view kNotRestoredBlock =
    "\n"
    "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n"
    "!!! ORIGINAL GAME ARCHIVES NOT RESTORED !!!\n"
    "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n\n";

constexpr const char* kRestoreFailedTitle = "Error ...";
constexpr const char* kRestoreFailedText =
    "Restoring original Vexal game archives failed!\nYou have to restore game archives from "
    "your backup manualy before using this utility again!";

bool is_keyword(std::string_view argument, std::string_view keyword) {
  return equal_ignoring_case(argument, keyword);
}

bool is_help_request(std::string_view argument) {
  return is_keyword(argument, "?") || is_keyword(argument, "-?") || is_keyword(argument, "/?");
}

// Prints the report of a failed step and passes its code on as the exit status.
int fail(FileSystem& fs, Status status) {
  if (status == Status::config_not_written) {
    print_write_error(config_path(fs));
  } else {
    print_error(static_cast<int>(status));
  }
  return exit_code(status);
}

int run_cleanup(FileSystem& fs) {
  print_text("Cleaning up \"config.ini\" trash ... ");
  const Status status = cleanup_config(fs);
  if (status == Status::ok) {
    print_text("done\n\n");
    return 0;
  }
  // A config.ini that cannot be written is reported at once, as it always was.
  if (status != Status::config_not_written) {
    print_text("failed\n\n");
  }
  return fail(fs, status);
}

// ok, or the exit status of a failed restore.
int run_restore(FileSystem& fs, Progress& progress) {
  const Status status = restore_archives(fs, progress);
  if (status == Status::ok) {
    return 0;
  }
  const int code = fail(fs, status);
  if (status != Status::config_not_written) {
    print_text(kNotRestoredBlock);
  }
  if (status == Status::restore_failed) {
    show_error_message_box(kRestoreFailedTitle, kRestoreFailedText);
  }
  return code;
}

std::string resolve_definition_path(FileSystem& fs, const std::string& argument) {
  if (is_absolute_path(argument)) {
    return argument;
  }
  return fs.current_directory() + "\\" + argument;
}

// 0 or the exit status of the failed save.
int save_archives(ModContext& context, const std::string& output_folder) {
  for (const int archive_slot : context.slots) {
    if (archive_slot == -1) {
      continue;
    }
    ArchiveRecord* record = context.archives.get(archive_slot);
    if (record == nullptr) {
      return fail(context.fs, Status::archive_not_in_list);
    }
    record->name = output_folder + record->name;
    context.progress.begin(Progress::Step::saving_archive, file_name_part(record->name));
    const Status status = save_archive(context.archives, context.fs, archive_slot);
    context.progress.end(status == Status::ok);
    if (status != Status::ok) {
      return fail(context.fs, status);
    }
  }
  return 0;
}

// Loads and scans the definition, then saves and (with install) installs its archives.
int build_mod(ModContext& context, const std::string& definition_path, bool allow_cd,
              bool install) {
  set_mod_folder(context, definition_path);
  reset_slot_table(context.slots);

  std::string text;
  if (const Status status = load_definition(context.fs, definition_path, text);
      status != Status::ok) {
    return fail(context.fs, status);
  }
  const ScanResult scan = scan_definition(context, text, allow_cd);
  free_definition(text);
  if (scan.status != Status::ok) {
    print_error_at_line(static_cast<int>(scan.status), scan.line);
    return exit_code(scan.status);
  }

  std::string output_folder;
  if (const Status status =
          make_output_folder(context.fs, context.vars, definition_path, output_folder);
      status != Status::ok) {
    return fail(context.fs, status);
  }
  if (const int code = save_archives(context, output_folder); code != 0) {
    return code;
  }
  if (install) {
    if (const Status status = install_mod(context.fs, context.progress, context.archives,
                                          context.slots, output_folder);
        status != Status::ok) {
      return fail(context.fs, status);
    }
  }
  print_text("All done.\n\n");
  return 0;
}

int run_sequence(const std::vector<std::string>& args, ModContext& context) {
  print_banner();
  if (args.size() == 1 && is_help_request(args[0])) {
    print_usage();
    return exit_code(Status::invalid_arguments);
  }
  if (args.size() > 2) {
    print_usage();
    return fail(context.fs, Status::wrong_argument_count);
  }
  if (args.size() == 1 && is_keyword(args[0], "-cleanup")) {
    return run_cleanup(context.fs);
  }

  bool allow_cd = true;
  if (const Status status = read_settings(context.fs, context.vars, allow_cd);
      status != Status::ok) {
    return fail(context.fs, status);
  }
  if (const int code = run_restore(context.fs, context.progress); code != 0) {
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
      return fail(context.fs, Status::invalid_arguments);
    }
  } else {
    install = false;
  }
  return build_mod(context, resolve_definition_path(context.fs, definition_argument), allow_cd,
                   install);
}

}  // namespace

Status read_settings(FileSystem& fs, VariableStore& vars, bool& allow_cd) {
  ConfigPaths paths;
  const Status status = read_config_paths(fs, paths);
  allow_cd = paths.allow_cd;
  if (status != Status::ok) {
    return status;
  }
  if (const Status defined = vars.define("VEXAL", paths.vexal, kNoClass, kNoClass);
      defined != Status::ok) {
    return defined;
  }
  return vars.define("VEXALCD", paths.vexalcd, kNoClass, kNoClass);
}

void set_mod_folder(ModContext& context, std::string_view definition_path) {
  const std::size_t separator = last_separator(definition_path);
  context.mod_folder = separator == std::string_view::npos
                           ? std::string(definition_path)
                           : std::string(definition_path.substr(0, separator + 1));
}

Status make_output_folder(FileSystem& fs, const VariableStore& vars,
                          const std::string& definition_path, std::string& output_folder) {
  output_folder = definition_path;
  const std::size_t separator = last_separator(output_folder);
  if (separator != std::string::npos && separator + 1 < output_folder.size()) {
    output_folder.resize(separator + 1);
  }

  std::string make;
  if (const Status status = vars.lookup("MAKE", kPathClass, make); status != Status::ok) {
    return status;
  }
  // Output folders are written with "\" whatever the author typed.
  std::replace(make.begin(), make.end(), '/', '\\');
  output_folder += make;
  if (output_folder.empty() || output_folder.back() != '\\') {
    output_folder += '\\';
  }

  // Create every level; the drive and the folders that exist fail harmlessly.
  for (std::size_t i = 0; i < output_folder.size(); ++i) {
    if (is_path_separator(output_folder[i])) {
      fs.make_directory(output_folder.substr(0, i));
    }
  }
  return Status::ok;
}

int run_tool(const std::vector<std::string>& args, FileSystem& fs) {
  VariableStore vars;
  ArchiveList archives;
  SlotTable slots{};
  reset_slot_table(slots);
  ConsoleProgress progress;
  ModContext context{fs, vars, archives, slots, progress, {}};
  try {
    return run_sequence(args, context);
  } catch (const std::bad_alloc&) {
    return fail(fs, Status::out_of_memory);
  }
}

}  // namespace vexal
