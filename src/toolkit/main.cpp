// vexal_fs: the mod author's toolkit for Vexal's archives (see fs_tool.h).
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "session/console.h"
#include "toolkit/fs_tool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const auto fs = vexal::make_native_file_system();
  const int status = vexal::fs_tool::run_fs_tool(args, *fs);
  vexal::hold_own_console_window();
  return status;
}
