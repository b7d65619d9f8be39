#include "install/restore.h"

#include <memory>
#include <optional>
#include <vector>

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
std::optional<std::string> first_pending_key(Settings& settings) {
  for (const std::string& key : settings.key_names(kStatusSection)) {
    if (!is_status_path_key(key) && settings.read_integer(kStatusSection, key, -1) > 0) {
      return key;
    }
  }
  return std::nullopt;
}

RestoreStatus restore_one(FileSystem& fs, Reporter& reporter, const RestorePaths& paths) {
  // Without a saved copy the restore cannot succeed, and the file in the game's folder
  // may be the game's own archive, put back by a run that died before it cleared the
  // key: moving it out into the mod data folder would leave it where a failed move back
  // or the next build would lose it.
  if (!fs.is_file(paths.saved)) {
    reporter.explain("\"" + paths.saved + "\" is missing: the game's archive was not moved");
    return RestoreStatus::game_not_back;
  }
  const bool mod_returned = move_file(fs, paths.installed, paths.returned, true);
  const std::string not_returned =
      mod_returned ? std::string() : move_failure(fs, paths.installed, paths.returned);
  if (move_file(fs, paths.saved, paths.installed, true)) {
    if (!mod_returned) {
      reporter.warn(not_returned);
    }
    return mod_returned ? RestoreStatus::restored : RestoreStatus::mod_not_returned;
  }
  reporter.explain(move_failure(fs, paths.saved, paths.installed));
  // Only a mod archive that really left may be put back: if it never left, the
  // returned path holds some other file, and replacing the game's folder with it could
  // destroy a game archive that an interrupted earlier restore had already put back.
  if (mod_returned && !move_file(fs, paths.returned, paths.installed, true)) {
    reporter.explain(move_failure(fs, paths.returned, paths.installed));
  }
  return RestoreStatus::game_not_back;
}

}  // namespace

std::string move_failure(FileSystem& fs, const std::string& from, const std::string& to) {
  const std::string what = "cannot move " + from + " to " + to;
  // move_file refuses a missing file before the file system is asked.
  return fs.is_file(from) ? describe_failure(fs, what) : what + ": the file does not exist";
}

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
  const std::unique_ptr<Settings> settings = open_config(fs, reporter);
  if (!settings) {
    return Status::config_missing;
  }
  const std::optional<std::string> pending = first_pending_key(*settings);
  if (!settings->key_exists(kStatusSection, kModDataKey) ||
      !settings->key_exists(kStatusSection, kBackupKey)) {
    return Status::ok;
  }
  const std::string mod_data = settings->read_string(kStatusSection, kModDataKey, "");
  const std::string backup = settings->read_string(kStatusSection, kBackupKey, "");
  if (mod_data.empty() || backup.empty()) {
    if (!pending) {
      return Status::ok;
    }
    reporter.explain(std::string("config.ini: the key ") +
                     (mod_data.empty() ? kModDataKey : kBackupKey) + " of [STATUS] is empty, but " +
                     *pending + " records an archive as swapped in");
    return Status::status_paths_missing;
  }
  const GameFolders folders = read_game_folders(*settings);
  const std::string returned_folder = with_trailing_separator(mod_data);
  const std::string saved_folder = with_trailing_separator(backup);

  Status result = Status::ok;
  for (const std::string& key : settings->key_names(kStatusSection)) {
    if (is_status_path_key(key) || settings->read_integer(kStatusSection, key, -1) <= 0) {
      continue;
    }
    const std::string file_name = archive_of_key(key);
    if (file_name.empty()) {
      continue;
    }
    const std::string stored = stored_name(file_name);
    const RestorePaths paths{installed_path(folders, file_name), saved_folder + stored,
                             returned_folder + stored};

    reporter.begin(Reporter::Step::restoring_archive, file_name);
    const RestoreStatus status = restore_one(fs, reporter, paths);
    reporter.end(status == RestoreStatus::restored);
    if (status == RestoreStatus::game_not_back) {
      result = Status::restore_failed;
    } else if (!settings->write_integer(kStatusSection, key, 0)) {
      return key_not_written(reporter, key);
    }
  }
  return result;
}

}  // namespace vexal
