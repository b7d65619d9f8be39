// The outcome of every operation: ok, or the code of the failure that ends the run.
// The values are the codes the user sees (in reports and as exit statuses), grouped by
// hundreds: 2 to 11 general and the command line, 100s variables, 200s config.ini, 300s
// the definition file, 400s archives, 500s installing and restoring.
#pragma once

#include <string_view>

namespace vexal {

// Every code with a message of its own: X(name, code, message).
#define VEXAL_STATUS_TABLE(X)                                                  \
  X(programmer_error, 2, "Programmers error! :-)")                             \
  X(out_of_memory, 3, "memory allocation failed!")                             \
  X(wrong_argument_count, 10, "wrong parameters count!")                       \
  X(invalid_arguments, 11, "invalid parameters!")                              \
  X(variable_already_defined, 100, "variable already defined!")                \
  X(invalid_variable_expression, 101, "invalid value in variable expression!") \
  X(undefined_variable, 102, "undefined variable!")                            \
  X(config_missing, 200, "can't open \"config.ini\" file!")                    \
  X(config_values_missing, 201, "missing \"config.ini\" values!")              \
  X(invalid_statement, 300, "invalid statement!")                              \
  X(class_already_defined, 301, "class already defined!")                      \
  X(unknown_class, 302, "unknown class!")                                      \
  X(misplaced_brace, 303, "misplaced { or } symbol!")                          \
  X(misplaced_command, 304, "misplaced command!")                              \
  X(incomplete_command, 305, "incomplete command!")                            \
  X(misplaced_equals, 306, "misplaced = symbol!")                              \
  X(misplaced_open_paren, 307, "misplaced ( symbol!")                          \
  X(misplaced_close_paren, 308, "misplaced ) symbol!")                         \
  X(misplaced_comma, 309, "misplaced , symbol!")                               \
  X(unknown_command, 311, "unknown command!")                                  \
  X(wrong_parameter_count, 312, "wrong parameters count!")                     \
  X(invalid_command_parameter, 313, "invalid cmd parameter value or count!")   \
  X(invalid_variable, 314, "invalid variable!")                                \
  X(invalid_variable_value, 315, "invalid variable value")                     \
  X(definition_not_opened, 316, "can't open *.DEF file!")                      \
  X(archive_not_in_list, 400, "archive not found in list!")                    \
  X(archive_not_created, 401, "can't create archive file!")                    \
  X(source_not_opened, 402, "can't open source file!")                         \
  X(archive_not_opened, 403, "can't open archive file!")                       \
  X(move_failed, 500, "moving file failed!")                                   \
  X(restore_failed, 501, "mod restoration failed!")                            \
  X(status_paths_missing, 502, "missing \"config.ini\" [STATUS] section paths!")

enum class [[nodiscard]] Status : int{
    ok = 0,
#define VEXAL_STATUS_VALUE(name, code, message) name = code,
    VEXAL_STATUS_TABLE(VEXAL_STATUS_VALUE)
#undef VEXAL_STATUS_VALUE
        command_in_path_class = 310,  // has no message of its own: reported as "unknown error!"
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
