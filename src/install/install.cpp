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

// Swaps one built archive into the game's folder; ok or move_failed. Whatever fails, the game
// archive is left where the game had it, unless even the move back fails.
Status swap_archive(FileSystem& fs, Reporter& reporter, const std::string& built,
                    const std::string& installed, const std::string& saved) {
  // The backup folder is reused from one installation to the next: a file left there
  // is replaced by the game archive.
  if (!move_file(fs, installed, saved, true)) {
    reporter.explain(move_failure(fs, installed, saved));
    return Status::move_failed;
  }
  if (!move_file(fs, built, installed, true)) {
    reporter.explain(move_failure(fs, built, installed));
    move_file(fs, saved, installed, true);
    return Status::move_failed;
  }
  return Status::ok;
}

}  // namespace

Status install_mod(FileSystem& fs, Reporter& reporter, const ArchiveList& list,
                   const SlotTable& slots, const std::string& output_folder) {
  const std::unique_ptr<Settings> settings = open_config(fs, reporter);
  if (!settings) {
    return Status::config_missing;
  }
  // Both path keys are in place before any file moves, so that every archive key the
  // walk writes can be restored by the next run.
  const std::string cwd = fs.current_directory();
  if (!settings->write_string(kStatusSection, kModDataKey, output_folder)) {
    return key_not_written(reporter, kModDataKey);
  }
  const std::string backup_folder = cwd + "\\backup";
  fs.make_directory(backup_folder);  // an existing folder is fine
  if (!settings->write_string(kStatusSection, kBackupKey, backup_folder)) {
    return key_not_written(reporter, kBackupKey);
  }
  const GameFolders folders = read_game_folders(*settings);

  for (const int archive_slot : slots) {
    if (archive_slot == -1) {
      continue;
    }
    const ArchiveRecord* record = list.get(archive_slot);
    if (record == nullptr) {
      return Status::archive_not_in_list;
    }
    const std::size_t separator = last_separator(record->name);
    if (separator == std::string::npos) {
      return Status::config_values_missing;
    }
    const std::string file_name = record->name.substr(separator + 1);
    const std::string installed =
        (record->cd_archive ? folders.cd_data : folders.game_data) + file_name;
    std::string saved = backup_folder;
    saved += "\\";
    saved += file_name;

    reporter.begin(Reporter::Step::swapping_archive, file_name);
    const Status status = swap_archive(fs, reporter, record->name, installed, saved);
    reporter.end(status == Status::ok);
    if (status != Status::ok) {
      return status;
    }
    // Written only now: a key of 1 must always mean that both moves completed.
    if (!settings->write_integer(kStatusSection, archive_key(file_name), 1)) {
      return key_not_written(reporter, archive_key(file_name));
    }
  }
  return Status::ok;
}

}  // namespace vexal
