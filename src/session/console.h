// Everything the tool prints. Standard output carries the banner, the usage text, the
// one-line error reports and the progress lines that the lower layers announce, exactly
// as they have always read; standard error carries the extra help, one line each:
// warnings about what a run passes over and the explanation of a failure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "base/reporter.h"
#include "base/status.h"

namespace vexal {

void print_banner();
void print_usage();
// True for "--version" and "-V", in any letter case.
bool is_version_request(std::string_view argument);
// "<program> <version> (<release date>)": the release the banner states, on one line.
void print_version(std::string_view program);
// Plain console text, flushed.
void print_text(std::string_view text);
// Ends a run that has a console window of its own (started from Explorer) with "Press a
// key to close this window." on standard error and waits for the key, so that the
// window stays until its lines are read. Any other run ends at once.
void hold_own_console_window();

// "Error (line N) - <message>" for a line of 0 or more, else "Error - <message>".
void print_error_at_line(int code, int line);
inline void print_error(int code) {
  print_error_at_line(code, -1);
}
// The report of a config.ini that could not be written.
void print_write_error(std::string_view path);

// The console form of what the lower layers report. A progress line is an opening
// message that ends in " ... " and is flushed at once, completed by "done" or "failed".
// Warnings go to standard error as "<program>: warning: <text>", held back while a
// progress line is open so that the two streams do not cut into each other on a
// terminal. It is also where a failure's explanations are printed: they are kept until
// the failure's report has been printed.
class ConsoleReporter final : public Reporter {
 public:
  explicit ConsoleReporter(std::string_view program) : program_(program) {}

  void begin(Step step, std::string_view subject) override;
  void end(bool succeeded) override;
  void warn(std::string_view text) override;

  // Keeps a line that explains the failure about to be reported.
  void explain(std::string_view text);
  // Keeps the failure's explanations.
  void explain(const Failure& failure);
  // Keeps the failure's explanations and gives its status, for a caller that ends with
  // the status alone.
  Status explained(const Failure& failure) {
    explain(failure);
    return failure.status;
  }

  // Prints text that opens a console line, which close_line ends with its last text;
  // warnings wait until then, as they do for a progress line.
  void open_line(std::string_view text);
  void close_line(std::string_view text);

  // Prints the explanations given since the last call on standard error, as
  // "<program>: <text>", and forgets them.
  void print_explanations();
  // Prints a line on standard error at once, as "<program>: <text>", for what the run
  // itself does that the user should know of (waiting for another run).
  void note(std::string_view text) const;

 private:
  void print_warnings();

  std::string program_;
  bool line_open_ = false;
  std::vector<std::string> held_warnings_;
  std::vector<std::string> explanations_;
};

}  // namespace vexal
