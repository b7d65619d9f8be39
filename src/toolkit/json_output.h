// The toolkit's results as one JSON document on standard output, for a program that
// reads them (docs/json.md). Every document names its schema version and subcommand;
// the exit status is the text form's.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

namespace vexal::fs_tool {

using Json = nlohmann::ordered_json;

// Raised whenever a document changes in a way its readers may notice.
inline constexpr int kJsonSchema = 1;

// {"schema": kJsonSchema, "command": command}, to which a subcommand adds its fields.
Json json_document(std::string_view command);

// The document on one line. Text that is not UTF-8 (names and paths are bytes) has its
// bad bytes replaced by U+FFFD.
void print_json(const Json& document);

}  // namespace vexal::fs_tool
