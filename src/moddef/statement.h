// The statements of a block body: assignments (name = value) and commands
// (name(parameters)), parsed character by character and executed at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "moddef/block.h"
#include "moddef/mod_context.h"

namespace vexal {

// Parses one statement of the block (the text between the start of the statement and its
// terminator) and executes it.
Outcome run_statement(ModContext& context, std::string_view statement, Block block);

// In a PATH or SRC block defines a variable; in an archive block sets its replace mode.
// Fails with invalid_variable, invalid_variable_value, archive_not_in_list or a failure of
// the variable store.
Outcome exec_assignment(ModContext& context, std::string_view name, std::string_view value,
                        Block block);

// The "add" command: parsed by parse_add, then run by run_add.
Outcome exec_command(ModContext& context, std::string_view name,
                     const std::vector<std::string>& parameters, Block block);

// How an add links a name that the output has already: as the block's replace mode
// says, or as its first parameter NEW (keeps it) or ALL (re-points it) says.
enum class AddMode { block, new_only, all };

// add([NEW | ALL,] source [, mask]), its parameters as written.
struct AddCommand {
  AddMode mode = AddMode::block;
  std::string source;               // variables not yet expanded
  std::optional<std::string> mask;  // every entry when absent
};

// The command of that name and those parameters: unknown_command,
// wrong_parameter_count (more than three) or invalid_command_parameter when it is no add.
Expected<AddCommand> parse_add(std::string_view name, const std::vector<std::string>& parameters);

// Loads the source once per run and links its entries, or those the mask takes, into
// the output of the block; text is the command as written, for warnings and the observer.
Outcome run_add(ModContext& context, const AddCommand& command, std::string_view text, Block block);

// True when the whole entry name matches the whole mask of an add: "*" any run of
// characters, "?" one character, everything else the identical byte (letter case counts,
// unlike the folder listing's matches_listing_pattern).
bool matches_entry_mask(std::string_view mask, std::string_view name);

// The first source loaded under the path, compared without regard to case, or null.
const SourceArchive* find_source(const ModContext& context, std::string_view path);

}  // namespace vexal
