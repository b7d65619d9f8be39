#include "driver/console.h"

#include <cstdio>

namespace vexal {
namespace {

constexpr std::string_view kBanner =
    "Vexal MOD builder by Martin Kral, martin.kral@example.org, V1.2, 2013-06-02.\n";

constexpr std::string_view kUsage =
    "usage: vexal_mod_builder.exe                 (restores archives)\n"
    "       vexal_mod_builder.exe -cleanup        (cleanup config.ini)\n"
    "       vexal_mod_builder.exe mod_path        (build mod archives)\n"
    "       vexal_mod_builder.exe mod_path -mod   (build and apply mod)\n\n";

std::string_view opening_of(Progress::Step step) {
  switch (step) {
    case Progress::Step::loading_archive:
      return "Loading archive ";
    case Progress::Step::loading_folder:
      return "Loading folder ";
    case Progress::Step::saving_archive:
      return "Saving archive ";
    case Progress::Step::swapping_archive:
      return "Swapping archive ";
    case Progress::Step::restoring_archive:
      return "Restoring archive ";
  }
  return "";
}

}  // namespace

void print_text(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void print_banner() {
  print_text(kBanner);
}

void print_usage() {
  print_text(kUsage);
}

void print_error_at_line(int code, int line) {
  const std::string_view message = message_of(code);
  if (line >= 0) {
    std::printf("Error (line %d) - %.*s\n", line, static_cast<int>(message.size()), message.data());
  } else {
    std::printf("Error - %.*s\n", static_cast<int>(message.size()), message.data());
  }
  std::fflush(stdout);
}

void print_write_error(std::string_view path) {
  std::printf("Error - Unable to write to %.*s\n", static_cast<int>(path.size()), path.data());
  std::fflush(stdout);
}

void ConsoleProgress::begin(Step step, std::string_view subject) {
  const std::string_view opening = opening_of(step);
  std::printf("%.*s\"%.*s\" ... ", static_cast<int>(opening.size()), opening.data(),
              static_cast<int>(subject.size()), subject.data());
  std::fflush(stdout);
}

void ConsoleProgress::end(bool succeeded) {
  print_text(succeeded ? "done\n" : "failed\n");
}

}  // namespace vexal
