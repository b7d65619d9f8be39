// Reading an FS archive file, flat (.FS) or two-level (.FSU), into a source record of
// the archive list. Every count, offset and size read from the file is checked against
// the file before it is used, so a damaged or foreign file is refused instead of being
// read past its end.
#pragma once

#include <string>

#include "archive/archive_list.h"
#include "base/expected.h"
#include "platform/file_system.h"

namespace vexal {

// Fills the empty source from the archive file at full_path; the layout follows the
// extension of the source's path (layout_of_name). Fails with programmer_error,
// out_of_memory or archive_not_opened, explained: a file that cannot be read, or what is
// damaged in it and at which offset.
Outcome read_archive_file(FileSystem& fs, SourceArchive& source, const std::string& full_path);

}  // namespace vexal
