// Loading a source named in a definition: an archive file or a folder, chosen by the
// path's extension, with its progress line.
#pragma once

#include <string>

#include "archive/archive_list.h"
#include "base/expected.h"
#include "base/reporter.h"
#include "platform/file_system.h"

namespace vexal {

// Fills the empty source from its path as written in a definition. A relative path is
// taken against mod_folder; ".FS" and ".FSU" (any case) name an archive file, anything
// else a folder, with a progress line. Fails with programmer_error, out_of_memory,
// source_not_opened or archive_not_opened, explained.
Outcome load_source(FileSystem& fs, Reporter& reporter, SourceArchive& source,
                    const std::string& mod_folder);

}  // namespace vexal
