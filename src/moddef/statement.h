// The statements of a block body: assignments (name = value) and commands
// (name(parameters)), parsed character by character and executed at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "moddef/mod_context.h"

namespace vexal {

// Parses one statement of a block of the given class code (the text between the start
// of the statement and its terminator) and executes it.
Status run_statement(ModContext& context, std::string_view statement, int class_code);

// In a PATH or SRC block defines a variable; in an archive block sets its replace mode.
// ok, invalid_variable, invalid_variable_value, archive_not_in_list or a status of
// the variable store.
Status exec_assignment(ModContext& context, std::string_view name, std::string_view value,
                       int class_code);

// The "add" command: loads the source once per run and links its entries, or those
// matching the mask, into the output of the block.
Status exec_command(ModContext& context, std::string_view name,
                    const std::vector<std::string>& parameters, int class_code);

// True when the whole entry name matches the whole mask of an add: "*" any run of
// characters, "?" one character, everything else the identical byte (letter case counts,
// unlike the folder listing's matches_listing_pattern).
bool matches_entry_mask(std::string_view mask, std::string_view name);

// The first source loaded under the path, compared without regard to case, or null.
const SourceArchive* find_source(const ModContext& context, std::string_view path);

}  // namespace vexal
