// Loading a source named in a definition: an archive file or a folder, chosen by the
// path's extension, with its progress line.
#pragma once

#include <string>

#include "archive/archive_list.h"
#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal {

// Fills the empty record at slot from a source path as written in a definition and
// names the record after it. A relative path is taken against mod_folder; ".FS" and
// ".FSU" (any case) name an archive file, anything else a folder. ok, programmer_error,
// out_of_memory, source_not_opened or archive_not_opened.
Status load_source(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot,
                   const std::string& path, const std::string& mod_folder);

}  // namespace vexal
