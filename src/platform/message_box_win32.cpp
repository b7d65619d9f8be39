#include <windows.h>

#include "platform/message_box.h"

namespace vexal {

// Modal and without an owner window, so the run waits until the user has read it.
void show_error_message_box(const std::string& title, const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace vexal
