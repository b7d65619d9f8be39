// Installing a built mod: each built archive replaces the game's archive, which is
// kept in the backup folder, and STATUS records the swap for the next run's restore.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_list.h"
#include "archive/catalogue.h"
#include "base/expected.h"
#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal {

// Swaps every built archive of the slot table into the game, in catalogue order, with a
// progress line each, after checking that every swap can be made. On a failure
// (config_missing, archive_not_in_list, config_values_missing, move_failed or
// config_not_written) the swaps made so far are taken back, the last first, and the
// failure says how far that got.
Outcome install_mod(FileSystem& fs, Reporter& reporter, const SlotTable& slots,
                    const std::string& output_folder);

// Refuses, before anything is written, an output folder that is the game's data folder,
// the CD's or the backup folder, where a build would overwrite the game's archives in
// place: archive_not_created.
Outcome check_output_folder(FileSystem& fs, const std::string& output_folder);

// The lock files of the game's data folders that PATH names (one when both are the
// same folder); empty when config.ini or its PATH cannot be read. Runs on one game, from
// any working folder, take turns through them.
std::vector<std::string> game_lock_paths(FileSystem& fs);

}  // namespace vexal
