// The console window and the program file, as far as the driver needs them: a window
// that Windows opened for one run closes as soon as the run ends, and a run started
// from Explorer has a working folder other than the program's.
#pragma once

#include <string>
#include <string_view>

namespace vexal {

// True when the run has a console window of its own, one that closes when it ends: it
// is the only process of its console (started from Explorer by a double click or by
// dropping a file onto the program), and both standard input and standard output are
// that console. False for a run from a console, a script or a pipe, and on POSIX.
bool has_console_window_of_its_own();

// Waits until a key is pressed in the console.
void wait_for_key();

// The full path of the running program file; empty when the system cannot tell.
std::string program_path();

// The shell command that makes the folder the working folder.
std::string change_folder_command(std::string_view folder);

}  // namespace vexal
