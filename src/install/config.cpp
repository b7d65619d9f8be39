#include "install/config.h"

#include "archive/catalogue.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"

namespace vexal {

bool is_status_path_key(const std::string& key) {
  return key == kModDataKey || key == kBackupKey;
}

std::string with_trailing_separator(const std::string& folder) {
  return ends_with_separator(folder) ? folder : folder + "\\";
}

std::string config_path(FileSystem& fs) {
  const std::string cwd = fs.current_directory();
  return cwd.empty() ? std::string() : join_path(cwd, "config.ini");
}

Expected<std::unique_ptr<Settings>> open_config(FileSystem& fs) {
  const std::string path = config_path(fs);
  // The settings service would treat a missing file as empty; a run must not go on
  // without the user's config.ini, so readability is tested first. Without a working
  // folder there is no config.ini to test: "\config.ini" would be another file (the
  // driver explains that case).
  if (path.empty()) {
    return Failure(Status::config_missing);
  }
  if (const OpenedFile opened = fs.open_read(path); !opened) {
    return Failure(Status::config_missing, opened.describe(path));
  }
  std::unique_ptr<Settings> settings = open_settings(fs, path);
  if (!settings) {
    return Failure(Status::config_missing, path + ": cannot be read");
  }
  return settings;
}

Failure key_not_written(const std::string& key) {
  return {Status::config_not_written,
          "config.ini: the key " + key + " of [" + kStatusSection + "] could not be written"};
}

std::string data_folder(const std::string& path_value) {
  return with_trailing_separator(path_value) + "data\\";
}

GameFolders read_game_folders(Settings& settings) {
  return {data_folder(settings.read_string(kPathSection, "vexal", "")),
          data_folder(settings.read_string(kPathSection, "vexalcd", ""))};
}

std::optional<GameFolders> configured_game_folders(Settings& settings) {
  const std::string vexal = settings.read_string(kPathSection, "vexal", "");
  const std::string vexalcd = settings.read_string(kPathSection, "vexalcd", "");
  if (vexal.empty() || vexalcd.empty()) {
    return std::nullopt;
  }
  return GameFolders{data_folder(vexal), data_folder(vexalcd)};
}

std::string archive_of_key(const std::string& key) {
  std::string file_name = key;
  const std::size_t underscore = file_name.find('_');
  if (underscore == std::string::npos) {
    return {};
  }
  file_name[underscore] = '.';
  return file_name;
}

std::string stored_name(const std::string& file_name) {
  for (const CatalogueEntry& entry : kCatalogue) {
    if (equal_ignoring_case(entry.name, file_name)) {
      return std::string(entry.name);
    }
  }
  return file_name;
}

std::string installed_path(const GameFolders& folders, const std::string& file_name) {
  // A name outside the catalogue is looked for with the CD archives. The key may be
  // written in any case, as the settings service matches it.
  const CatalogueMatch match = match_catalogue(file_name, LetterCase::ignored);
  const bool game_folder = match.slot && !match.cd_archive;
  return (game_folder ? folders.game_data : folders.cd_data) + stored_name(file_name);
}

Expected<ConfigPaths> read_config_paths(FileSystem& fs) {
  Expected<std::unique_ptr<Settings>> settings = open_config(fs);
  if (!settings) {
    return std::move(settings).failure();
  }
  for (const char* key : {"vexal", "vexalcd", "allowcdmod"}) {
    if (!(*settings)->key_exists(kPathSection, key)) {
      return Failure(Status::config_values_missing,
                     std::string("config.ini: [PATH] has no key ") + key);
    }
  }
  ConfigPaths paths{(*settings)->read_string(kPathSection, "vexal", ""),
                    (*settings)->read_string(kPathSection, "vexalcd", ""),
                    (*settings)->read_integer(kPathSection, "allowcdmod", 1) > 0};
  if (paths.vexal.empty() || paths.vexalcd.empty()) {
    return Failure(Status::config_values_missing, std::string("config.ini: the key ") +
                                                      (paths.vexal.empty() ? "vexal" : "vexalcd") +
                                                      " of [PATH] is empty");
  }
  return paths;
}

}  // namespace vexal
