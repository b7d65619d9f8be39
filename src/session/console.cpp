#include "session/console.h"

#include <cstdio>
#include <string>

#include "platform/ascii.h"
#include "platform/console.h"
#include "session/version.h"

namespace vexal {
namespace {

constexpr std::string_view kBanner =
    "Vexal MOD builder by the vexal_mod_builder maintainers, "
    "maintainers@vexal-mod-builder.org, V" VEXAL_VERSION ", " VEXAL_RELEASE_DATE ".\n";

constexpr std::string_view kUsage =
    "usage: vexal_mod_builder.exe                 (restores archives)\n"
    "       vexal_mod_builder.exe -cleanup        (cleanup config.ini)\n"
    "       vexal_mod_builder.exe mod_path        (build mod archives)\n"
    "       vexal_mod_builder.exe mod_path -mod   (build and apply mod)\n\n";

std::string_view opening_of(Reporter::Step step) {
  switch (step) {
    case Reporter::Step::loading_archive:
      return "Loading archive ";
    case Reporter::Step::loading_folder:
      return "Loading folder ";
    case Reporter::Step::saving_archive:
      return "Saving archive ";
    case Reporter::Step::swapping_archive:
      return "Swapping archive ";
    case Reporter::Step::restoring_archive:
      return "Restoring archive ";
  }
  return "";
}

}  // namespace

void print_text(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void hold_own_console_window() {
  if (has_console_window_of_its_own()) {
    std::fputs("Press a key to close this window.\n", stderr);
    std::fflush(stderr);
    wait_for_key();
  }
}

void print_banner() {
  print_text(kBanner);
}

void print_usage() {
  print_text(kUsage);
}

bool is_version_request(std::string_view argument) {
  return equal_ignoring_case(argument, "--version") || equal_ignoring_case(argument, "-V");
}

void print_version(std::string_view program) {
  print_text(std::string(program) + " " VEXAL_VERSION " (" VEXAL_RELEASE_DATE ")\n");
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

void ConsoleReporter::begin(Step step, std::string_view subject) {
  const std::string_view opening = opening_of(step);
  std::printf("%.*s\"%.*s\" ... ", static_cast<int>(opening.size()), opening.data(),
              static_cast<int>(subject.size()), subject.data());
  std::fflush(stdout);
  line_open_ = true;
}

void ConsoleReporter::end(bool succeeded) {
  print_text(succeeded ? "done\n" : "failed\n");
  line_open_ = false;
  print_warnings();
}

void ConsoleReporter::open_line(std::string_view text) {
  print_text(text);
  line_open_ = true;
}

void ConsoleReporter::close_line(std::string_view text) {
  print_text(text);
  line_open_ = false;
  print_warnings();
}

void ConsoleReporter::warn(std::string_view text) {
  held_warnings_.emplace_back(text);
  if (!line_open_) {
    print_warnings();
  }
}

void ConsoleReporter::explain(std::string_view text) {
  explanations_.emplace_back(text);
}

void ConsoleReporter::explain(const Failure& failure) {
  explanations_.insert(explanations_.end(), failure.explanations.begin(),
                       failure.explanations.end());
}

void ConsoleReporter::print_warnings() {
  for (const std::string& text : held_warnings_) {
    std::fprintf(stderr, "%s: warning: %s\n", program_.c_str(), text.c_str());
  }
  held_warnings_.clear();
}

void ConsoleReporter::note(std::string_view text) const {
  std::fprintf(stderr, "%s: %.*s\n", program_.c_str(), static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

void ConsoleReporter::print_explanations() {
  for (const std::string& text : explanations_) {
    std::fprintf(stderr, "%s: %s\n", program_.c_str(), text.c_str());
  }
  explanations_.clear();
}

}  // namespace vexal
