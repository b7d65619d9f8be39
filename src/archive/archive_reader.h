// Reading an FS archive file, flat (.FS) or two-level (.FSU), into a source record of
// the archive list. Every count, offset and size read from the file is checked against
// the file before it is used, so a damaged or foreign file is refused instead of being
// read past its end.
#pragma once

#include <string>

#include "archive/archive_list.h"
#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal {

// Fills the empty record at slot from the archive file at full_path; the layout follows
// the extension of the record's name ("FSU" in any case is two-level). ok,
// programmer_error, out_of_memory or archive_not_opened; a failure empties the list.
// A file that cannot be read, or what is damaged in it and at which offset, is
// explained to the reporter.
Status read_archive_file(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot,
                         const std::string& full_path);

}  // namespace vexal
