// Installing a built mod: each built archive replaces the game's archive, which is
// kept in the backup folder, and STATUS records the swap for the next run's restore.
#pragma once

#include <string>

#include "base/reporter.h"
#include "base/status.h"
#include "fs/archive_list.h"
#include "fs/catalogue.h"
#include "platform/file_system.h"

namespace vexal {

// Swaps every built archive of the slot table into the game, in catalogue order, with a
// progress line each. ok, config_missing (before anything changed), config_not_written,
// or the failure that stopped the walk over the archives (archive_not_in_list,
// config_values_missing, move_failed): the archives before it stay installed.
Status install_mod(FileSystem& fs, Reporter& reporter, const ArchiveList& list,
                   const SlotTable& slots, const std::string& output_folder);

}  // namespace vexal
