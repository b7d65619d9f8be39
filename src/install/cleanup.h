// Clearing the tool's record of swapped archives after the user has put the game's
// archives back by hand.
#pragma once

#include "base/expected.h"
#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal {

// Sets every archive key of STATUS to 0 and drops this working folder's entries from
// the records in the game's folders, touching no archive. Warns for each archive still
// swapped in that the game keeps the mod's archive, and where the game's own is;
// config_missing or config_not_written.
Outcome cleanup_config(FileSystem& fs, Reporter& reporter);

}  // namespace vexal
