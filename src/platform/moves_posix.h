// Moving files on POSIX systems: a rename that refuses an existing destination and is
// written through to the disk, and in its place between two file systems a copy that
// appears under the destination's name only when it is whole, and leaves the file in
// exactly one of them.
#pragma once

#include <string>

namespace vexal::posix {

// Writes the entries of the folder through to the disk, so that a rename or a new file
// in it survives a power loss; false (errno set) when that failed. A file system that
// has nothing to write for a folder counts as written.
[[nodiscard]] bool sync_folder(const std::string& folder);

// How a move ended.
struct MoveResult {
  int error = 0;  // 0 when the file moved, otherwise the errno of the step that failed
  // What a failed move could not take back, for the user to deal with: a description of
  // the file left behind ("the copy ... is left"), empty when nothing is.
  std::string left_behind;
};

// Moves a regular file (paths in the operating system's form) unless the destination
// exists, durably; across file systems by a copy (see file_system.h). A failed move
// leaves the source as it was.
MoveResult move_no_replace(const std::string& from, const std::string& to);

// Changes the spelling of a file's name in its folder, durably.
MoveResult rename_in_place(const std::string& from, const std::string& to);

}  // namespace vexal::posix
