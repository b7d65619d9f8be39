#include "install/install.h"

#include <memory>
#include <vector>

#include "install/archive_moves.h"
#include "install/config.h"
#include "install/install_state.h"
#include "install/path_key.h"
#include "install/restore.h"
#include "platform/path_rules.h"
#include "platform/settings.h"

namespace vexal {

namespace {

// One built archive on its way into the game, and how far it got.
struct Swap {
  enum class Progress { none, game_saved, mod_in, key_written };
  RecordEntry entry;  // the archive's file name, its paths and identities
  std::string key;
  std::string previous_value;  // of the key, "" when there was none
  Progress progress = Progress::none;
  // The game's archive could not be found before the walk: its swap fails at its turn
  // like any move that cannot be made, and the swaps before it are taken back.
  bool game_found = true;
};

// The whole installation: the swaps in catalogue order and the records that describe
// them, one per game data folder.
struct Installation {
  std::vector<Swap> swaps;
  std::vector<RecordFile> records;

  RecordFile& record_for(const std::string& installed) {
    const std::string folder = installed.substr(0, last_separator(installed) + 1);
    for (RecordFile& file : records) {
      if (same_path(file.path, record_path_in(folder))) {
        return file;
      }
    }
    RecordFile& file = records.emplace_back();
    file.path = record_path_in(folder);
    return file;
  }
};

// The swap of a saved output. ok or config_values_missing.
Status plan_swap(const OutputArchive& output, const GameFolders& folders,
                 const std::string& backup_folder, Swap& swap) {
  const std::size_t separator = last_separator(output.file_path);
  if (separator == std::string::npos) {
    return Status::config_values_missing;
  }
  RecordEntry& entry = swap.entry;
  entry.archive = output.file_path.substr(separator + 1);
  entry.returned = output.file_path;
  entry.installed = (output.cd_archive ? folders.cd_data : folders.game_data) + entry.archive;
  entry.saved = join_path(backup_folder, entry.archive);
  swap.key = archive_key(entry.archive);
  return Status::ok;
}

Status plan_swaps(const SlotTable& slots, const GameFolders& folders,
                  const std::string& backup_folder, Installation& installation) {
  for (const OutputArchive* output : slots) {
    if (output == nullptr) {
      continue;
    }
    Swap& swap = installation.swaps.emplace_back();
    if (const Status status = plan_swap(*output, folders, backup_folder, swap);
        status != Status::ok) {
      return status;
    }
  }
  return Status::ok;
}

// Refuses, before anything changes, what the installation must not touch. A file already
// in the backup folder may be the only copy of the game's archive, left there by
// -cleanup, a fresh config.ini or an earlier version that died between a swap and its
// key: swapping over it would destroy it. ok or move_failed.
Status check_swap(FileSystem& fs, Reporter& reporter, Swap& swap) {
  RecordEntry& entry = swap.entry;
  if (fs.is_file(entry.saved)) {
    reporter.explain("\"" + entry.saved + "\" is left in the backup folder and may be the " +
                     "game's own " + entry.archive + ": if \"" + entry.installed +
                     "\" is not the game's own (or is missing), move it back there in its " +
                     "place, otherwise delete it; then run the tool again");
    return Status::move_failed;
  }
  const std::optional<FileInfo> info = fs.stat(entry.installed);
  if (info && info->kind == FileInfo::Kind::link) {
    reporter.explain("\"" + entry.installed + "\" is a symbolic link: the tool swaps only real " +
                     "files, so put the file it leads to in its place and run the tool again");
    return Status::move_failed;
  }
  std::string why;
  std::optional<FileIdentity> mod = identify(fs, entry.returned, why);
  std::optional<FileIdentity> game =
      mod && info ? identify(fs, entry.installed, why) : std::nullopt;
  if (!mod || (info && !game)) {
    reporter.explain("cannot swap " + entry.archive + ": " + why);
    return Status::move_failed;
  }
  entry.mod = std::move(*mod);
  swap.game_found = game.has_value();
  if (game) {
    entry.game = std::move(*game);
  }
  return Status::ok;
}

// Every check, before config.ini or any file changes: no other working folder owns the
// game, and every swap can be made. ok or move_failed.
Status check_installation(FileSystem& fs, Reporter& reporter, const GameFolders& folders,
                          const std::string& working_folder, Installation& installation) {
  for (const std::string& folder : {folders.game_data, folders.cd_data}) {
    const RecordFile found = load_record(fs, folder);
    if (found.damaged || (found.exists && !owned_by(found.record, working_folder))) {
      explain_foreign_record(reporter, found);
      return Status::move_failed;
    }
  }
  for (Swap& swap : installation.swaps) {
    if (const Status status = check_swap(fs, reporter, swap); status != Status::ok) {
      return status;
    }
  }
  return Status::ok;
}

// Writes the records; false (explained) when one cannot be written.
bool store_records(FileSystem& fs, Reporter& reporter, const Installation& installation) {
  bool stored = true;
  for (const RecordFile& file : installation.records) {
    if (std::string why; !store_record(fs, file, why)) {
      reporter.explain(why);
      stored = false;
    }
  }
  return stored;
}

// The record of every swap, on disk before the first move, and the built archives
// flushed to the disk before they become the game's. ok or move_failed, with nothing
// left behind.
Status prepare_swaps(FileSystem& fs, Reporter& reporter, const std::string& working_folder,
                     Installation& installation) {
  for (const Swap& swap : installation.swaps) {
    RecordFile& file = installation.record_for(swap.entry.installed);
    file.record.owner = working_folder;
    if (swap.game_found) {
      file.record.entries.push_back(swap.entry);
    }
  }
  bool ready = store_records(fs, reporter, installation);
  for (const Swap& swap : installation.swaps) {
    if (ready && swap.game_found && !fs.sync_file(swap.entry.returned)) {
      reporter.explain(
          describe_failure(fs, "cannot write " + swap.entry.returned + " to the disk"));
      ready = false;
    }
  }
  if (ready) {
    return Status::ok;
  }
  for (RecordFile& file : installation.records) {
    file.record.entries.clear();
  }
  store_records(fs, reporter, installation);
  return Status::move_failed;
}

// Moves the game's archive into the backup folder and the built one into its place.
// ok or move_failed (explained); progress tells what moved.
Status swap_archive(FileSystem& fs, Reporter& reporter, Swap& swap) {
  const RecordEntry& entry = swap.entry;
  if (!swap.game_found || !fs.move(entry.installed, entry.saved)) {
    reporter.explain(move_failure(fs, entry.installed, entry.saved));
    return Status::move_failed;
  }
  swap.progress = Swap::Progress::game_saved;
  if (!fs.move(entry.returned, entry.installed)) {
    reporter.explain(move_failure(fs, entry.returned, entry.installed));
    return Status::move_failed;
  }
  swap.progress = Swap::Progress::mod_in;
  return Status::ok;
}

// Takes one swap back: the mod's archive to its output folder, the game's archive to
// its place, the key to its value before the run. False (explained, saying where each
// file is) when a step fails; the record then keeps the archive for the next restore.
bool undo_swap(FileSystem& fs, Reporter& reporter, Settings& settings, const Swap& swap) {
  const RecordEntry& entry = swap.entry;
  if (swap.progress >= Swap::Progress::mod_in && !fs.move(entry.installed, entry.returned)) {
    reporter.explain(move_failure(fs, entry.installed, entry.returned) + "; the game keeps the " +
                     "mod's " + entry.archive + ", and the game's own is \"" + entry.saved + "\"");
    return false;
  }
  if (swap.progress >= Swap::Progress::game_saved && !fs.move(entry.saved, entry.installed)) {
    reporter.explain(move_failure(fs, entry.saved, entry.installed) + "; the game's own " +
                     entry.archive + " is \"" + entry.saved + "\"");
    return false;
  }
  if (swap.progress >= Swap::Progress::key_written &&
      !settings.write_string(kStatusSection, swap.key,
                             swap.previous_value.empty() ? "0" : swap.previous_value)) {
    reporter.explain("config.ini: the key " + swap.key + " of [STATUS] could not be put back");
    return false;
  }
  return true;
}

// Takes back every swap made so far, the last first, so that the game is as it was
// before the run.
void undo_installation(FileSystem& fs, Reporter& reporter, Settings& settings,
                       Installation& installation) {
  bool undone = true;
  for (auto swap = installation.swaps.rbegin(); swap != installation.swaps.rend(); ++swap) {
    if (undo_swap(fs, reporter, settings, *swap)) {
      installation.record_for(swap->entry.installed).record.drop(swap->entry.archive);
    } else {
      undone = false;
    }
  }
  undone = store_records(fs, reporter, installation) && undone;
  reporter.explain(undone ? "nothing was installed: the game is as it was before the run"
                          : "the next run of the tool in this folder puts back what it can");
}

// Swaps every archive, recording each step. ok, move_failed or config_not_written.
Status swap_all(FileSystem& fs, Reporter& reporter, Settings& settings,
                Installation& installation) {
  for (Swap& swap : installation.swaps) {
    reporter.begin(Reporter::Step::swapping_archive, swap.entry.archive);
    Status status = swap_archive(fs, reporter, swap);
    if (status == Status::ok) {
      installation.record_for(swap.entry.installed).record.find(swap.entry.archive)->swapped = true;
      status = store_records(fs, reporter, installation) ? Status::ok : Status::move_failed;
    }
    reporter.end(status == Status::ok);
    if (status != Status::ok) {
      return status;
    }
    // Written only now: a key of 1 must always mean that both moves completed.
    swap.previous_value = settings.read_string(kStatusSection, swap.key, "");
    if (!settings.write_integer(kStatusSection, swap.key, 1)) {
      return key_not_written(reporter, swap.key);
    }
    swap.progress = Swap::Progress::key_written;
  }
  return Status::ok;
}

}  // namespace

Status check_output_folder(FileSystem& fs, Reporter& reporter, const std::string& output_folder) {
  const std::string cwd = fs.current_directory();
  const std::unique_ptr<Settings> settings = open_settings(fs, config_path(fs));
  if (!settings) {
    return Status::ok;  // the run has read config.ini; nothing to compare with
  }
  const GameFolders folders = read_game_folders(*settings);
  const std::string recorded_backup = settings->read_string(kStatusSection, kBackupKey, "");
  const std::pair<std::string, const char*> refused[] = {
      {folders.game_data, "the game's data folder"},
      {folders.cd_data, "the CD's data folder"},
      {join_path(cwd, "backup"), "the backup folder"},
      {recorded_backup.empty() ? join_path(cwd, "backup") : recorded_backup, "the backup folder"}};
  for (const auto& [folder, what] : refused) {
    if (same_path(output_folder, folder, cwd)) {
      reporter.explain("the output folder " + output_folder + " (MAKE) is " + what +
                       ": a build there would overwrite the game's own archives; choose another "
                       "folder for MAKE");
      return Status::archive_not_created;
    }
  }
  return Status::ok;
}

std::vector<std::string> game_lock_paths(FileSystem& fs) {
  const std::string path = config_path(fs);
  const std::unique_ptr<Settings> settings = path.empty() ? nullptr : open_settings(fs, path);
  const std::optional<GameFolders> folders =
      settings ? configured_game_folders(*settings) : std::nullopt;
  if (!folders) {
    return {};
  }
  std::vector<std::string> paths{folders->game_data + kGameLockFileName};
  if (!same_path(folders->cd_data, folders->game_data)) {
    paths.push_back(folders->cd_data + kGameLockFileName);
  }
  return paths;
}

Status install_mod(FileSystem& fs, Reporter& reporter, const SlotTable& slots,
                   const std::string& output_folder) {
  const std::unique_ptr<Settings> settings = open_config(fs, reporter);
  const std::string cwd = fs.current_directory();
  if (!settings || cwd.empty()) {
    return Status::config_missing;
  }
  const GameFolders folders = read_game_folders(*settings);
  const std::string backup_folder = join_path(cwd, "backup");
  Installation installation;
  if (const Status status = plan_swaps(slots, folders, backup_folder, installation);
      status != Status::ok) {
    return status;
  }
  if (const Status status = check_installation(fs, reporter, folders, cwd, installation);
      status != Status::ok) {
    return status;
  }
  // Both path keys are in place before any file moves, so that every archive key the
  // walk writes can be restored by the next run.
  if (!settings->write_string(kStatusSection, kModDataKey, output_folder)) {
    return key_not_written(reporter, kModDataKey);
  }
  if (!fs.make_directory(backup_folder) && !fs.is_directory(backup_folder)) {
    reporter.explain(describe_failure(fs, "cannot create the backup folder " + backup_folder));
    return Status::move_failed;
  }
  if (!settings->write_string(kStatusSection, kBackupKey, backup_folder)) {
    return key_not_written(reporter, kBackupKey);
  }
  if (const Status status = prepare_swaps(fs, reporter, cwd, installation); status != Status::ok) {
    return status;
  }
  const Status status = swap_all(fs, reporter, *settings, installation);
  if (status != Status::ok) {
    undo_installation(fs, reporter, *settings, installation);
  }
  return status;
}

}  // namespace vexal
