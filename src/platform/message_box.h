// The modal message box the tool shows for a failed restore. Platforms without one
// print its title and text to the console instead and go on at once.
#pragma once

#include <string>

namespace vexal {

void show_error_message_box(const std::string& title, const std::string& text);

}  // namespace vexal
