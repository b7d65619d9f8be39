#include "install/install.h"

#include <memory>

#include "install/config.h"
#include "install/restore.h"
#include "platform/path_rules.h"
#include "platform/settings.h"

namespace vexal {

namespace {

// The archive key of a file name: its first "." replaced by "_" (BASICS.FS -> BASICS_FS).
std::string archive_key(std::string file_name) {
  if (const std::size_t dot = file_name.find('.'); dot != std::string::npos) {
    file_name[dot] = '_';
  }
  return file_name;
}

// Where the files of one built archive go.
struct Swap {
  std::string built;      // the mod archive in the output folder
  std::string file_name;  // the archive's file name
  std::string installed;  // the game's archive in its folder
  std::string saved;      // the game's archive in the backup folder
};

// The swap of the archive built at a slot. ok, archive_not_in_list or
// config_values_missing.
Status plan_swap(const ArchiveList& list, int archive_slot, const GameFolders& folders,
                 const std::string& backup_folder, Swap& swap) {
  const ArchiveRecord* record = list.get(archive_slot);
  if (record == nullptr) {
    return Status::archive_not_in_list;
  }
  const std::size_t separator = last_separator(record->name);
  if (separator == std::string::npos) {
    return Status::config_values_missing;
  }
  swap.built = record->name;
  swap.file_name = record->name.substr(separator + 1);
  swap.installed = (record->cd_archive ? folders.cd_data : folders.game_data) + swap.file_name;
  swap.saved = backup_folder;
  swap.saved += "\\";
  swap.saved += swap.file_name;
  return Status::ok;
}

// A file already in the backup folder may be the only copy of the game's archive, left
// there by -cleanup, a fresh config.ini or a run that died between a swap and its key:
// swapping over it would destroy it. ok, or move_failed before anything has changed.
Status check_backups_free(FileSystem& fs, Reporter& reporter, const ArchiveList& list,
                          const SlotTable& slots, const GameFolders& folders,
                          const std::string& backup_folder) {
  for (const int archive_slot : slots) {
    if (archive_slot == -1) {
      continue;
    }
    Swap swap;
    if (plan_swap(list, archive_slot, folders, backup_folder, swap) != Status::ok) {
      return Status::ok;  // the walk stops there and reports it
    }
    if (fs.is_file(swap.saved)) {
      reporter.explain("\"" + swap.saved + "\" is left in the backup folder and may be the " +
                       "game's own " + swap.file_name + ": if \"" + swap.installed +
                       "\" is not the game's own (or is missing), move it back there in its " +
                       "place, otherwise delete it; then run the tool again");
      return Status::move_failed;
    }
  }
  return Status::ok;
}

// Swaps one built archive into the game's folder; ok or move_failed. Whatever fails, the game
// archive is left where the game had it, unless even the move back fails.
Status swap_archive(FileSystem& fs, Reporter& reporter, const Swap& swap) {
  if (!move_file(fs, swap.installed, swap.saved, true)) {
    reporter.explain(move_failure(fs, swap.installed, swap.saved));
    return Status::move_failed;
  }
  if (!move_file(fs, swap.built, swap.installed, true)) {
    reporter.explain(move_failure(fs, swap.built, swap.installed));
    if (!move_file(fs, swap.saved, swap.installed, true)) {
      reporter.explain(move_failure(fs, swap.saved, swap.installed));
    }
    return Status::move_failed;
  }
  return Status::ok;
}

// Takes back a swap that config.ini could not record, which no later restore would find.
// If a move fails, the files stay as they are and the reporter says where the game's
// archive is.
void undo_swap(FileSystem& fs, Reporter& reporter, const Swap& swap) {
  if (move_file(fs, swap.installed, swap.built, true) &&
      move_file(fs, swap.saved, swap.installed, true)) {
    reporter.explain("the swap of " + swap.file_name +
                     " was undone, since config.ini could not record it");
    return;
  }
  reporter.explain("the game's own " + swap.file_name + " is in \"" + swap.saved +
                   "\" and config.ini does not record it: move it back to \"" + swap.installed +
                   "\" by hand, replacing the file there");
}

}  // namespace

Status install_mod(FileSystem& fs, Reporter& reporter, const ArchiveList& list,
                   const SlotTable& slots, const std::string& output_folder) {
  const std::unique_ptr<Settings> settings = open_config(fs, reporter);
  const std::string cwd = fs.current_directory();
  if (!settings || cwd.empty()) {
    return Status::config_missing;
  }
  const GameFolders folders = read_game_folders(*settings);
  const std::string backup_folder = cwd + "\\backup";
  if (const Status status = check_backups_free(fs, reporter, list, slots, folders, backup_folder);
      status != Status::ok) {
    return status;
  }
  // Both path keys are in place before any file moves, so that every archive key the
  // walk writes can be restored by the next run.
  if (!settings->write_string(kStatusSection, kModDataKey, output_folder)) {
    return key_not_written(reporter, kModDataKey);
  }
  // An existing folder is fine; without one, the first swap fails and says why.
  if (!fs.make_directory(backup_folder) && !fs.is_directory(backup_folder)) {
    reporter.warn(describe_failure(fs, "the backup folder " + backup_folder + " cannot be made"));
  }
  if (!settings->write_string(kStatusSection, kBackupKey, backup_folder)) {
    return key_not_written(reporter, kBackupKey);
  }

  for (const int archive_slot : slots) {
    if (archive_slot == -1) {
      continue;
    }
    Swap swap;
    if (const Status status = plan_swap(list, archive_slot, folders, backup_folder, swap);
        status != Status::ok) {
      return status;
    }
    reporter.begin(Reporter::Step::swapping_archive, swap.file_name);
    const Status status = swap_archive(fs, reporter, swap);
    reporter.end(status == Status::ok);
    if (status != Status::ok) {
      return status;
    }
    // Written only now: a key of 1 must always mean that both moves completed.
    if (!settings->write_integer(kStatusSection, archive_key(swap.file_name), 1)) {
      const Status status = key_not_written(reporter, archive_key(swap.file_name));
      undo_swap(fs, reporter, swap);
      return status;
    }
  }
  return Status::ok;
}

}  // namespace vexal
