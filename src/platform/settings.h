// The settings service: read and write access to an INI file (config.ini) with the
// semantics of the Windows private-profile functions. Section and key names match
// without regard to case and the first match wins.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace vexal {

class Settings {
 public:
  virtual ~Settings() = default;

  // The value, or default_value when the section or the key is missing.
  virtual std::string read_string(const std::string& section, const std::string& key,
                                  const std::string& default_value) = 0;
  // Replaces the value in place, or adds the key at the end of its section (the section
  // at the end of the file). False, and the file unchanged, when it cannot be written.
  [[nodiscard]] virtual bool write_string(const std::string& section, const std::string& key,
                                          const std::string& value) = 0;
  // Key names of the section in file order, as written; empty for a missing section.
  virtual std::vector<std::string> key_names(const std::string& section) = 0;

  // Decimal, or hexadecimal after "0x"; default_value for anything that is not a whole
  // 32-bit integer (empty, missing, text).
  int read_integer(const std::string& section, const std::string& key, int default_value);
  [[nodiscard]] bool write_integer(const std::string& section, const std::string& key, int value);
  bool key_exists(const std::string& section, const std::string& key);
};

// The integer conversion of read_integer.
int parse_settings_integer(const std::string& text, int default_value);

// Opens the settings file at an absolute path; null when it cannot be read.
std::unique_ptr<Settings> open_settings(FileSystem& fs, const std::string& path);

}  // namespace vexal
