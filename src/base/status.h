// The outcome of every operation: ok, or the code of the failure that ends the run.
// The values are the codes the user sees (in reports and as exit statuses), grouped by
// hundreds: 2 to 11 general and the command line, 100s variables, 200s config.ini, 300s
// the definition file, 400s archives, 500s installing and restoring.
#pragma once

#include <string_view>

namespace vexal {

enum class [[nodiscard]] Status : int{
    ok = 0,
    programmer_error = 2,
    out_of_memory = 3,
    wrong_argument_count = 10,
    invalid_arguments = 11,
    variable_already_defined = 100,
    invalid_variable_expression = 101,
    undefined_variable = 102,
    config_missing = 200,
    config_values_missing = 201,
    invalid_statement = 300,
    class_already_defined = 301,
    unknown_class = 302,
    misplaced_brace = 303,
    misplaced_command = 304,
    incomplete_command = 305,
    misplaced_equals = 306,
    misplaced_open_paren = 307,
    misplaced_close_paren = 308,
    misplaced_comma = 309,
    command_in_path_class = 310,  // has no message of its own: reported as "unknown error!"
    unknown_command = 311,
    wrong_parameter_count = 312,
    invalid_command_parameter = 313,
    invalid_variable = 314,
    invalid_variable_value = 315,
    definition_not_opened = 316,
    archive_not_in_list = 400,
    archive_not_created = 401,
    source_not_opened = 402,
    archive_not_opened = 403,
    move_failed = 500,
    restore_failed = 501,
    status_paths_missing = 502,
    // config.ini could not be written. It is not a code of the table: it is reported as
    // "Unable to write to <file>" and ends the run with 200, as a failed write of the
    // Windows settings service does.
    config_not_written = 1200,
};

// The code a run that ends with the status exits with (0 for ok).
constexpr int exit_code(Status status) {
  return status == Status::config_not_written ? static_cast<int>(Status::config_missing)
                                              : static_cast<int>(status);
}

// The message of the code, "unknown error!" for a code without one.
std::string_view message_of(int code);
inline std::string_view message_of(Status status) {
  return message_of(static_cast<int>(status));
}

}  // namespace vexal
