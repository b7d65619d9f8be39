// Moving files on POSIX systems: a rename that refuses an existing destination, and in its
// place between two file systems a copy that leaves the file in exactly one of them.
#pragma once

#include <string>

namespace vexal::posix {

// Makes a rename or a new entry in the folder survive a power loss.
void sync_folder(const std::string& folder);

// Renames a file (paths in the operating system's form) unless the destination exists;
// across file systems the file is copied and the source deleted.
bool rename_no_replace(const std::string& from, const std::string& to);

}  // namespace vexal::posix
