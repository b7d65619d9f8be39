// vexal_mod_builder: builds the archives of a Vexal mod and swaps them into the game.
#include <string>
#include <vector>

#include "driver/run.h"
#include "platform/file_system.h"
#include "session/console.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const auto fs = vexal::make_native_file_system();
  const int status = vexal::run_tool(args, *fs);
  vexal::hold_own_console_window();
  return status;
}
