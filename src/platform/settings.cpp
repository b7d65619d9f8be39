// The settings file with the rules of the Windows private-profile functions, kept over
// the FileSystem interface so that every platform reads and writes it alike.
#include "platform/settings.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/ascii.h"

namespace vexal {
namespace {

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

#if defined(_WIN32)
constexpr std::string_view default_line_end = "\r\n";
#else
constexpr std::string_view default_line_end = "\n";
#endif

// The blanks the profile functions trim around names and values.
constexpr std::string_view kBlanks = " \t\v\f";

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::string_view unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The name of a section header line: the text between "[" and the last "]". A line
// without its "]" is no header but a key without a value.
std::optional<std::string_view> section_name(std::string_view line) {
  const std::string_view text = trim(line);
  const auto close = text.rfind(']');
  if (text.empty() || text.front() != '[' || close == std::string_view::npos) {
    return std::nullopt;
  }
  return trim(text.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  // None for a line without "=": such a key is not listed and reads as missing, and it
  // hides a later key of the same name in its section, as on Windows.
  std::optional<std::string_view> value;
};

// The key and value of any line but a header, a comment (";") or a blank line; "#"
// starts no comment.
std::optional<KeyLine> key_line(std::string_view line) {
  const std::string_view text = trim(line);
  if (text.empty() || text.front() == ';' || section_name(text)) {
    return std::nullopt;
  }
  const auto equals = text.find('=');
  if (equals == std::string_view::npos) {
    return KeyLine{text, std::nullopt};
  }
  return KeyLine{trim(text.substr(0, equals)), unquote(trim(text.substr(equals + 1)))};
}

bool holds_line_break(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

class IniSettings : public Settings {
 public:
  IniSettings(FileSystem& fs, std::string path, std::string_view text)
      : fs_(fs), path_(std::move(path)) {
    if (text.substr(0, utf8_bom.size()) == utf8_bom) {
      has_bom_ = true;
      text.remove_prefix(utf8_bom.size());
    }
    const auto first_break = text.find('\n');
    if (first_break != std::string_view::npos) {
      line_end_ = (first_break > 0 && text[first_break - 1] == '\r') ? "\r\n" : "\n";
    }
    ends_with_break_ = text.empty() || text.back() == '\n' || text.back() == '\r';
    split_lines(text);
  }

  std::string read_string(const std::string& section, const std::string& key,
                          const std::string& default_value) override {
    const auto found = find_key(section, key);
    const auto value = found ? key_line(lines_[*found])->value : std::nullopt;
    return value ? std::string(*value) : default_value;
  }

  bool write_string(const std::string& section, const std::string& key,
                    const std::string& value) override {
    // A line break would let the value add lines (and keys) of its own.
    if (holds_line_break(section) || holds_line_break(key) || holds_line_break(value) ||
        section.find(']') != std::string::npos || key.find('=') != std::string::npos ||
        trim(key).empty()) {
      return false;
    }
    std::vector<std::string> lines = lines_;
    if (const auto found = find_key(section, key)) {
      // Keep the key as it is spelled in the file; only the value changes.
      const std::string& old = lines[*found];
      const std::size_t equals = old.find('=');
      lines[*found] =
          equals == std::string::npos ? old + "=" + value : old.substr(0, equals + 1) + value;
    } else if (const auto header = find_section(section)) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertion_point(*header)),
                   key + "=" + value);
    } else {
      lines.push_back("[" + section + "]");
      lines.push_back(key + "=" + value);
    }
    if (!fs_.replace_file(path_, compose(lines))) {
      return false;
    }
    lines_ = std::move(lines);
    return true;
  }

  std::vector<std::string> key_names(const std::string& section) override {
    std::vector<std::string> names;
    const auto header = find_section(section);
    if (!header) {
      return names;
    }
    // Windows lists the empty names of "=value" lines that follow one another (blank
    // lines between them) once.
    bool after_empty_name = false;
    for (std::size_t i = *header + 1; i < lines_.size() && !section_name(lines_[i]); ++i) {
      if (trim(lines_[i]).empty()) {
        continue;
      }
      const auto line = key_line(lines_[i]);
      const bool listed = line && line->value;
      if (listed && !(line->key.empty() && after_empty_name)) {
        names.emplace_back(line->key);
      }
      after_empty_name = listed && line->key.empty();
    }
    // The names come one after another, each ended by a zero, and the list by a second
    // zero: an empty name first reads as the end of the list.
    if (!names.empty() && names.front().empty()) {
      names.clear();
    }
    return names;
  }

 private:
  // A line ends at a line feed or at a carriage return, as on Windows. The carriage
  // returns before a line feed end the line together with it: files that went through a
  // text-mode copy end their lines in "\r\r\n", and a write keeps them one line each.
  void split_lines(std::string_view text) {
    while (!text.empty()) {
      const auto end = std::min(text.find_first_of("\r\n"), text.size());
      lines_.emplace_back(text.substr(0, end));
      auto next = std::min(text.find_first_not_of('\r', end), text.size());
      if (next < text.size() && text[next] == '\n') {
        ++next;
      }
      text.remove_prefix(next);
    }
  }

  std::optional<std::size_t> find_section(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const auto name = section_name(lines_[i]);
      if (name && equal_ignoring_case(*name, trim(section))) {
        return i;
      }
    }
    return std::nullopt;
  }

  // The line of the key in the first section of that name.
  std::optional<std::size_t> find_key(std::string_view section, std::string_view key) const {
    const auto header = find_section(section);
    if (!header) {
      return std::nullopt;
    }
    for (std::size_t i = *header + 1; i < lines_.size() && !section_name(lines_[i]); ++i) {
      const auto line = key_line(lines_[i]);
      if (line && equal_ignoring_case(line->key, trim(key))) {
        return i;
      }
    }
    return std::nullopt;
  }

  // A new key goes after the last key of its section, so blank lines and comments that
  // separate it from the next section stay where they are.
  std::size_t insertion_point(std::size_t header) const {
    std::size_t after = header + 1;
    for (std::size_t i = header + 1; i < lines_.size() && !section_name(lines_[i]); ++i) {
      if (key_line(lines_[i])) {
        after = i + 1;
      }
    }
    return after;
  }

  std::string compose(const std::vector<std::string>& lines) const {
    std::string text = has_bom_ ? std::string(utf8_bom) : std::string{};
    for (std::size_t i = 0; i < lines.size(); ++i) {
      text += lines[i];
      // The last line keeps the file's own ending, which may be none.
      if (i + 1 < lines.size() || ends_with_break_) {
        text += line_end_;
      }
    }
    return text;
  }

  FileSystem& fs_;
  std::string path_;
  std::vector<std::string> lines_;
  bool has_bom_ = false;
  bool ends_with_break_ = true;
  std::string line_end_{default_line_end};
};

}  // namespace

int Settings::read_integer(const std::string& section, const std::string& key, int default_value) {
  return parse_settings_integer(read_string(section, key, ""), default_value);
}

bool Settings::write_integer(const std::string& section, const std::string& key, int value) {
  return write_string(section, key, std::to_string(value));
}

bool Settings::key_exists(const std::string& section, const std::string& key) {
  for (const auto& name : key_names(section)) {
    if (equal_ignoring_case(name, trim(key))) {
      return true;
    }
  }
  return false;
}

int parse_settings_integer(const std::string& text, int default_value) {
  const char* first = text.data();
  const char* const last = text.data() + text.size();
  if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(first + 2, last, value, 16);
    if (error != std::errc{} || end != last || value > static_cast<std::uint32_t>(INT_MAX)) {
      return default_value;
    }
    return static_cast<int>(value);
  }
  if (first != last && *first == '+') {
    ++first;
    if (first != last && *first == '-') {
      return default_value;
    }
  }
  int value = 0;
  const auto [end, error] = std::from_chars(first, last, value, 10);
  if (first == last || error != std::errc{} || end != last) {
    return default_value;
  }
  return value;
}

std::unique_ptr<Settings> open_settings(FileSystem& fs, const std::string& path) {
  const auto text = read_whole_file(fs, path);
  if (!text) {
    return nullptr;
  }
  if (auto native = fs.open_native_settings(path)) {
    return native;
  }
  return std::make_unique<IniSettings>(fs, path, *text);
}

}  // namespace vexal
