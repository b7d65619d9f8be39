#include "install/install.h"

#include <memory>

#include "driver/error.h"
#include "install/config.h"
#include "install/restore.h"
#include "platform/path_rules.h"
#include "platform/settings.h"

namespace vexal {

namespace {

// The settings file is closed before the report, so that nothing of it is left open
// while the driver unwinds to the exit.
[[noreturn]] void end_run(std::unique_ptr<Settings>& settings, int code) {
  settings.reset();
  print_error(code);
  throw RunEnded(code);
}

// The archive key of a file name: its first "." replaced by "_" (BASICS.FS -> BASICS_FS).
std::string archive_key(std::string file_name) {
  if (const std::size_t dot = file_name.find('.'); dot != std::string::npos) {
    file_name[dot] = '_';
  }
  return file_name;
}

// Swaps one built archive into the game's folder; 0 or 500. Whatever fails, the game
// archive is left where the game had it, unless even the move back fails.
int swap_archive(FileSystem& fs, const std::string& built, const std::string& installed,
                 const std::string& saved) {
  // The backup folder is reused from one installation to the next: a file left there
  // is replaced by the game archive.
  if (!move_file(fs, installed, saved, true)) {
    return kMoveFailed;
  }
  if (!move_file(fs, built, installed, true)) {
    move_file(fs, saved, installed, true);
    return kMoveFailed;
  }
  return kOk;
}

}  // namespace

int install_mod(FileSystem& fs, const ArchiveList& list, const SlotTable& slots,
                const std::string& output_folder) {
  std::unique_ptr<Settings> settings = open_config(fs);
  if (!settings) {
    return kConfigMissing;
  }
  // Both path keys are in place before any file moves, so that every archive key the
  // walk writes can be restored by the next run.
  const std::string cwd = fs.current_directory();
  settings->write_string(kStatusSection, kModDataKey, output_folder);
  const std::string backup_folder = cwd + "\\backup";
  fs.make_directory(backup_folder);  // an existing folder is fine
  settings->write_string(kStatusSection, kBackupKey, backup_folder);
  const GameFolders folders = read_game_folders(*settings);

  for (const int archive_slot : slots) {
    if (archive_slot == -1) {
      continue;
    }
    const ArchiveRecord* record = list.fs_get_archive(archive_slot);
    if (record == nullptr) {
      end_run(settings, kArchiveNotInList);
    }
    const std::size_t separator = last_separator(record->name);
    if (separator == std::string::npos) {
      end_run(settings, kConfigValuesMissing);
    }
    const std::string file_name = record->name.substr(separator + 1);
    const std::string installed =
        (record->cd_archive ? folders.cd_data : folders.game_data) + file_name;
    std::string saved = backup_folder;
    saved += "\\";
    saved += file_name;

    report_swapping_archive(file_name);
    const int code = swap_archive(fs, record->name, installed, saved);
    report_swap_result(code);
    if (code != kOk) {
      end_run(settings, code);
    }
    // Written only now: a key of 1 must always mean that both moves completed.
    settings->write_integer(kStatusSection, archive_key(file_name), 1);
  }
  return kOk;
}

}  // namespace vexal
