#include "install/config.h"

#include "platform/path_rules.h"

namespace vexal {

namespace {

bool ends_with_separator(const std::string& text) {
  return !text.empty() && is_path_separator(text.back());
}

}  // namespace

bool is_status_path_key(const std::string& key) {
  return key == kModDataKey || key == kBackupKey;
}

std::string with_trailing_separator(const std::string& folder) {
  return ends_with_separator(folder) ? folder : folder + "\\";
}

std::string config_path(FileSystem& fs) {
  const std::string cwd = fs.current_directory();
  return cwd.empty() ? std::string() : cwd + "\\config.ini";
}

std::unique_ptr<Settings> open_config(FileSystem& fs) {
  const std::string path = config_path(fs);
  // The settings service would treat a missing file as empty; a run must not go on
  // without the user's config.ini, so readability is tested first. Without a working
  // folder there is no config.ini to test: "\config.ini" would be another file.
  if (path.empty() || !fs.open_read(path)) {
    return nullptr;
  }
  return open_settings(fs, path);
}

std::string data_folder(const std::string& path_value) {
  return with_trailing_separator(path_value) + "data\\";
}

GameFolders read_game_folders(Settings& settings) {
  return {data_folder(settings.read_string(kPathSection, "vexal", "")),
          data_folder(settings.read_string(kPathSection, "vexalcd", ""))};
}

Status read_config_paths(FileSystem& fs, ConfigPaths& paths) {
  const std::unique_ptr<Settings> settings = open_config(fs);
  if (!settings) {
    return Status::config_missing;
  }
  for (const char* key : {"vexal", "vexalcd", "allowcdmod"}) {
    if (!settings->key_exists(kPathSection, key)) {
      return Status::config_values_missing;
    }
  }
  paths.vexal = settings->read_string(kPathSection, "vexal", "");
  paths.vexalcd = settings->read_string(kPathSection, "vexalcd", "");
  // The flag is set before the values are checked, so a caller sees it even when they fail.
  paths.allow_cd = settings->read_integer(kPathSection, "allowcdmod", 1) > 0;
  if (paths.vexal.empty() || paths.vexalcd.empty()) {
    return Status::config_values_missing;
  }
  return Status::ok;
}

}  // namespace vexal
