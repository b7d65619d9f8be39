// The steps of a session that both programs take, the builder to build and the
// toolkit to plan a build: the settings that define VEXAL and VEXALCD, the definition
// path, the mod folder, the output folder and the loop that saves the built archives.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "install/config.h"
#include "moddef/mod_context.h"
#include "moddef/variables.h"
#include "platform/file_system.h"

namespace vexal {

// Reads the PATH section of config.ini and defines VEXAL and VEXALCD from it, visible
// to the whole definition. The paths read (allow_cd among them), or the failure of the
// settings or of the variable store.
Expected<ConfigPaths> read_settings(FileSystem& fs, VariableStore& vars);

// The failure with what helps the user find config.ini when it is missing: that the
// working folder cannot be read, or that config.ini stands beside the program (a run
// started from Explorer works in another folder), with the commands that start the
// program there with the same arguments. Other failures come back as they are.
Failure with_config_hint(FileSystem& fs, const std::vector<std::string>& args, Failure failure);

// The definition file a command-line argument names: taken against the working folder
// unless it is absolute.
std::string definition_path_of(FileSystem& fs, const std::string& argument);

// The folder of a path: the text up to and including its last separator (the whole
// path when it has none).
void set_mod_folder(ModContext& context, std::string_view definition_path);

// The output folder: the definition's folder followed by the value of MAKE (seen at the
// PATH scope) and a "\". The folder, or programmer_error when MAKE is not visible.
Expected<std::string> output_folder_of(const VariableStore& vars,
                                       const std::string& definition_path);

// The output folder as output_folder_of gives it, refused with archive_not_created when
// it is the game's data folder, the CD's or the backup folder.
Expected<std::string> allowed_output_folder(FileSystem& fs, const VariableStore& vars,
                                            const std::string& definition_path);

// Creates every level of a folder path that does not exist yet; done when the folder
// exists afterwards, otherwise the failure of making its last level.
IoResult make_folders(FileSystem& fs, const std::string& folder);

// Creates every level of the output folder, warning when it cannot: saving into it
// fails then, and says so, while a mod without archives needs no folder.
void make_output_folder(FileSystem& fs, Reporter& reporter, const std::string& output_folder);

// Saves the output of every slot into the output folder, in catalogue order, with a
// progress line each, setting each output's file path. ok, or the failure of the first
// archive that could not be saved.
Outcome save_archives(FileSystem& fs, Reporter& reporter, const ArchiveList& archives,
                      const SlotTable& slots, const std::string& output_folder);

}  // namespace vexal
