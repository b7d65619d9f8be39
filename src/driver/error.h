// Error codes, their messages, and everything the tool prints: the banner, the usage
// text, the one-line error reports and the progress lines around each archive.
// All output goes to standard output.
#pragma once

#include <stdexcept>
#include <string_view>

namespace vexal {

// Codes returned by every operation; 0 is success. The first failure ends the run and
// becomes its exit status.
enum ErrorCode : int {
  kOk = 0,
  kEndOfText = 1,  // the class scanner's normal end; never reported
  kProgrammerError = 2,
  kOutOfMemory = 3,
  kWrongArgumentCount = 10,
  kInvalidArguments = 11,
  kVariableAlreadyDefined = 100,
  kInvalidVariableExpression = 101,
  kUndefinedVariable = 102,
  kConfigMissing = 200,
  kConfigValuesMissing = 201,
  kInvalidStatement = 300,
  kClassAlreadyDefined = 301,
  kUnknownClass = 302,
  kMisplacedBrace = 303,
  kMisplacedCommand = 304,
  kIncompleteCommand = 305,
  kMisplacedEquals = 306,
  kMisplacedOpenParen = 307,
  kMisplacedCloseParen = 308,
  kMisplacedComma = 309,
  kCommandInPathClass = 310,
  kUnknownCommand = 311,
  kWrongParameterCount = 312,
  kInvalidCommandParameter = 313,
  kInvalidVariable = 314,
  kInvalidVariableValue = 315,
  kDefinitionNotOpened = 316,
  kArchiveNotInList = 400,
  kArchiveNotCreated = 401,
  kSourceNotOpened = 402,
  kArchiveNotOpened = 403,
  kMoveFailed = 500,
  kRestoreFailed = 501,
  kStatusPathsMissing = 502,
};

// Ends the run from deep inside a step (the installation walk, a failed settings
// write): the driver catches it and exits with the code, printing nothing more.
class RunEnded : public std::exception {
 public:
  explicit RunEnded(int code) : code_(code) {}
  int code() const { return code_; }
  const char* what() const noexcept override { return "run ended"; }

 private:
  int code_;
};

// The message of a code, "unknown error!" for a code without one.
std::string_view error_message(int code);

void print_error_at_line(int code, int line);
void print_error(int code);
void print_banner();
void print_usage();

// Opening messages end in " ... " and are flushed at once; result messages complete
// the line with "done\n" for 0 and "failed\n" otherwise.
void report_loading_archive(std::string_view path);
void report_loading_folder(std::string_view path);
void report_load_result(int code);
void report_saving_archive(std::string_view path);
void report_save_result(int code);
void report_swapping_archive(std::string_view path);
void report_swap_result(int code);
void report_restoring_archive(std::string_view text);
void report_restore_result(int code);

// Plain console text, flushed.
void print_text(std::string_view text);

}  // namespace vexal
