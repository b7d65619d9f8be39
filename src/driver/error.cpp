#include "driver/error.h"

#include <array>
#include <cstdio>
#include <utility>

#include "platform/path_rules.h"

namespace vexal {
namespace {

constexpr std::array<std::pair<int, std::string_view>, 32> kMessages = {{
    {2, "Programmers error! :-)"},
    {3, "memory allocation failed!"},
    {10, "wrong parameters count!"},
    {11, "invalid parameters!"},
    {100, "variable already defined!"},
    {101, "invalid value in variable expression!"},
    {102, "undefined variable!"},
    {200, "can't open \"config.ini\" file!"},
    {201, "missing \"config.ini\" values!"},
    {300, "invalid statement!"},
    {301, "class already defined!"},
    {302, "unknown class!"},
    {303, "misplaced { or } symbol!"},
    {304, "misplaced command!"},
    {305, "incomplete command!"},
    {306, "misplaced = symbol!"},
    {307, "misplaced ( symbol!"},
    {308, "misplaced ) symbol!"},
    {309, "misplaced , symbol!"},
    {311, "unknown command!"},
    {312, "wrong parameters count!"},
    {313, "invalid cmd parameter value or count!"},
    {314, "invalid variable!"},
    {315, "invalid variable value"},
    {316, "can't open *.DEF file!"},
    {400, "archive not found in list!"},
    {401, "can't create archive file!"},
    {402, "can't open source file!"},
    {403, "can't open archive file!"},
    {500, "moving file failed!"},
    {501, "mod restoration failed!"},
    {502, "missing \"config.ini\" [STATUS] section paths!"},
}};

constexpr std::string_view kBanner =
    "Vexal MOD builder by Martin Kral, martin.kral@example.org, V1.2, 2013-06-02.\n";

constexpr std::string_view kUsage =
    "usage: vexal_mod_builder.exe                 (restores archives)\n"
    "       vexal_mod_builder.exe -cleanup        (cleanup config.ini)\n"
    "       vexal_mod_builder.exe mod_path        (build mod archives)\n"
    "       vexal_mod_builder.exe mod_path -mod   (build and apply mod)\n\n";

void print_quoted(std::string_view prefix, std::string_view text) {
  std::printf("%.*s\"%.*s\" ... ", static_cast<int>(prefix.size()), prefix.data(),
              static_cast<int>(text.size()), text.data());
  std::fflush(stdout);
}

void print_result(int code) {
  print_text(code == 0 ? "done\n" : "failed\n");
}

}  // namespace

std::string_view error_message(int code) {
  for (const auto& [row_code, message] : kMessages) {
    if (row_code == code) {
      return message;
    }
  }
  return "unknown error!";
}

void print_error_at_line(int code, int line) {
  const std::string_view message = error_message(code);
  if (line >= 0) {
    std::printf("Error (line %d) - %.*s\n", line, static_cast<int>(message.size()), message.data());
  } else {
    std::printf("Error - %.*s\n", static_cast<int>(message.size()), message.data());
  }
  std::fflush(stdout);
}

void print_error(int code) {
  print_error_at_line(code, -1);
}

void print_banner() {
  print_text(kBanner);
}

void print_usage() {
  print_text(kUsage);
}

void print_text(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void report_loading_archive(std::string_view path) {
  print_quoted("Loading archive ", path);
}
void report_loading_folder(std::string_view path) {
  print_quoted("Loading folder ", path);
}
void report_load_result(int code) {
  print_result(code);
}

void report_saving_archive(std::string_view path) {
  print_quoted("Saving archive ", file_name_part(path));
}
void report_save_result(int code) {
  print_result(code);
}

void report_swapping_archive(std::string_view path) {
  print_quoted("Swapping archive ", file_name_part(path));
}
void report_swap_result(int code) {
  print_result(code);
}

void report_restoring_archive(std::string_view text) {
  print_quoted("Restoring archive ", text);
}
void report_restore_result(int code) {
  print_result(code);
}

}  // namespace vexal
