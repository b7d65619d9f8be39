// Loading a folder of loose files as a source: a folder without subfolders becomes a
// flat archive (each file an entry), one with subfolders a two-level archive (each
// short-named subfolder a group of three-character item files).
#pragma once

#include <string>

#include "archive/archive_list.h"
#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal {

// Fills the empty record at slot from the folder at full_path. ok, programmer_error,
// out_of_memory or source_not_opened (also for a folder that does not exist or cannot be
// listed, or whose paths would be longer than the platform takes), explained to the
// reporter with the file or folder at fault; a failure empties the list. Every file and
// folder passed over is warned about, with the reason.
Status load_folder(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot,
                   const std::string& full_path);

}  // namespace vexal
