// config.ini through the private-profile functions, so the file is read and written
// exactly as every other Windows program that shares it expects.
#include <windows.h>

#include <string_view>

#include "platform/settings_win32.h"

namespace vexal {
namespace {

// The profile functions cut a value at a line break and would split a name at "=" or
// "]", writing lines (and keys) the caller never asked for.
bool can_be_written(std::string_view section, std::string_view key, std::string_view value) {
  const auto breaks = [](std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
  };
  return !breaks(section) && !breaks(key) && !breaks(value) &&
         section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
         key.find_first_not_of(" \t") != std::string_view::npos;
}

class ProfileSettings : public Settings {
 public:
  explicit ProfileSettings(std::string path) : path_(std::move(path)) {}

  std::string read_string(const std::string& section, const std::string& key,
                          const std::string& default_value) override {
    // The value is cut to the buffer with size - 1 returned, so grow until it fits.
    std::string buffer(256, '\0');
    for (;;) {
      const DWORD length =
          GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(),
                                   buffer.data(), static_cast<DWORD>(buffer.size()), path_.c_str());
      if (length + 1 < buffer.size()) {
        buffer.resize(length);
        return buffer;
      }
      buffer.resize(buffer.size() * 2);
    }
  }

  bool write_string(const std::string& section, const std::string& key,
                    const std::string& value) override {
    // The profile functions honour the read-only attribute except for root under Wine.
    const DWORD attributes = GetFileAttributesA(path_.c_str());
    const bool read_only =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return !read_only && can_be_written(section, key, value) &&
           WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str());
  }

  std::vector<std::string> key_names(const std::string& section) override {
    // Without a key the names come back as zero-terminated strings one after another,
    // cut with size - 2 returned when they do not all fit.
    std::string buffer(1024, '\0');
    DWORD length = 0;
    for (;;) {
      length = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                        static_cast<DWORD>(buffer.size()), path_.c_str());
      if (length + 2 < buffer.size()) {
        break;
      }
      buffer.resize(buffer.size() * 2);
    }
    std::vector<std::string> names;
    std::string_view rest(buffer.data(), length);
    while (!rest.empty()) {
      const std::size_t end = rest.find('\0');
      names.emplace_back(rest.substr(0, end));
      rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    }
    return names;
  }

 private:
  std::string path_;
};

}  // namespace

std::unique_ptr<Settings> open_profile_settings(const std::string& path) {
  return std::make_unique<ProfileSettings>(path);
}

}  // namespace vexal
