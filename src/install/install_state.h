// One model of what the tool has installed into the game: the STATUS keys of config.ini
// and the records in the game's data folders, set against the files that are really
// there, with the decision the restore takes for each archive. The restore, the
// installation, -cleanup, and vexal_fs plan and status all read the state through it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "install/config.h"
#include "install/install_record.h"
#include "platform/file_system.h"
#include "platform/settings.h"

namespace vexal {

// What a path holds, told by the identities the record keeps.
enum class Holding { nothing, mod_archive, game_archive, other_file, unreadable };

// What the restore does with one archive, by what the game's folder and the backup
// folder hold (the decision table of the user's guide).
enum class Decision {
  as_before,       // only config.ini records it: moved back as by every earlier version
  swap_back,       // the mod's in the game, the game's own saved: both move back
  game_copy_lost,  // the mod's in the game, the game's own gone: nothing moves (501)
  settled,         // the game's own in the game, nothing saved: nothing to move
  drop_copy,       // the game's own in the game and a copy of it saved: the copy goes
  put_back,        // nothing in the game, the game's own saved: it moves back
  missing,         // nothing in the game, nothing saved: nothing moves (501)
  keep_both,       // another file in the game, the game's old one saved: kept, renamed
  changed,         // another file in the game, nothing saved: left alone
  unreadable,      // a file that decides cannot be read: nothing moves (501)
};

struct ArchiveState {
  std::string name;                  // as the STATUS key or the record names it
  std::string key;                   // the STATUS key as written; empty when none names it
  bool key_swapped = false;          // the key is above 0
  std::optional<RecordEntry> entry;  // what this working folder's record says of it
  std::string installed;
  std::string saved;
  std::string returned;
  Holding in_game = Holding::nothing;
  Holding in_backup = Holding::nothing;
  std::string why_unreadable;
  Decision decision = Decision::as_before;
};

struct InstallState {
  std::string working_folder;
  std::optional<GameFolders> folders;  // none when PATH does not name both
  std::vector<RecordFile> records;     // of the game's data folders, found or not
  std::vector<ArchiveState> archives;  // in the order the restore takes them
  // What config.ini alone records, for installations of earlier versions.
  bool path_keys_present = false;  // mod_data and vexal_backup both exist
  std::string mod_data;            // each with a trailing separator; empty when empty
  std::string backup;
  std::string pending_key;  // the first key above 0 that no record covers

  // The first record that belongs to another working folder or cannot be trusted.
  const RecordFile* foreign_record() const;
  // The record of the data folder that holds installed; null when none is loaded.
  RecordFile* record_of(const std::string& installed);
};

// Reads STATUS and the records of the data folders of PATH, and looks at the files.
InstallState read_install_state(FileSystem& fs, Settings& settings,
                                const std::string& working_folder);

// The same as decided when the file at a path may have changed since.
Holding holding_at(FileSystem& fs, const std::string& path, const RecordEntry& entry,
                   std::string& why);

// True when the record was written by a run in the working folder.
bool owned_by(const InstallRecord& record, const std::string& working_folder);

// The archive key of a file name: its first "." read as "_" (BASICS.FS -> BASICS_FS).
std::string archive_key(std::string file_name);

}  // namespace vexal
