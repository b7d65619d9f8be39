#include "base/status.h"

namespace vexal {

std::string_view message_of(int code) {
  switch (code) {
#define VEXAL_STATUS_MESSAGE(name, value, message) \
  case value:                                      \
    return message;
    VEXAL_STATUS_TABLE(VEXAL_STATUS_MESSAGE)
#undef VEXAL_STATUS_MESSAGE
    default:
      return "unknown error!";
  }
}

}  // namespace vexal
