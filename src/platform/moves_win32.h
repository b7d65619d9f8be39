// Moving files on Windows: a rename written through to the disk that refuses an existing
// destination, and in its place between two volumes a copy that appears under the
// destination's name only when it is whole, and leaves the file on exactly one of them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vexal::win32 {

// How a move ended.
struct MoveResult {
  DWORD error = ERROR_SUCCESS;  // the error of the step that failed
  // What a failed move could not take back, for the user to deal with; empty when nothing.
  std::string left_behind;
};

// Moves a file unless the destination exists, durably; across volumes by a copy (see
// file_system.h), after which remove_source deletes the source (ERROR_SUCCESS or why it
// could not). A failed move leaves the source as it was.
MoveResult move_no_replace(const std::string& from, const std::string& to,
                           const std::function<DWORD()>& remove_source);

}  // namespace vexal::win32
