// Putting the game's own archives back: the file move used for every swap, and the
// restore that starts every run and undoes the previous installation.
#pragma once

#include <string>

#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal {

// Moves a file; with replace an existing destination file is deleted first.
[[nodiscard]] bool move_file(FileSystem& fs, const std::string& from, const std::string& to,
                             bool replace);
// Why move_file just failed, naming both paths.
std::string move_failure(FileSystem& fs, const std::string& from, const std::string& to);

// Restores every archive that STATUS records as swapped in, with a progress line each.
// ok, config_missing, restore_failed, status_paths_missing or config_not_written (which
// ends the walk at once).
Status restore_archives(FileSystem& fs, Reporter& reporter);

}  // namespace vexal
