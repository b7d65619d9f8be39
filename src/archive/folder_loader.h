// Loading a folder of loose files as a source: a folder without subfolders becomes a
// flat archive (each file an entry), one with subfolders a two-level archive (each
// short-named subfolder a group of three-character item files).
#pragma once

#include <string>

#include "archive/archive_list.h"
#include "base/expected.h"
#include "base/reporter.h"
#include "platform/file_system.h"

namespace vexal {

// Fills the empty source from the folder at full_path. Fails with programmer_error,
// out_of_memory or source_not_opened (also for a folder that does not exist or cannot be
// listed, or whose paths would be longer than the platform takes), explained with the
// file or folder at fault. Every file and folder passed over is warned about to the
// reporter, with the reason.
Outcome load_folder(FileSystem& fs, Reporter& reporter, SourceArchive& source,
                    const std::string& full_path);

}  // namespace vexal
