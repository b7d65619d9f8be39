// Clearing the tool's record of swapped archives after the user has put the game's
// archives back by hand.
#pragma once

#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal {

// Sets every archive key of STATUS to 0, touching no file. ok, config_missing or
// config_not_written.
Status cleanup_config(FileSystem& fs, Reporter& reporter);

}  // namespace vexal
