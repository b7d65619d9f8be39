// One run of the builder, from the arguments to the exit status: the argument rules and
// the fixed order of the steps (settings, restore, build, install).
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace vexal {

// Runs the tool with the arguments after the program's name; returns the exit status.
int run_tool(const std::vector<std::string>& args, FileSystem& fs);

}  // namespace vexal
