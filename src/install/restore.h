// Putting the game's own archives back: the file move used for every swap, and the
// restore that starts every run and undoes the previous installation.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace vexal {

// Moves a file; with replace an existing destination file is deleted first.
bool move_file(FileSystem& fs, const std::string& from, const std::string& to, bool replace);

// Restores every archive that STATUS records as swapped in. 0, 200, 501 or 502.
int restore_archives(FileSystem& fs);

}  // namespace vexal
