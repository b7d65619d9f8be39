// One archive as several mods together build it. It starts from the game's archive;
// each mod's changes (the entries it builds with other bytes, adds or lacks, against
// the game's archive; in a two-level archive the items of each group) are applied in
// the mods' order, so a later mod wins where two change the same entry or item. A mod
// whose block does not start from the game's archive replaces the archive whole, and
// the mods after it change that archive instead.
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "toolkit/fs_tool.h"
#include "toolkit/mod_changes.h"

namespace vexal::fs_tool {

// A flat entry, or an item of a group.
struct Piece {
  std::string name;
  std::span<const std::byte> bytes;
  bool present = true;
  std::vector<std::size_t> changers;  // the mods that change it, in order: the last wins
};

struct CombinedEntry {
  std::string name;
  bool present = true;
  Origin origin;                     // where the whole entry (group) comes from
  std::set<std::size_t> touched_by;  // a group: the mods whose item changes it holds
  std::vector<Piece> pieces;         // a flat entry: itself; a group: its items
  // A group whose items come from more than one mod, which no source holds as it is.
  bool merged() const { return touched_by.size() > 1; }
};

struct Conflict {
  std::string archive;
  std::string entry;
  std::string item;               // empty for a flat entry
  std::vector<std::size_t> mods;  // the last one wins
};

class CombinedArchive {
 public:
  // game is the game's archive, read from game_path; null when there is none.
  CombinedArchive(std::string name, const ArchiveView* game, std::string game_path);

  // Applies one mod's build of this archive, the mods before it already applied.
  void apply(std::size_t mod, const PlannedArchive& archive);

  const std::string& name() const { return name_; }
  bool two_level() const { return two_level_; }
  const std::vector<CombinedEntry>& entries() const { return entries_; }
  // Every entry or item that two or more mods change, in the archive's order.
  std::vector<Conflict> conflicts() const;

 private:
  void start_from_game();
  void apply_changes(std::size_t mod, const PlannedArchive& archive);
  void replace_whole(std::size_t mod, const PlannedArchive& archive);
  void change_group(std::size_t mod, const ArchiveView::Member& built, const Origin& origin,
                    const ArchiveView::Member* game);
  void remove(std::size_t mod, const std::string& name);
  CombinedEntry& entry(const std::string& name);
  const ArchiveView::Member* game_member(const std::string& name) const;

  std::string name_;
  bool two_level_ = false;
  const ArchiveView* game_;
  std::string game_path_;
  std::vector<CombinedEntry> entries_;          // the game's order, then as mods add them
  std::map<std::string, std::size_t> by_name_;  // upper-cased name to position
};

}  // namespace vexal::fs_tool
