#include "driver/run.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "driver/error.h"
#include "fs/archive_io.h"
#include "install/cleanup.h"
#include "install/config.h"
#include "install/install.h"
#include "install/restore.h"
#include "moddef/definition.h"
#include "platform/ascii.h"
#include "platform/message_box.h"
#include "platform/path_rules.h"
#include "platform/settings.h"

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
int fail(int code) {
  print_error(code);
  return code;
}

int run_cleanup(FileSystem& fs) {
  print_text("Cleaning up \"config.ini\" trash ... ");
  const int code = cleanup_config(fs);
  if (code != 0) {
    print_text("failed\n\n");
    return fail(code);
  }
  print_text("done\n\n");
  return 0;
}

int run_restore(FileSystem& fs) {
  const int code = restore_archives(fs);
  if (code != 0) {
    print_error(code);
    print_text(kNotRestoredBlock);
    if (code == kRestoreFailed) {
      show_error_message_box(kRestoreFailedTitle, kRestoreFailedText);
    }
  }
  return code;
}

std::string resolve_definition_path(FileSystem& fs, const std::string& argument) {
  if (is_absolute_path(argument)) {
    return argument;
  }
  return fs.current_directory() + "\\" + argument;
}

int save_archives(ModContext& context, const std::string& output_folder) {
  for (const int archive_slot : context.slots) {
    if (archive_slot == -1) {
      continue;
    }
    ArchiveRecord* record = context.archives.fs_get_archive(archive_slot);
    if (record == nullptr) {
      return fail(kArchiveNotInList);
    }
    record->name = output_folder + record->name;
    report_saving_archive(record->name);
    const int code = fs_save_archive(context.archives, context.fs, archive_slot);
    report_save_result(code);
    if (code != 0) {
      return fail(code);
    }
  }
  return 0;
}

// Loads and scans the definition, then saves and (with install) installs its archives.
int build_mod(ModContext& context, const std::string& definition_path, int allow_cd, bool install) {
  set_mod_folder(context, definition_path);
  reset_slot_table(context.slots);

  std::string text;
  if (const int code = load_definition(context.fs, definition_path, text); code != 0) {
    return fail(code);
  }
  const ScanResult scan = scan_definition(context, text, allow_cd != 0);
  free_definition(text);
  if (scan.result > 1) {
    print_error_at_line(scan.result, scan.line);
    return scan.result;
  }

  std::string output_folder;
  if (const int code = make_output_folder(context.fs, context.vars, definition_path, output_folder);
      code != 0) {
    return fail(code);
  }
  if (const int code = save_archives(context, output_folder); code != 0) {
    return code;
  }
  if (install) {
    if (const int code = install_mod(context.fs, context.archives, context.slots, output_folder);
        code != 0) {
      return fail(code);
    }
  }
  print_text("All done.\n\n");
  return 0;
}

int run_sequence(const std::vector<std::string>& args, ModContext& context) {
  print_banner();
  if (args.size() == 1 && is_help_request(args[0])) {
    print_usage();
    return kInvalidArguments;
  }
  if (args.size() > 2) {
    print_usage();
    return fail(kWrongArgumentCount);
  }
  if (args.size() == 1 && is_keyword(args[0], "-cleanup")) {
    return run_cleanup(context.fs);
  }

  int allow_cd = 1;
  if (const int code = read_config_paths(context.fs, context.vars, allow_cd); code != 0) {
    return fail(code);
  }
  if (const int code = run_restore(context.fs); code != 0) {
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
      return fail(kInvalidArguments);
    }
  } else {
    install = false;
  }
  return build_mod(context, resolve_definition_path(context.fs, definition_argument), allow_cd,
                   install);
}

}  // namespace

void set_mod_folder(ModContext& context, std::string_view definition_path) {
  const std::size_t separator = last_separator(definition_path);
  context.mod_folder = separator == std::string_view::npos
                           ? std::string(definition_path)
                           : std::string(definition_path.substr(0, separator + 1));
}

int make_output_folder(FileSystem& fs, const VariableStore& vars,
                       const std::string& definition_path, std::string& output_folder) {
  output_folder = definition_path;
  const std::size_t separator = last_separator(output_folder);
  if (separator != std::string::npos && separator + 1 < output_folder.size()) {
    output_folder.resize(separator + 1);
  }

  std::string make;
  if (const int code = vars.var_lookup("MAKE", kPathClass, make); code != 0) {
    return code;
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
  return 0;
}

int run_tool(const std::vector<std::string>& args, FileSystem& fs) {
  VariableStore vars;
  ArchiveList archives;
  SlotTable slots{};
  reset_slot_table(slots);
  ModContext context{fs, vars, archives, slots, {}};
  try {
    return run_sequence(args, context);
  } catch (const RunEnded& ended) {
    return ended.code();
  } catch (const std::bad_alloc&) {
    return fail(kOutOfMemory);
  } catch (const SettingsWriteError& error) {
    std::printf("Error - Unable to write to %s\n", error.path().c_str());
    std::fflush(stdout);
    return kConfigMissing;
  }
}

}  // namespace vexal
