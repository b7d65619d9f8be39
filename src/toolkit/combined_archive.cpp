#include "toolkit/combined_archive.h"

#include <algorithm>

#include "archive/catalogue.h"
#include "platform/ascii.h"

namespace vexal::fs_tool {
namespace {

bool same_bytes(std::span<const std::byte> a, std::span<const std::byte> b) {
  return std::ranges::equal(a, b);
}

// The pieces of an entry as an archive holds it: a flat entry is its one piece.
std::vector<Piece> pieces_of(const ArchiveView::Member& member, bool two_level) {
  std::vector<Piece> pieces;
  if (!two_level) {
    pieces.push_back({member.name, member.bytes, true, {}});
  }
  for (const ArchiveView::Item& item : member.items) {
    pieces.push_back({item.name, item.bytes, true, {}});
  }
  return pieces;
}

Piece* find_piece(std::vector<Piece>& pieces, std::string_view name) {
  const auto found = std::ranges::find_if(
      pieces, [&](const Piece& piece) { return equal_ignoring_case(piece.name, name); });
  return found == pieces.end() ? nullptr : &*found;
}

void add_changer(Piece& piece, std::size_t mod) {
  if (piece.changers.empty() || piece.changers.back() != mod) {
    piece.changers.push_back(mod);
  }
}

}  // namespace

CombinedArchive::CombinedArchive(std::string name, const ArchiveView* game, std::string game_path)
    : name_(std::move(name)), game_(game), game_path_(std::move(game_path)) {
  const CatalogueMatch match = match_catalogue(name_, LetterCase::ignored);
  two_level_ = match.two_level;
  start_from_game();
}

void CombinedArchive::start_from_game() {
  if (game_ == nullptr) {
    return;
  }
  for (const ArchiveView::Member& member : game_->members) {
    CombinedEntry& added = entry(member.name);
    added.origin = {game_path_, member.name};
    added.pieces = pieces_of(member, two_level_);
  }
}

CombinedEntry& CombinedArchive::entry(const std::string& name) {
  const auto [found, inserted] = by_name_.try_emplace(upper_case(name), entries_.size());
  if (inserted) {
    entries_.push_back({name, true, {}, {}, {}});
  }
  return entries_[found->second];
}

const ArchiveView::Member* CombinedArchive::game_member(const std::string& name) const {
  if (game_ == nullptr) {
    return nullptr;
  }
  const auto found = std::ranges::find_if(game_->members, [&](const ArchiveView::Member& member) {
    return equal_ignoring_case(member.name, name);
  });
  return found == game_->members.end() ? nullptr : &*found;
}

void CombinedArchive::apply(std::size_t mod, const PlannedArchive& archive) {
  if (archive.from_game) {
    apply_changes(mod, archive);
  } else {
    replace_whole(mod, archive);
  }
}

void CombinedArchive::apply_changes(std::size_t mod, const PlannedArchive& archive) {
  const std::vector<ArchiveView::Member>& built = archive.built->members;
  for (std::size_t i = 0; i < built.size(); ++i) {
    const ArchiveView::Member* game = game_member(built[i].name);
    if (two_level_) {
      change_group(mod, built[i], archive.origins[i], game);
    } else if (game == nullptr || game->name != built[i].name ||
               !same_bytes(game->bytes, built[i].bytes)) {
      CombinedEntry& changed = entry(built[i].name);
      std::vector<std::size_t> changers =
          changed.pieces.empty() ? std::vector<std::size_t>{} : changed.pieces.front().changers;
      changed = {built[i].name, true, archive.origins[i], {mod}, pieces_of(built[i], false)};
      changed.pieces.front().changers = std::move(changers);
      add_changer(changed.pieces.front(), mod);
    }
  }
  if (game_ != nullptr) {
    for (const ArchiveView::Member& member : game_->members) {
      const bool kept = std::ranges::any_of(built, [&](const ArchiveView::Member& mine) {
        return equal_ignoring_case(mine.name, member.name);
      });
      if (!kept) {
        remove(mod, member.name);
      }
    }
  }
}

// The items of a group the mod changes, against the game's group: other bytes, added
// or lacking. A group the mod leaves as the game has it is not touched.
void CombinedArchive::change_group(std::size_t mod, const ArchiveView::Member& built,
                                   const Origin& origin, const ArchiveView::Member* game) {
  std::vector<Piece> game_items = game ? pieces_of(*game, true) : std::vector<Piece>{};
  std::vector<const ArchiveView::Item*> changed;
  for (const ArchiveView::Item& item : built.items) {
    const Piece* before = find_piece(game_items, item.name);
    if (before == nullptr || before->name != item.name || !same_bytes(before->bytes, item.bytes)) {
      changed.push_back(&item);
    }
  }
  std::vector<std::string> lacking;
  for (const Piece& item : game_items) {
    const bool kept = std::ranges::any_of(built.items, [&](const ArchiveView::Item& mine) {
      return equal_ignoring_case(mine.name, item.name);
    });
    if (!kept) {
      lacking.push_back(item.name);
    }
  }
  if (changed.empty() && lacking.empty()) {
    return;
  }
  CombinedEntry& group = entry(built.name);
  if (!group.present || group.pieces.empty()) {
    // Removed by an earlier mod, or new: the game's group (if any) is where it starts.
    group.pieces = std::move(game_items);
    group.present = true;
    group.touched_by.clear();
  }
  group.name = built.name;
  group.origin = origin;
  group.touched_by.insert(mod);
  for (const ArchiveView::Item* item : changed) {
    Piece* piece = find_piece(group.pieces, item->name);
    if (piece == nullptr) {
      piece = &group.pieces.emplace_back();
    }
    piece->name = item->name;
    piece->bytes = item->bytes;
    piece->present = true;
    add_changer(*piece, mod);
  }
  for (const std::string& name : lacking) {
    Piece* piece = find_piece(group.pieces, name);
    if (piece != nullptr) {
      piece->present = false;
      add_changer(*piece, mod);
    }
  }
}

void CombinedArchive::remove(std::size_t mod, const std::string& name) {
  CombinedEntry& removed = entry(name);
  if (removed.present) {
    for (Piece& piece : removed.pieces) {
      if (piece.present) {
        add_changer(piece, mod);
      }
    }
  }
  removed.present = false;
  removed.touched_by = {mod};
}

// The mod's archive takes the place of everything before it. What the mods before it
// changed, it overrides; what it changes against the game's archive, it changes.
void CombinedArchive::replace_whole(std::size_t mod, const PlannedArchive& archive) {
  CombinedArchive own(name_, game_, game_path_);
  own.apply_changes(mod, archive);
  std::map<std::string, std::vector<std::size_t>> changers;
  for (const auto* entries : {&entries_, &own.entries_}) {
    for (const CombinedEntry& before : *entries) {
      for (const Piece& piece : before.pieces) {
        if (!piece.changers.empty()) {
          std::vector<std::size_t>& kept = changers[upper_case(before.name + '\\' + piece.name)];
          kept.insert(kept.end(), piece.changers.begin(), piece.changers.end());
        }
      }
    }
  }
  const std::vector<CombinedEntry> before = std::move(entries_);
  entries_.clear();
  by_name_.clear();
  const std::vector<ArchiveView::Member>& built = archive.built->members;
  for (std::size_t i = 0; i < built.size(); ++i) {
    CombinedEntry& replaced = entry(built[i].name);
    replaced = {built[i].name, true, archive.origins[i], {mod}, pieces_of(built[i], two_level_)};
  }
  for (const CombinedEntry& old : before) {
    if (by_name_.find(upper_case(old.name)) == by_name_.end()) {
      CombinedEntry& gone = entry(old.name);
      gone = {old.name, false, old.origin, {mod}, old.pieces};
    }
  }
  for (CombinedEntry& now : entries_) {
    for (Piece& piece : now.pieces) {
      const auto found = changers.find(upper_case(now.name + '\\' + piece.name));
      piece.changers.clear();
      if (found != changers.end()) {
        for (const std::size_t changer : found->second) {
          add_changer(piece, changer);
        }
        add_changer(piece, mod);
      }
    }
  }
}

std::vector<Conflict> CombinedArchive::conflicts() const {
  std::vector<Conflict> found;
  for (const CombinedEntry& combined : entries_) {
    for (const Piece& piece : combined.pieces) {
      if (piece.changers.size() > 1) {
        found.push_back({name_, combined.name, two_level_ ? piece.name : "", piece.changers});
      }
    }
  }
  return found;
}

}  // namespace vexal::fs_tool
