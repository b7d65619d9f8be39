// Writing an output record as an FS archive file: the links are sorted by name, the
// entries laid out one after the other and their bytes copied from the sources.
#pragma once

#include "archive/archive_list.h"
#include "base/expected.h"
#include "platform/file_system.h"

namespace vexal {

// Sorts the output's links by name and writes it to its file_path. Fails with
// programmer_error, archive_not_created or source_not_opened (a file of a source folder
// that can no longer be read or has changed its size), explained; a file that could not
// be written whole is removed again. An output that links an entry of the other layout
// (a group into a flat archive, a flat entry into the two-level one) is refused before
// the file is created.
Outcome save_archive(const ArchiveList& list, FileSystem& fs, OutputArchive& output);

}  // namespace vexal
