// Writing an output record as an FS archive file: the links are sorted by name, the
// entries laid out one after the other and their bytes copied from the sources.
#pragma once

#include "base/status.h"
#include "fs/archive_list.h"
#include "platform/file_system.h"

namespace vexal {

// Sorts the output at slot and writes it to the file its name gives. ok,
// programmer_error, archive_not_created or source_not_opened (a file of a source folder
// that can no longer be read or has changed its size); a file that could not be written
// whole is removed again.
Status save_archive(ArchiveList& list, FileSystem& fs, int slot);

}  // namespace vexal
