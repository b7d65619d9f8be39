#include <cstdio>

#include "platform/message_box.h"

namespace vexal {

// There is no desktop to show a box on: the console gets the same words and the run goes
// on at once, as it would after the user closed the box.
void show_error_message_box(const std::string& title, const std::string& text) {
  std::printf("%s\n%s\n\n", title.c_str(), text.c_str());
  std::fflush(stdout);
}

}  // namespace vexal
