// The moves of archive files between the game's folders, the backup folder and the
// output folder, and the names under which a file the tool must keep is set aside.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace vexal {

// Moves a file; with replace an existing destination file is deleted first.
IoResult move_file(FileSystem& fs, const std::string& from, const std::string& to, bool replace);
// Why a move failed, naming both paths.
std::string move_failure(FileSystem& fs, const IoResult& failed, const std::string& from,
                         const std::string& to);

// A free name beside path for an older version kept there: path followed by
// ".old-YYYYMMDD-HHMMSS" (local time), with "-2", "-3" ... when that is taken. No later
// installation trips over it, and no file is ever overwritten under it.
std::string kept_name(FileSystem& fs, const std::string& path);

}  // namespace vexal
