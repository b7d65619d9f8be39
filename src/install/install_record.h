// The installation record: a small text file in each game data folder that an
// installation changes, so that every working folder on the machine sees it. It names
// the working folder that owns the installation and, per archive, where each file goes
// and the identities of the mod's archive as installed and of the game's own as saved.
// It is on disk, flushed, before the first move, and gone once the game has its own
// archives back, so a run killed at any instant leaves what the next run needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/file_identity.h"
#include "platform/file_system.h"

namespace vexal {

inline constexpr const char* kRecordFileName = "vexal_mod_builder.record";
// Beside the record: runs on one game, from any working folder, take turns through it.
inline constexpr const char* kGameLockFileName = "vexal_mod_builder.lock";

struct RecordEntry {
  std::string archive;    // the file name, "BASICS.FS"
  std::string installed;  // in the game's folder
  std::string saved;      // the game's own, in the backup folder
  std::string returned;   // the mod's, back in its output folder
  FileIdentity mod;       // the built archive, as moved into the game
  FileIdentity game;      // the game's own, as moved into the backup folder
  bool swapped = false;   // both moves done
};

struct InstallRecord {
  std::string owner;  // the working folder of the installation
  std::vector<RecordEntry> entries;

  RecordEntry* find(std::string_view archive);
  void drop(std::string_view archive);
};

std::string record_text(const InstallRecord& record);
// nullopt for a text the tool did not write (edited or cut short).
std::optional<InstallRecord> parse_record(std::string_view text);

// The record of one data folder as a run found it.
struct RecordFile {
  std::string path;
  bool exists = false;
  bool damaged = false;  // it exists but cannot be read or is not the tool's
  InstallRecord record;
  std::string problem;  // why it is damaged
};

std::string record_path_in(const std::string& data_folder);
RecordFile load_record(FileSystem& fs, const std::string& data_folder);

// Writes the record through to the disk, or removes the file once it lists nothing.
// False with why when that failed.
bool store_record(FileSystem& fs, const RecordFile& file, std::string& why);

}  // namespace vexal
