// Everything the tool prints, all of it on standard output: the banner, the usage text,
// the one-line error reports and the progress lines that the lower layers announce.
#pragma once

#include <string_view>

#include "base/progress.h"
#include "base/status.h"

namespace vexal {

void print_banner();
void print_usage();
// Plain console text, flushed.
void print_text(std::string_view text);

// "Error (line N) - <message>" for a line of 0 or more, else "Error - <message>".
void print_error_at_line(int code, int line);
inline void print_error(int code) {
  print_error_at_line(code, -1);
}
// The report of a config.ini that could not be written.
void print_write_error(std::string_view path);

// Progress lines on the console: an opening message that ends in " ... " and is flushed
// at once, completed by "done" or "failed".
class ConsoleProgress final : public Progress {
 public:
  void begin(Step step, std::string_view subject) override;
  void end(bool succeeded) override;
};

}  // namespace vexal
