// The steps of a session that both programs take, the builder to build and the
// toolkit to plan a build: the settings that define VEXAL and VEXALCD, the definition
// path, the mod folder, the output folder and the loop that saves the built archives.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "moddef/mod_context.h"
#include "moddef/variables.h"
#include "platform/file_system.h"

namespace vexal {

// Reads the PATH section of config.ini and defines VEXAL and VEXALCD from it, visible
// to the whole definition; allow_cd is set even when a value is missing. ok, a status
// of the settings or one of the variable store, explained to the reporter.
Status read_settings(FileSystem& fs, Reporter& reporter, VariableStore& vars, bool& allow_cd);

// When config.ini is missing from the working folder but stands beside the program (a
// run started from Explorer works in another folder), explains so to the reporter, with
// the commands that start the program there with the same arguments.
void explain_config_beside_program(FileSystem& fs, Reporter& reporter,
                                   const std::vector<std::string>& args);

// The definition file a command-line argument names: taken against the working folder
// unless it is absolute.
std::string definition_path_of(FileSystem& fs, const std::string& argument);

// The folder of a path: the text up to and including its last separator (the whole
// path when it has none).
void set_mod_folder(ModContext& context, std::string_view definition_path);

// The output folder: the definition's folder followed by the value of MAKE (seen at the
// PATH scope) and a "\". ok, or programmer_error (explained) when MAKE is not visible.
Status output_folder_of(Reporter& reporter, const VariableStore& vars,
                        const std::string& definition_path, std::string& output_folder);

// The output folder as output_folder_of gives it, refused with archive_not_created
// (explained) when it is the game's data folder, the CD's or the backup folder.
Status allowed_output_folder(FileSystem& fs, Reporter& reporter, const VariableStore& vars,
                             const std::string& definition_path, std::string& output_folder);

// Creates every level of a folder path that does not exist yet; done when the folder
// exists afterwards, otherwise the failure of making its last level.
IoResult make_folders(FileSystem& fs, const std::string& folder);

// The output folder as output_folder_of gives it, with every level of it created.
Status make_output_folder(FileSystem& fs, Reporter& reporter, const VariableStore& vars,
                          const std::string& definition_path, std::string& output_folder);

// Saves the output of every slot into the output folder, in catalogue order, with a
// progress line each, setting each output's file path. ok, or the failure of the first
// archive that could not be saved.
Status save_archives(FileSystem& fs, Reporter& reporter, const ArchiveList& archives,
                     const SlotTable& slots, const std::string& output_folder);

}  // namespace vexal
