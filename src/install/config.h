// Where config.ini lives and what its PATH section yields: the game folder and the CD
// folder as the user wrote them, the allow-CD flag, and the data folders derived from
// them.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/expected.h"
#include "platform/file_system.h"
#include "platform/settings.h"

namespace vexal {

inline constexpr const char* kPathSection = "PATH";
inline constexpr const char* kStatusSection = "STATUS";
inline constexpr const char* kModDataKey = "mod_data";
inline constexpr const char* kBackupKey = "vexal_backup";

// True for mod_data and vexal_backup exactly as written; every other STATUS key is an
// archive key (so a MOD_DATA typed by hand counts as one).
bool is_status_path_key(const std::string& key);

// The value followed by "\" unless it already ends in a separator.
std::string with_trailing_separator(const std::string& folder);

// The current working directory followed by "\config.ini"; empty when the working
// directory cannot be read.
std::string config_path(FileSystem& fs);

// Tests that config.ini can be read and opens the settings service on it; config_missing
// when either fails.
Expected<std::unique_ptr<Settings>> open_config(FileSystem& fs);

// The failure of a key of STATUS that config.ini could not take: config_not_written.
Failure key_not_written(const std::string& key);

// A PATH value followed by "data\" (after "\" when the value does not end in one).
std::string data_folder(const std::string& path_value);

// Where the game keeps its archives, derived afresh from PATH by every step that moves them.
struct GameFolders {
  std::string game_data;
  std::string cd_data;
};
GameFolders read_game_folders(Settings& settings);
// The same when PATH names both the game and the CD folder; nullopt otherwise.
std::optional<GameFolders> configured_game_folders(Settings& settings);

// The archive file an archive key of STATUS stands for, its first "_" read as "."
// (BASICS_FS -> BASICS.FS); empty for a key without "_".
std::string archive_of_key(const std::string& key);

// The file name as the tool writes it into the folders: the catalogue's spelling for a
// catalogue archive named in another letter case (a key typed in lower case), else the
// name as given.
std::string stored_name(const std::string& file_name);

// Where the game keeps an archive: the CD data folder for the CD archives and for names
// outside the catalogue, the game data folder for the others.
std::string installed_path(const GameFolders& folders, const std::string& file_name);

// The PATH section as read_config_paths found it.
struct ConfigPaths {
  std::string vexal;     // the game folder, exactly as written
  std::string vexalcd;   // the CD folder, exactly as written
  bool allow_cd = true;  // mods may change the CD archives
};

// Checks the PATH section and reads it: config_missing, or config_values_missing naming
// the key.
Expected<ConfigPaths> read_config_paths(FileSystem& fs);

}  // namespace vexal
