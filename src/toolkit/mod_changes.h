// What a mod builds, read exactly as a build of it would read it after the restore:
// for every archive its entries with their bytes, where each one's bytes come from, and
// whether the archive starts from the game's own. combine compares these with the
// game's archives to find each mod's changes.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "install/config.h"
#include "toolkit/fs_tool.h"
#include "toolkit/plan_file_system.h"

namespace vexal::fs_tool {

// Where an entry's bytes come from: a source, by the path a file system takes, and the
// name of the entry (a group's) there.
struct Origin {
  std::string source;
  std::string entry;
};

struct PlannedArchive {
  std::string name;  // the catalogue's name, BASICS.FS
  // The block's first add that linked anything took the game's own archive; otherwise
  // the mod replaces the archive whole.
  bool from_game = false;
  std::unique_ptr<ArchiveView> built;  // as the build saves it, entries in file order
  std::vector<Origin> origins;         // one per entry of built
};

struct PlannedMod {
  std::string definition;                // as the user named it
  std::vector<PlannedArchive> archives;  // in catalogue order
  // The names of every entry of each source an origin names, in the source's order.
  std::map<std::string, std::vector<std::string>> source_entries;
  // How its build would end: ok, or the failure (its explanations kept by the console)
  // and the line of the definition it arose at (-1: none).
  Status status = Status::ok;
  int line = -1;
};

// The parts of a path between its separators, "." and ".." taken away by its text.
std::vector<std::string> lexical_parts(std::string_view path);
// Two paths that name the same file by their text: letter case, either separator,
// doubled separators, "." and ".." make no difference.
bool same_path(std::string_view a, std::string_view b);

// The game's archive of a catalogue name, where a build reads it.
std::string game_archive_path(const GameFolders& game, std::string_view name);

// Plans the build of the definition on plan_fs (after preview_restore, with
// keep_written_bytes): what it would save, read back, and how the build would end.
PlannedMod plan_mod(Tool& tool, PlanFileSystem& plan_fs, const GameFolders& game,
                    const std::string& definition);

}  // namespace vexal::fs_tool
