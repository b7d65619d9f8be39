#include "session/run_steps.h"

#include <algorithm>

#include "archive/archive_writer.h"
#include "install/config.h"
#include "install/install.h"
#include "platform/ascii.h"
#include "platform/console.h"
#include "platform/path_rules.h"

namespace vexal {

Expected<ConfigPaths> read_settings(FileSystem& fs, VariableStore& vars) {
  Expected<ConfigPaths> paths = read_config_paths(fs);
  if (!paths) {
    return paths;
  }
  for (const auto& [name, value] :
       {std::pair{"VEXAL", &paths->vexal}, {"VEXALCD", &paths->vexalcd}}) {
    if (Outcome defined = vars.define(name, *value, VariableLevel::settings); !defined) {
      return std::move(defined).failure();
    }
  }
  return paths;
}

namespace {

// The line that says config.ini stands beside the program and not in the working folder,
// or nullopt.
std::optional<std::string> config_beside_program(FileSystem& fs,
                                                 const std::vector<std::string>& args) {
  const std::string program = program_path();
  const std::size_t separator = last_separator(program);
  const std::string cwd = fs.current_directory();
  if (separator == std::string::npos || cwd.empty()) {
    return std::nullopt;
  }
  const std::string folder = program.substr(0, separator);
  if (equal_ignoring_case(folder, cwd) || !fs.is_file(join_path(folder, "config.ini"))) {
    return std::nullopt;
  }
  std::string command(file_name_part(program));
  for (const std::string& argument : args) {
    const bool blank = argument.find_first_of(" \t") != std::string::npos;
    command += blank ? " \"" + argument + "\"" : " " + argument;
  }
  return "config.ini is not in the working folder " + cwd + " but beside the program, in " +
         folder + "; start the program there: " + change_folder_command(folder) + " then " +
         command;
}

}  // namespace

Failure with_config_hint(FileSystem& fs, const std::vector<std::string>& args, Failure failure) {
  if (failure.status != Status::config_missing) {
    return failure;
  }
  if (fs.current_directory().empty()) {
    return std::move(failure).because(
        "the working folder cannot be read (it may have been deleted or renamed); run the "
        "tool from the folder that holds config.ini");
  }
  if (std::optional<std::string> hint = config_beside_program(fs, args)) {
    failure.because(std::move(*hint));
  }
  return failure;
}

std::string definition_path_of(FileSystem& fs, const std::string& argument) {
  return is_absolute_path(argument) ? argument : join_path(fs.current_directory(), argument);
}

void set_mod_folder(ModContext& context, std::string_view definition_path) {
  const std::size_t separator = last_separator(definition_path);
  context.mod_folder = separator == std::string_view::npos
                           ? std::string(definition_path)
                           : std::string(definition_path.substr(0, separator + 1));
}

Expected<std::string> output_folder_of(const VariableStore& vars,
                                       const std::string& definition_path) {
  std::string output_folder = definition_path;
  const std::size_t separator = last_separator(output_folder);
  if (separator != std::string::npos && separator + 1 < output_folder.size()) {
    output_folder.resize(separator + 1);
  }

  std::optional<std::string> make = vars.lookup("MAKE", VariableLevel::path);
  if (!make) {
    return Failure(Status::programmer_error,
                   "MAKE, the output folder, is not defined in a PATH block");
  }
  // Output folders are written with "\" whatever the author typed.
  std::replace(make->begin(), make->end(), '/', '\\');
  output_folder += *make;
  if (output_folder.empty() || output_folder.back() != '\\') {
    output_folder += '\\';
  }
  return output_folder;
}

Expected<std::string> allowed_output_folder(FileSystem& fs, const VariableStore& vars,
                                            const std::string& definition_path) {
  Expected<std::string> output_folder = output_folder_of(vars, definition_path);
  if (!output_folder) {
    return output_folder;
  }
  if (Outcome allowed = check_output_folder(fs, *output_folder); !allowed) {
    return std::move(allowed).failure();
  }
  return output_folder;
}

IoResult make_folders(FileSystem& fs, const std::string& folder) {
  // Every level is tried: the drive and the folders that exist already refuse to be
  // made, which is fine; what counts is that the last level is a folder afterwards.
  std::string level;
  IoResult made = IoResult::failed({});
  for (std::size_t i = 0; i < folder.size(); ++i) {
    if (is_path_separator(folder[i])) {
      level = folder.substr(0, i);
      made = fs.make_directory(level);
    }
  }
  if (!folder.empty() && !is_path_separator(folder.back())) {
    level = folder;
    made = fs.make_directory(level);
  }
  return made || fs.is_directory(level) ? IoResult() : made;
}

void make_output_folder(FileSystem& fs, Reporter& reporter, const std::string& output_folder) {
  if (const IoResult made = make_folders(fs, output_folder); !made) {
    reporter.warn(made.describe("the output folder " + output_folder + " cannot be made"));
  }
}

Outcome save_archives(FileSystem& fs, Reporter& reporter, const ArchiveList& archives,
                      const SlotTable& slots, const std::string& output_folder) {
  for (OutputArchive* output : slots) {
    if (output == nullptr) {
      continue;
    }
    output->file_path = output_folder + output->name;
    reporter.begin(Reporter::Step::saving_archive, output->name);
    Outcome saved = save_archive(archives, fs, *output);
    reporter.end(saved.has_value());
    if (!saved) {
      return saved;
    }
  }
  return {};
}

}  // namespace vexal
