#include "toolkit/json_output.h"

#include <cstdio>
#include <string>

namespace vexal::fs_tool {

Json json_document(std::string_view command) {
  Json document;
  document["schema"] = kJsonSchema;
  document["command"] = command;
  return document;
}

void print_json(const Json& document) {
  const std::string text = document.dump(-1, ' ', false, Json::error_handler_t::replace);
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

}  // namespace vexal::fs_tool
