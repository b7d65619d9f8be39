#include "base/status.h"

#include <array>
#include <utility>

namespace vexal {
namespace {

constexpr std::array<std::pair<int, std::string_view>, 32> kMessages = {{
    {2, "Programmers error! :-)"},
    {3, "memory allocation failed!"},
    {10, "wrong parameters count!"},
    {11, "invalid parameters!"},
    {100, "variable already defined!"},
    {101, "invalid value in variable expression!"},
    {102, "undefined variable!"},
    {200, "can't open \"config.ini\" file!"},
    {201, "missing \"config.ini\" values!"},
    {300, "invalid statement!"},
    {301, "class already defined!"},
    {302, "unknown class!"},
    {303, "misplaced { or } symbol!"},
    {304, "misplaced command!"},
    {305, "incomplete command!"},
    {306, "misplaced = symbol!"},
    {307, "misplaced ( symbol!"},
    {308, "misplaced ) symbol!"},
    {309, "misplaced , symbol!"},
    {311, "unknown command!"},
    {312, "wrong parameters count!"},
    {313, "invalid cmd parameter value or count!"},
    {314, "invalid variable!"},
    {315, "invalid variable value"},
    {316, "can't open *.DEF file!"},
    {400, "archive not found in list!"},
    {401, "can't create archive file!"},
    {402, "can't open source file!"},
    {403, "can't open archive file!"},
    {500, "moving file failed!"},
    {501, "mod restoration failed!"},
    {502, "missing \"config.ini\" [STATUS] section paths!"},
}};

}  // namespace

std::string_view message_of(int code) {
  for (const auto& [row_code, message] : kMessages) {
    if (row_code == code) {
      return message;
    }
  }
  return "unknown error!";
}

}  // namespace vexal
