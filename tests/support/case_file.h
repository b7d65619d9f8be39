// Test cases kept as data in a text file beside their test, one a line: a kind, then
// fields separated by "|" and trimmed of spaces. In a field "\n", "\r", "\t" and "\xNN"
// stand for those bytes, any other backslash for itself. Blank lines and lines starting
// with "#" are skipped. The files are found through the source folder, so the tests run
// from any build folder.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::test {

struct DataCase {
  std::string where;  // file:line
  std::vector<std::string> fields;

  // The field at i, or `absent` when the case has fewer fields.
  std::string field(std::size_t i, const std::string& absent = "") const {
    return i < fields.size() ? fields[i] : absent;
  }
  int number(std::size_t i) const { return std::stoi(field(i)); }
};

// With letter_escapes false only "\xNN" is read, for texts that hold Windows paths.
inline std::string unescaped(std::string_view text, bool letter_escapes = true) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view rest = text.substr(i);
    const bool escape = rest.size() >= 2 && rest[0] == '\\';
    const std::size_t letter = escape ? std::string_view("nrt").find(rest[1]) : 0;
    if (escape && rest.size() >= 4 && rest[1] == 'x' && std::isxdigit(rest[2] & 0xFF) &&
        std::isxdigit(rest[3] & 0xFF)) {
      bytes += static_cast<char>(std::stoi(std::string(rest.substr(2, 2)), nullptr, 16));
      i += 3;
    } else if (escape && letter_escapes && letter != std::string_view::npos) {
      bytes += "\n\r\t"[letter];
      ++i;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

// The cases of the kind in the file, a path below the source folder.
inline std::vector<DataCase> load_cases(const std::string& file, std::string_view kind) {
  std::ifstream in(VEXAL_SOURCE_DIR "/" + file);
  std::vector<DataCase> cases;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.starts_with(std::string(kind) + " ")) {
      continue;
    }
    DataCase data{file + ":" + std::to_string(number), {}};
    for (std::size_t start = kind.size(); start <= line.size();) {
      const std::size_t end = std::min(line.find('|', start), line.size());
      std::string_view field = std::string_view(line).substr(start, end - start);
      field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
      field.remove_suffix(field.size() - (field.find_last_not_of(' ') + 1));
      data.fields.push_back(unescaped(field));
      start = end + 1;
    }
    cases.push_back(std::move(data));
  }
  EXPECT_FALSE(cases.empty()) << "no case of the kind " << kind << " in " << file;
  return cases;
}

}  // namespace vexal::test
