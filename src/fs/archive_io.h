// Filling source records from disk and writing output records to disk: the load
// dispatcher (archive file or folder), the archive file reader, the folder loader and
// the archive writer. Records are given by archive slot.
#pragma once

#include <string>

#include "fs/archive_list.h"
#include "platform/file_system.h"

namespace vexal {

// Fills the empty record at slot from a source path as written in a definition:
// relative paths are taken against mod_folder; ".FS"/".FSU" (any case) name an archive
// file, anything else a folder. Prints the loading progress line. 0, 2, 3, 402 or 403.
int fs_load(ArchiveList& list, FileSystem& fs, int slot, const std::string& path,
            const std::string& mod_folder);

// Reads an archive file; the layout follows the extension of the record's name.
// 0, 2, 3 or 403.
int fs_load_archive_file(ArchiveList& list, FileSystem& fs, int slot, const std::string& full_path);

// Loads a folder of loose files, flat or two-level. 0, 2, 3 or 402.
int fs_load_folder(ArchiveList& list, FileSystem& fs, int slot, const std::string& full_path);

// Sorts the output at slot and writes it to the file named by its name. 0, 2 or 401.
int fs_save_archive(ArchiveList& list, FileSystem& fs, int slot);

}  // namespace vexal
