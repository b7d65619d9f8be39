#include "install/install_state.h"

#include "install/path_key.h"
#include "platform/ascii.h"

namespace vexal {
namespace {

Decision decide(Holding in_game, Holding in_backup) {
  const bool saved = in_backup == Holding::game_archive;
  switch (in_game) {
    case Holding::mod_archive:
      return in_backup == Holding::unreadable ? Decision::unreadable
             : saved                          ? Decision::swap_back
                                              : Decision::game_copy_lost;
    case Holding::game_archive:
      return saved ? Decision::drop_copy : Decision::settled;
    case Holding::nothing:
      return in_backup == Holding::unreadable ? Decision::unreadable
             : saved                          ? Decision::put_back
                                              : Decision::missing;
    case Holding::other_file:
      return saved ? Decision::keep_both : Decision::changed;
    case Holding::unreadable:
      return Decision::unreadable;
  }
  return Decision::unreadable;
}

void decide_recorded(FileSystem& fs, ArchiveState& archive) {
  const RecordEntry& entry = *archive.entry;
  archive.installed = entry.installed;
  archive.saved = entry.saved;
  archive.returned = entry.returned;
  std::string why_game;
  std::string why_backup;
  archive.in_game = holding_at(fs, entry.installed, entry, why_game);
  archive.in_backup = holding_at(fs, entry.saved, entry, why_backup);
  archive.decision = decide(archive.in_game, archive.in_backup);
  archive.why_unreadable = archive.in_game == Holding::unreadable ? why_game : why_backup;
}

// The entry of this working folder's records for the archive, if any.
std::optional<RecordEntry> owned_entry(InstallState& state, const std::string& name) {
  for (RecordFile& file : state.records) {
    if (!file.damaged && owned_by(file.record, state.working_folder)) {
      if (const RecordEntry* entry = file.record.find(name)) {
        return *entry;
      }
    }
  }
  return std::nullopt;
}

void read_keys(FileSystem& fs, Settings& settings, InstallState& state) {
  for (const std::string& key : settings.key_names(kStatusSection)) {
    if (is_status_path_key(key)) {
      continue;
    }
    const bool swapped = settings.read_integer(kStatusSection, key, -1) > 0;
    const std::string name = archive_of_key(key);
    std::optional<RecordEntry> entry = name.empty() ? std::nullopt : owned_entry(state, name);
    if (swapped && !entry && state.pending_key.empty()) {
      state.pending_key = key;
    }
    if (name.empty() || (!swapped && !entry)) {
      continue;
    }
    ArchiveState archive;
    archive.name = name;
    archive.key = key;
    archive.key_swapped = swapped;
    archive.entry = std::move(entry);
    if (archive.entry) {
      decide_recorded(fs, archive);
    } else {
      const std::string stored = stored_name(name);
      archive.installed = state.folders ? installed_path(*state.folders, name) : std::string();
      archive.saved = state.backup + stored;
      archive.returned = state.mod_data + stored;
    }
    state.archives.push_back(std::move(archive));
  }
}

bool listed(const InstallState& state, const std::string& name) {
  for (const ArchiveState& archive : state.archives) {
    if (equal_ignoring_case(archive.name, name)) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string archive_key(std::string file_name) {
  if (const std::size_t dot = file_name.find('.'); dot != std::string::npos) {
    file_name[dot] = '_';
  }
  return file_name;
}

bool owned_by(const InstallRecord& record, const std::string& working_folder) {
  return same_path(record.owner, working_folder);
}

Holding holding_at(FileSystem& fs, const std::string& path, const RecordEntry& entry,
                   std::string& why) {
  const IoExpected<FileInfo> info = fs.stat(path);
  if (!info) {
    return Holding::nothing;
  }
  if (info->kind != FileInfo::Kind::file) {
    return Holding::other_file;
  }
  const std::optional<FileIdentity> identity = identify(fs, path, why);
  if (!identity) {
    return Holding::unreadable;
  }
  const bool is_mod = same_file(*identity, entry.mod);
  const bool is_game = same_file(*identity, entry.game);
  if (is_mod && is_game) {
    // A mod's archive may hold the game's own bytes, written within seconds of it: the
    // nearer time decides, and on a tie the kind of file that belongs at the path.
    const std::int64_t to_mod = time_apart(*identity, entry.mod);
    const std::int64_t to_game = time_apart(*identity, entry.game);
    const bool backup = path == entry.saved;
    return to_mod < to_game || (to_mod == to_game && !backup) ? Holding::mod_archive
                                                              : Holding::game_archive;
  }
  return is_mod ? Holding::mod_archive : is_game ? Holding::game_archive : Holding::other_file;
}

const RecordFile* InstallState::foreign_record() const {
  for (const RecordFile& file : records) {
    if (file.damaged || (file.exists && !owned_by(file.record, working_folder))) {
      return &file;
    }
  }
  return nullptr;
}

RecordFile* InstallState::record_of(const std::string& installed) {
  const std::string folder = path_key(installed.substr(0, installed.find_last_of("\\/") + 1));
  for (RecordFile& file : records) {
    const std::string& path = file.path;
    if (path_key(path.substr(0, path.find_last_of("\\/") + 1)) == folder) {
      return &file;
    }
  }
  return nullptr;
}

InstallState read_install_state(FileSystem& fs, Settings& settings,
                                const std::string& working_folder) {
  InstallState state;
  state.working_folder = working_folder;
  state.folders = configured_game_folders(settings);
  if (state.folders) {
    state.records.push_back(load_record(fs, state.folders->game_data));
    if (!same_path(state.folders->cd_data, state.folders->game_data)) {
      state.records.push_back(load_record(fs, state.folders->cd_data));
    }
  }
  state.path_keys_present = settings.key_exists(kStatusSection, kModDataKey) &&
                            settings.key_exists(kStatusSection, kBackupKey);
  const std::string mod_data = settings.read_string(kStatusSection, kModDataKey, "");
  const std::string backup = settings.read_string(kStatusSection, kBackupKey, "");
  state.mod_data = mod_data.empty() ? mod_data : with_trailing_separator(mod_data);
  state.backup = backup.empty() ? backup : with_trailing_separator(backup);
  read_keys(fs, settings, state);
  for (const RecordFile& file : state.records) {
    if (file.damaged || !owned_by(file.record, working_folder)) {
      continue;
    }
    for (const RecordEntry& entry : file.record.entries) {
      if (!listed(state, entry.archive)) {
        ArchiveState archive;
        archive.name = entry.archive;
        archive.entry = entry;
        decide_recorded(fs, archive);
        state.archives.push_back(std::move(archive));
      }
    }
  }
  return state;
}

}  // namespace vexal
