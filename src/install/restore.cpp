#include "install/restore.h"

#include <memory>
#include <vector>

#include "fs/catalogue.h"
#include "install/config.h"
#include "platform/settings.h"

namespace vexal {

namespace {

// How the restore of one archive ended.
enum class RestoreStatus {
  restored = 0,          // mod archive returned, game archive back
  mod_not_returned = 1,  // game archive back, but the mod archive could not be moved out
  game_not_back = 2,     // game archive still missing from the game's folder
};

struct RestorePaths {
  std::string installed;
  std::string saved;
  std::string returned;
};

// The first archive key above 0, if any; decides whether empty path keys are an error.
bool any_archive_pending(Settings& settings) {
  for (const std::string& key : settings.key_names(kStatusSection)) {
    if (!is_status_path_key(key) && settings.read_integer(kStatusSection, key, -1) > 0) {
      return true;
    }
  }
  return false;
}

RestoreStatus restore_one(FileSystem& fs, const RestorePaths& paths) {
  // Without a saved copy the restore cannot succeed, and the file in the game's folder
  // may be the game's own archive, put back by a run that died before it cleared the
  // key: moving it out into the mod data folder would leave it where a failed move back
  // or the next build would lose it.
  if (!fs.is_file(paths.saved)) {
    return RestoreStatus::game_not_back;
  }
  const bool mod_returned = move_file(fs, paths.installed, paths.returned, true);
  if (move_file(fs, paths.saved, paths.installed, true)) {
    return mod_returned ? RestoreStatus::restored : RestoreStatus::mod_not_returned;
  }
  // Only a mod archive that really left may be put back: if it never left, the
  // returned path holds some other file, and replacing the game's folder with it could
  // destroy a game archive that an interrupted earlier restore had already put back.
  if (mod_returned) {
    move_file(fs, paths.returned, paths.installed, true);
  }
  return RestoreStatus::game_not_back;
}

}  // namespace

bool move_file(FileSystem& fs, const std::string& from, const std::string& to, bool replace) {
  if (!fs.is_file(from)) {
    return false;
  }
  if (fs.is_file(to)) {
    if (!replace || !fs.remove(to)) {
      return false;
    }
  }
  return fs.move(from, to);
}

Status restore_archives(FileSystem& fs, Reporter& reporter) {
  const std::unique_ptr<Settings> settings = open_config(fs);
  if (!settings) {
    return Status::config_missing;
  }
  const bool pending = any_archive_pending(*settings);
  if (!settings->key_exists(kStatusSection, kModDataKey) ||
      !settings->key_exists(kStatusSection, kBackupKey)) {
    return Status::ok;
  }
  const std::string mod_data = settings->read_string(kStatusSection, kModDataKey, "");
  const std::string backup = settings->read_string(kStatusSection, kBackupKey, "");
  if (mod_data.empty() || backup.empty()) {
    return pending ? Status::status_paths_missing : Status::ok;
  }
  const GameFolders folders = read_game_folders(*settings);
  const std::string returned_folder = with_trailing_separator(mod_data);
  const std::string saved_folder = with_trailing_separator(backup);

  Status result = Status::ok;
  for (const std::string& key : settings->key_names(kStatusSection)) {
    if (is_status_path_key(key) || settings->read_integer(kStatusSection, key, -1) <= 0) {
      continue;
    }
    const std::size_t underscore = key.find('_');
    if (underscore == std::string::npos) {
      continue;
    }
    std::string file_name = key;
    file_name[underscore] = '.';
    // A name outside the catalogue is looked for with the CD archives. The key may be
    // written in any case, as the settings service matches it.
    const CatalogueMatch match = match_catalogue(file_name, LetterCase::ignored);
    const bool game_folder = match.class_code != kNoClass && !match.cd_archive;
    const RestorePaths paths{(game_folder ? folders.game_data : folders.cd_data) + file_name,
                             saved_folder + file_name, returned_folder + file_name};

    reporter.begin(Reporter::Step::restoring_archive, file_name);
    const RestoreStatus status = restore_one(fs, paths);
    reporter.end(status == RestoreStatus::restored);
    if (status == RestoreStatus::game_not_back) {
      result = Status::restore_failed;
    } else if (!settings->write_integer(kStatusSection, key, 0)) {
      return Status::config_not_written;
    }
  }
  return result;
}

}  // namespace vexal
