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

// The swap of a saved output; config_values_missing when its path has no folder.
Outcome plan_swap(const OutputArchive& output, const GameFolders& folders,
                  const std::string& backup_folder, Swap& swap) {
  const std::size_t separator = last_separator(output.file_path);
  if (separator == std::string::npos) {
    return Failure(Status::config_values_missing);
  }
  RecordEntry& entry = swap.entry;
  entry.archive = output.file_path.substr(separator + 1);
  entry.returned = output.file_path;
  entry.installed = (output.cd_archive ? folders.cd_data : folders.game_data) + entry.archive;
  entry.saved = join_path(backup_folder, entry.archive);
  swap.key = archive_key(entry.archive);
  return {};
}

Outcome plan_swaps(const SlotTable& slots, const GameFolders& folders,
                   const std::string& backup_folder, Installation& installation) {
  for (const OutputArchive* output : slots) {
    if (output == nullptr) {
      continue;
    }
    Swap& swap = installation.swaps.emplace_back();
    if (Outcome planned = plan_swap(*output, folders, backup_folder, swap); !planned) {
      return planned;
    }
  }
  return {};
}

// Refuses, before anything changes, what the installation must not touch. A file already
// in the backup folder may be the only copy of the game's archive, left there by
// -cleanup, a fresh config.ini or an earlier version that died between a swap and its
// key: swapping over it would destroy it. move_failed when it must not be made.
Outcome check_swap(FileSystem& fs, Swap& swap) {
  RecordEntry& entry = swap.entry;
  if (fs.is_file(entry.saved)) {
    return Failure(Status::move_failed,
                   "\"" + entry.saved + "\" is left in the backup folder and may be the " +
                       "game's own " + entry.archive + ": if \"" + entry.installed +
                       "\" is not the game's own (or is missing), move it back there in its " +
                       "place, otherwise delete it; then run the tool again");
  }
  const IoExpected<FileInfo> info = fs.stat(entry.installed);
  if (info && info->kind == FileInfo::Kind::link) {
    return Failure(Status::move_failed,
                   "\"" + entry.installed + "\" is a symbolic link: the tool swaps only real " +
                       "files, so put the file it leads to in its place and run the tool again");
  }
  std::string why;
  std::optional<FileIdentity> mod = identify(fs, entry.returned, why);
  std::optional<FileIdentity> game =
      mod && info ? identify(fs, entry.installed, why) : std::nullopt;
  if (!mod || (info && !game)) {
    return Failure(Status::move_failed, "cannot swap " + entry.archive + ": " + why);
  }
  entry.mod = std::move(*mod);
  swap.game_found = game.has_value();
  if (game) {
    entry.game = std::move(*game);
  }
  return {};
}

// Every check, before config.ini or any file changes: no other working folder owns the
// game, and every swap can be made; move_failed otherwise.
Outcome check_installation(FileSystem& fs, const GameFolders& folders,
                           const std::string& working_folder, Installation& installation) {
  for (const std::string& folder : {folders.game_data, folders.cd_data}) {
    const RecordFile found = load_record(fs, folder);
    if (found.damaged || (found.exists && !owned_by(found.record, working_folder))) {
      return Failure(Status::move_failed, foreign_record_problem(found));
    }
  }
  for (Swap& swap : installation.swaps) {
    if (Outcome checked = check_swap(fs, swap); !checked) {
      return checked;
    }
  }
  return {};
}

// Writes the records; move_failed naming each that cannot be written.
Outcome store_records(FileSystem& fs, const Installation& installation) {
  std::optional<Failure> failure;
  for (const RecordFile& file : installation.records) {
    if (std::string why; !store_record(fs, file, why)) {
      if (failure) {
        failure->because(why);
      } else {
        failure.emplace(Status::move_failed, why);
      }
    }
  }
  if (failure) {
    return *std::move(failure);
  }
  return {};
}

// The record of every swap, on disk before the first move, and the built archives
// flushed to the disk before they become the game's; move_failed, with nothing left
// behind, when either cannot be done.
Outcome prepare_swaps(FileSystem& fs, const std::string& working_folder,
                      Installation& installation) {
  for (const Swap& swap : installation.swaps) {
    RecordFile& file = installation.record_for(swap.entry.installed);
    file.record.owner = working_folder;
    if (swap.game_found) {
      file.record.entries.push_back(swap.entry);
    }
  }
  Outcome ready = store_records(fs, installation);
  for (const Swap& swap : installation.swaps) {
    if (!ready || !swap.game_found) {
      continue;
    }
    if (const IoResult synced = fs.sync_file(swap.entry.returned); !synced) {
      ready = Failure(Status::move_failed,
                      synced.describe("cannot write " + swap.entry.returned + " to the disk"));
    }
  }
  if (ready) {
    return ready;
  }
  for (RecordFile& file : installation.records) {
    file.record.entries.clear();
  }
  Failure failure = std::move(ready).failure();
  if (Outcome cleared = store_records(fs, installation); !cleared) {
    failure.include(cleared.failure());
  }
  return failure;
}

// Moves the game's archive into the backup folder and the built one into its place.
// move_failed naming the move that failed; progress tells what moved.
Outcome swap_archive(FileSystem& fs, Swap& swap) {
  const RecordEntry& entry = swap.entry;
  const IoResult saved =
      swap.game_found ? fs.move(entry.installed, entry.saved) : IoResult::failed({});
  if (!saved) {
    return Failure(Status::move_failed, move_failure(fs, saved, entry.installed, entry.saved));
  }
  swap.progress = Swap::Progress::game_saved;
  if (const IoResult in = fs.move(entry.returned, entry.installed); !in) {
    return Failure(Status::move_failed, move_failure(fs, in, entry.returned, entry.installed));
  }
  swap.progress = Swap::Progress::mod_in;
  return {};
}

// Takes one swap back: the mod's archive to its output folder, the game's archive to
// its place, the key to its value before the run. False when a step fails, after adding
// to the failure of the run where each file is; the record then keeps the archive for the
// next restore.
bool undo_swap(FileSystem& fs, Settings& settings, const Swap& swap, Failure& failure) {
  const RecordEntry& entry = swap.entry;
  if (swap.progress >= Swap::Progress::mod_in) {
    if (const IoResult out = fs.move(entry.installed, entry.returned); !out) {
      failure.because(move_failure(fs, out, entry.installed, entry.returned) +
                      "; the game keeps the mod's " + entry.archive + ", and the game's own is \"" +
                      entry.saved + "\"");
      return false;
    }
  }
  if (swap.progress >= Swap::Progress::game_saved) {
    if (const IoResult back = fs.move(entry.saved, entry.installed); !back) {
      failure.because(move_failure(fs, back, entry.saved, entry.installed) + "; the game's own " +
                      entry.archive + " is \"" + entry.saved + "\"");
      return false;
    }
  }
  if (swap.progress >= Swap::Progress::key_written &&
      !settings.write_string(kStatusSection, swap.key,
                             swap.previous_value.empty() ? "0" : swap.previous_value)) {
    failure.because("config.ini: the key " + swap.key + " of [STATUS] could not be put back");
    return false;
  }
  return true;
}

// Takes back every swap made so far, the last first, so that the game is as it was
// before the run, and tells the failure of the run how far that got.
void undo_installation(FileSystem& fs, Settings& settings, Installation& installation,
                       Failure& failure) {
  bool undone = true;
  for (auto swap = installation.swaps.rbegin(); swap != installation.swaps.rend(); ++swap) {
    if (undo_swap(fs, settings, *swap, failure)) {
      installation.record_for(swap->entry.installed).record.drop(swap->entry.archive);
    } else {
      undone = false;
    }
  }
  if (Outcome stored = store_records(fs, installation); !stored) {
    failure.include(stored.failure());
    undone = false;
  }
  failure.because(undone ? "nothing was installed: the game is as it was before the run"
                         : "the next run of the tool in this folder puts back what it can");
}

// Swaps every archive, recording each step; move_failed or config_not_written.
Outcome swap_all(FileSystem& fs, Reporter& reporter, Settings& settings,
                 Installation& installation) {
  for (Swap& swap : installation.swaps) {
    reporter.begin(Reporter::Step::swapping_archive, swap.entry.archive);
    Outcome swapped = swap_archive(fs, swap);
    if (swapped) {
      installation.record_for(swap.entry.installed).record.find(swap.entry.archive)->swapped = true;
      swapped = store_records(fs, installation);
    }
    reporter.end(swapped.has_value());
    if (!swapped) {
      return swapped;
    }
    // Written only now: a key of 1 must always mean that both moves completed.
    swap.previous_value = settings.read_string(kStatusSection, swap.key, "");
    if (!settings.write_integer(kStatusSection, swap.key, 1)) {
      return key_not_written(swap.key);
    }
    swap.progress = Swap::Progress::key_written;
  }
  return {};
}

}  // namespace

Outcome check_output_folder(FileSystem& fs, const std::string& output_folder) {
  const std::string cwd = fs.current_directory();
  const std::unique_ptr<Settings> settings = open_settings(fs, config_path(fs));
  if (!settings) {
    return {};  // the run has read config.ini; nothing to compare with
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
      return Failure(Status::archive_not_created,
                     "the output folder " + output_folder + " (MAKE) is " + what +
                         ": a build there would overwrite the game's own archives; choose "
                         "another folder for MAKE");
    }
  }
  return {};
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

Outcome install_mod(FileSystem& fs, Reporter& reporter, const SlotTable& slots,
                    const std::string& output_folder) {
  Expected<std::unique_ptr<Settings>> opened = open_config(fs);
  const std::string cwd = fs.current_directory();
  if (!opened || cwd.empty()) {
    return opened ? Failure(Status::config_missing) : std::move(opened).failure();
  }
  Settings& settings = **opened;
  const GameFolders folders = read_game_folders(settings);
  const std::string backup_folder = join_path(cwd, "backup");
  Installation installation;
  if (Outcome planned = plan_swaps(slots, folders, backup_folder, installation); !planned) {
    return planned;
  }
  if (Outcome checked = check_installation(fs, folders, cwd, installation); !checked) {
    return checked;
  }
  // Both path keys are in place before any file moves, so that every archive key the
  // walk writes can be restored by the next run.
  if (!settings.write_string(kStatusSection, kModDataKey, output_folder)) {
    return key_not_written(kModDataKey);
  }
  if (const IoResult made = fs.make_directory(backup_folder);
      !made && !fs.is_directory(backup_folder)) {
    return Failure(Status::move_failed,
                   made.describe("cannot create the backup folder " + backup_folder));
  }
  if (!settings.write_string(kStatusSection, kBackupKey, backup_folder)) {
    return key_not_written(kBackupKey);
  }
  if (Outcome prepared = prepare_swaps(fs, cwd, installation); !prepared) {
    return prepared;
  }
  Outcome swapped = swap_all(fs, reporter, settings, installation);
  if (!swapped) {
    Failure failure = std::move(swapped).failure();
    undo_installation(fs, settings, installation, failure);
    return failure;
  }
  return swapped;
}

}  // namespace vexal
