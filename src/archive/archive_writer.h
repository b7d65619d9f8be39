// Writing an output record as an FS archive file: the links are sorted by name, the
// entries laid out one after the other and their bytes copied from the sources.
#pragma once

#include "archive/archive_list.h"
#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal {

// Sorts the output at slot and writes it to the file its name gives. ok,
// programmer_error, archive_not_created or source_not_opened (a file of a source folder
// that can no longer be read or has changed its size), each explained to the reporter;
// a file that could not be written whole is removed again. An output that links an
// entry of the other layout (a group into a flat archive, a flat entry into the
// two-level one) is refused before the file is created.
Status save_archive(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot);

}  // namespace vexal
