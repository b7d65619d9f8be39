// Installing a built mod: each built archive replaces the game's archive, which is
// kept in the backup folder, and STATUS records the swap for the next run's restore.
#pragma once

#include <string>

#include "fs/archive_list.h"
#include "moddef/catalogue.h"
#include "platform/file_system.h"

namespace vexal {

// 0, or 200 before anything changed. A failure inside the walk over the archives is
// reported here and ends the run by throwing RunEnded with its code (400, 201, 500).
int install_mod(FileSystem& fs, const ArchiveList& list, const SlotTable& slots,
                const std::string& output_folder);

}  // namespace vexal
