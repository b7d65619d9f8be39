// The in-memory archives of one run, by role. A SourceArchive is a game archive file or
// a folder of loose files named by an add command: it holds its bytes (archive files,
// mapped where the platform can) or knows where they lie (folders, whose files stay on
// disk), and its entries and items say where each one's bytes are. An OutputArchive is
// the archive a block builds: links (source and entry, 8 bytes) to entries of sources,
// whose bytes are fetched only when the output is saved.
// The list owns every archive at a stable address: a reference stays valid for the
// list's lifetime, whatever is added after it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/entry_index.h"
#include "base/expected.h"
#include "platform/file_system.h"

namespace vexal {

// An entry of a source: a flat entry or a two-level group. 24 bytes, no heap.
struct Entry {
  // Zero-terminated: at most 12 characters for a flat entry, 5 for a two-level group.
  // A flat name read from a file keeps all 13 bytes as read.
  std::array<char, 16> name{};
  // A flat entry of an archive file: position of its bytes in bytes(). A flat entry of
  // a folder source: the index of its file in loose_files. A group: the index of its
  // first item in items (the others follow in table order).
  std::uint32_t position = 0;
  std::uint32_t size = 0;  // a group: the size of its item table, 2 + 9 * items
};

// An entry of an output: the source (its index in the list) and the entry there.
struct Link {
  std::uint32_t source = 0;
  std::uint32_t entry = 0;
  bool operator==(const Link&) const = default;
};

// An item of a two-level group, as its source holds it: the reader and folder loading
// parse item tables into items once, and the writer writes tables from them.
struct Item {
  std::array<char, 3> name{};  // exactly three bytes, as in the table
  std::uint16_t size = 0;
  // An archive file's item: position of its bytes in bytes(). A folder source's item:
  // the index of its file in loose_files.
  std::uint32_t where = 0;
};

// A file of a source folder, whose bytes are copied from disk when an output is saved.
struct LooseFile {
  std::string name;        // below the folder, as listed: "b.dat", "TANK\a01"
  std::uint64_t size = 0;  // from the listing; the file must still have it when copied
};

// The name of an entry up to its terminator.
std::string_view entry_name(const Entry& entry);
// Sets the name field: the text (cut to 15 bytes) and zero bytes after it.
void set_entry_name(Entry& entry, std::string_view text);

// Compares two names byte by byte after upper-casing ASCII letters; the shorter of two
// names where one begins the other comes first. Negative, zero or positive.
int compare_names(std::string_view a, std::string_view b);
bool names_equal(std::string_view a, std::string_view b);

// The layout an archive's name gives it: ".FS" flat, ".FSU" two-level, in any letter
// case; none for any other name (a folder, as a source).
enum class NamedLayout { none, flat, two_level };
NamedLayout layout_of_name(std::string_view name);

struct SourceArchive {
  std::string path;         // as the definition names it, variables expanded; never changes
  std::uint32_t index = 0;  // in the list, as links name it
  bool two_level = false;
  // An archive file's bytes as the file system gave them (mapped where it can), and its
  // data area within them (from the first entry's bytes or item table on), which entry
  // and item positions refer to. Never copied.
  std::shared_ptr<const MappedBytes> file_bytes;
  std::span<const std::byte> file_data;
  std::vector<Entry> entries;
  std::vector<Item> items;  // a two-level source: the items of its groups, group by group
  // A folder source: the folder, ending in "\\", and its files, whose bytes the writer
  // copies from disk.
  std::string folder;
  std::vector<LooseFile> loose_files;

  // The bytes in memory that entry and item positions refer to; every reader of them
  // goes through here. Empty for a folder source.
  std::span<const std::byte> bytes() const { return file_data; }
};

// The items of a group of a two-level source (a group may hold none), or nullopt when
// the entry is no such group.
std::optional<std::span<const Item>> group_items(const SourceArchive& source, const Entry& group);

struct OutputArchive {
  std::string name;       // the catalogue name, "BASICS.FS"
  std::string file_path;  // where it is saved: set by the save loop, empty before
  bool two_level = false;
  bool cd_archive = false;
  // Linking: false keeps an existing name, true re-points it to the new source.
  bool replace = false;
  std::vector<Link> links;  // grows geometrically
  EntryIndex index;         // names of the links' entries; see archive/entry_index.h
};

class ArchiveList {
 public:
  // A new, empty source archive named by path.
  SourceArchive& add_source(std::string path);
  // A new, empty output archive.
  OutputArchive& add_output(std::string name, bool two_level, bool cd_archive = false);

  // The first source whose path matches without regard to case, or null.
  const SourceArchive* find_source(std::string_view path) const;
  const SourceArchive& source(std::uint32_t index) const { return *sources_[index]; }
  std::size_t source_count() const { return sources_.size(); }
  // The source entry a link names; the link must come from this list.
  const Entry& linked_entry(const Link& link) const {
    return sources_[link.source]->entries[link.entry];
  }

  // Adds or re-points (by the output's replace mode) one link to entry number entry of
  // the source. Fails with programmer_error (a source of another list or an entry
  // outside it) or out_of_memory.
  Outcome link_entry(OutputArchive& output, const SourceArchive& source, std::size_t entry);
  // Links every entry of a source, as link_entry does.
  Outcome link_archive(OutputArchive& output, const SourceArchive& source);

  // Makes room for n more entries of a source being loaded, or fails with out_of_memory.
  static Outcome reserve_entries(SourceArchive& source, std::size_t n);

 private:
  bool owns(const SourceArchive& source) const;
  EntryIndex::Key key_of_link(const OutputArchive& output, std::size_t position) const;

  std::vector<std::unique_ptr<SourceArchive>> sources_;
  std::vector<std::unique_ptr<OutputArchive>> outputs_;
  // Upper-cased source path to the index of the first source of that path.
  std::unordered_map<std::string, std::uint32_t> source_by_path_;
};

}  // namespace vexal
