#include "toolkit/combined_definition.h"

#include <algorithm>
#include <set>

#include "archive/catalogue.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"

namespace vexal::fs_tool {
namespace {

// Refuses what a definition cannot say, naming it.
Failure unwritable(std::string explanation) {
  return {Status::archive_not_created, std::move(explanation)};
}
// Characters that end or split a parameter of add, or that the scanner reads first.
constexpr std::string_view kSpecial = "();,={}%/";

bool printable(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > 0x20 && byte < 0x7F;
}

// A name a mask picks alone: no wildcard, nothing the statement parser reads.
bool picks_alone(std::string_view name) {
  return !name.empty() && std::ranges::all_of(name, [](char c) {
    return printable(c) && kSpecial.find(c) == std::string_view::npos && c != '*' && c != '?';
  });
}

// A name that folder loading gives back as it is, from a file of that name.
bool loads_from_file(std::string_view name, std::size_t longest) {
  constexpr std::string_view kNotInFileNames = "\\/:*?\"<>|";
  return !name.empty() && name.size() <= longest && name != "." && name != ".." &&
         name.back() != '.' && name.back() != ' ' && upper_case(name) == name &&
         std::ranges::all_of(name, [&](char c) {
           return printable(c) && kNotInFileNames.find(c) == std::string_view::npos;
         });
}

bool parameter_text(std::string_view text) {
  return !text.empty() && text.front() != ' ' && text.back() != ' ' &&
         std::ranges::all_of(text, [](char c) {
           return (printable(c) || c == ' ') && kSpecial.find(c) == std::string_view::npos;
         });
}

// The path from the folder to the target, both absolute, with "\" between its parts.
std::string relative_path(std::string_view folder, std::string_view target) {
  const std::vector<std::string> from = lexical_parts(folder);
  const std::vector<std::string> to = lexical_parts(target);
  std::size_t common = 0;
  while (common < from.size() && common < to.size() && from[common] == to[common]) {
    ++common;
  }
  std::string path;
  for (std::size_t i = common; i < from.size(); ++i) {
    path += "..\\";
  }
  for (std::size_t i = common; i < to.size(); ++i) {
    path += to[i] + (i + 1 < to.size() ? "\\" : "");
  }
  return path;
}

struct Writer {
  const DefinitionPlace& place;
  CombinedDefinition& definition;

  // How the definition names a source: the game's archive through VEXAL or VEXALCD,
  // a path with a drive as it is, any other path from the definition's folder (a
  // definition holds no "/", so no POSIX path is written whole).
  Expected<std::string> source_text(const std::string& path, std::string_view archive) {
    const CatalogueMatch match = match_catalogue(archive, LetterCase::ignored);
    if (same_path(path, installed_path(place.game, std::string(archive)))) {
      const std::string& value = match.cd_archive ? place.config.vexalcd : place.config.vexal;
      const std::string variable = match.cd_archive ? "%VEXALCD%" : "%VEXAL%";
      const std::string rest = "data\\" + std::string(archive);
      return (ends_with_separator(value) ? variable : variable + "\\") + rest;
    }
    std::string text =
        path.find(':') != std::string::npos ? path : relative_path(place.folder, path);
    std::ranges::replace(text, '/', '\\');
    if (!parameter_text(text)) {
      return unwritable(
          "the source " + path +
          " cannot be named in a definition: its path holds one of ( ) ; , = { } % /, "
          "a byte that is no printable ASCII, or a blank at an end; move the mod "
          "to a folder without them");
    }
    return text;
  }
};

}  // namespace

namespace {

// The folder source of an archive's entries that its block cannot take from elsewhere.
std::string own_folder(std::string_view archive) {
  std::string folder = std::string(kSourcesFolder) + "\\" + std::string(archive);
  std::ranges::replace(folder, '.', '_');
  return folder;
}

bool item_file_name(std::string_view name) {
  return name.size() == 3 && std::ranges::all_of(name, [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
         });
}

// Puts an entry into the archive's folder source: a flat entry as its file, a group
// as a folder of its present items. Fails when folder loading could not give it back
// under its name.
Outcome add_own_files(Writer& writer, const CombinedArchive& archive, const CombinedEntry& entry) {
  const std::string folder = own_folder(archive.name());
  std::string group = entry.name;
  while (archive.two_level() && !group.empty() && group.back() == '_') {
    group.pop_back();
  }
  if (!loads_from_file(upper_case(group), archive.two_level() ? 5 : 12)) {
    return unwritable(archive.name() + ": the entry " + shown_name(entry.name) +
                      " can be picked neither by a mask nor from a folder source");
  }
  for (const Piece& piece : entry.pieces) {
    if (!piece.present) {
      continue;
    }
    if (archive.two_level() && !item_file_name(piece.name)) {
      return unwritable(archive.name() + ": the item " + shown_name(piece.name) + " of the group " +
                        entry.name + ", merged from several mods, is no name folder loading takes");
    }
    const std::string path = archive.two_level() ? folder + "\\" + group + "\\" + piece.name
                                                 : folder + "\\" + piece.name;
    writer.definition.files.push_back({path, piece.bytes});
  }
  return {};
}

// The adds that take every entry of one source that the archive takes from it.
Outcome add_lines(Writer& writer, const CombinedArchive& archive, const std::string& source,
                  const std::vector<const CombinedEntry*>& entries, std::string& block) {
  Expected<std::string> text = writer.source_text(source, archive.name());
  if (!text) {
    return std::move(text).failure();
  }
  std::vector<std::string> taken;
  taken.reserve(entries.size());
  for (const CombinedEntry* entry : entries) {
    taken.push_back(entry->origin.entry);
  }
  std::ranges::sort(taken);
  const auto all = writer.place.source_entries.find(source);
  if (all != writer.place.source_entries.end()) {
    std::vector<std::string> names = all->second;
    std::ranges::sort(names);
    if (names == taken) {
      block += "    add(ALL, " + *text + ")\n";
      return {};
    }
  }
  for (const CombinedEntry* entry : entries) {
    if (picks_alone(entry->origin.entry)) {
      block += "    add(ALL, " + *text + ", " + entry->origin.entry + ")\n";
      continue;
    }
    Outcome own = archive.two_level() ? Outcome(Status::archive_not_created)
                                      : add_own_files(writer, archive, *entry);
    if (!own) {
      return std::move(own).failure().because(archive.name() + ": no mask picks the entry " +
                                              shown_name(entry->origin.entry) + " of " + source +
                                              " alone");
    }
  }
  return {};
}

// True when the combined archive holds every entry of the source, from wherever.
bool keeps_every_entry(const Writer& writer, const CombinedArchive& archive,
                       const std::string& source) {
  const auto all = writer.place.source_entries.find(source);
  if (all == writer.place.source_entries.end()) {
    return false;
  }
  std::set<std::string> present;
  for (const CombinedEntry& entry : archive.entries()) {
    if (entry.present) {
      present.insert(upper_case(entry.name));
    }
  }
  return std::ranges::all_of(
      all->second, [&](const std::string& name) { return present.contains(upper_case(name)); });
}

// The block of one archive. The game's archive, when it gives anything, comes first.
Outcome compose_block(Writer& writer, const CombinedArchive& archive, std::string& block) {
  const std::string game = installed_path(writer.place.game, archive.name());
  std::vector<std::string> order;
  std::map<std::string, std::vector<const CombinedEntry*>> by_source;
  std::size_t own_files = writer.definition.files.size();
  for (const CombinedEntry& entry : archive.entries()) {
    if (!entry.present) {
      continue;
    }
    if (archive.two_level() && entry.merged()) {
      if (Outcome own = add_own_files(writer, archive, entry); !own) {
        return own;
      }
      continue;
    }
    auto [found, inserted] = by_source.try_emplace(entry.origin.source);
    if (inserted) {
      order.push_back(entry.origin.source);
    }
    found->second.push_back(&entry);
  }
  std::stable_partition(order.begin(), order.end(),
                        [&](const std::string& source) { return source == game; });
  block += "class " + archive.name() + " {\n";
  std::size_t first = 0;
  if (!order.empty() && order.front() == game && keeps_every_entry(writer, archive, game)) {
    // The block starts from the whole game archive; the later adds re-point its entries.
    Expected<std::string> text = writer.source_text(game, archive.name());
    if (!text) {
      return std::move(text).failure();
    }
    block += "    add(" + *text + ")\n";
    first = 1;
  }
  for (const std::string& source : std::span(order).subspan(first)) {
    if (Outcome lines = add_lines(writer, archive, source, by_source[source], block); !lines) {
      return lines;
    }
  }
  if (writer.definition.files.size() > own_files) {
    block += "    add(ALL, " + own_folder(archive.name()) + ")\n";
  }
  block += "}\n";
  return {};
}

}  // namespace

Expected<CombinedDefinition> compose_definition(const DefinitionPlace& place,
                                                const std::vector<std::string>& mods,
                                                const std::vector<CombinedArchive>& archives) {
  CombinedDefinition definition;
  Writer writer{place, definition};
  std::string names;
  for (const std::string& mod : mods) {
    const bool commentable = mod.find_first_of("\r\n") == std::string::npos;
    names += (names.empty() ? "" : ", ") + (commentable ? mod : std::string("..."));
  }
  definition.text = "// Made by vexal_fs combine from " + names +
                    ",\n// in this order: where two change the same entry, the later one wins.\n"
                    "class PATH {\n    MAKE = out\n}\n";
  for (const CombinedArchive& archive : archives) {
    if (Outcome block = compose_block(writer, archive, definition.text); !block) {
      return std::move(block).failure();
    }
  }
  return definition;
}

}  // namespace vexal::fs_tool
