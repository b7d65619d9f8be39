// The in-memory archives of one run: every source (a game archive file or a folder
// of loose files) and every output archive, held as records of one archive list.
// Sources hold their bytes (archive files, mapped where the platform can) or know where
// they lie (folders, whose files stay on disk); outputs hold links (archive slot and
// entry index) to entries of sources, whose bytes are fetched only when the output is
// saved.
// Records are addressed by archive slot, since appending a record may move the list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/entry_index.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal {

struct Entry {
  // Zero-terminated: at most 12 characters for a flat entry, 5 for a two-level group.
  // A flat name read from a file keeps all 13 bytes as read.
  std::array<char, 16> name{};
  // A flat entry of an archive file: position of its bytes in bytes(). A group of an
  // archive file: position of its item table there (only explanations use it).
  std::uint64_t offset = 0;
  std::uint64_t size = 0;            // a group: the size of its item table, 2 + 9 * items
  std::int32_t source_archive = -1;  // outputs only: archive slot of the linked source
  std::int32_t source_entry = -1;    // outputs only: index of the linked entry there
  // A group: the index of its first item in items (the others follow in table order).
  // A flat entry of a folder source: the index of its file in loose_files.
  std::uint32_t first = 0;
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

struct ArchiveRecord {
  std::string name;  // a source: its path as written; an output: catalogue name, then file path
  bool two_level = false;
  bool cd_archive = false;
  int replace = 0;  // linking: 0 keeps an existing name, non-zero re-points it
  // An archive file's bytes as the file system gave them (mapped where it can), and its
  // data area within them (from the first entry's bytes or item table on), which entry
  // and item positions refer to. Never copied.
  std::shared_ptr<const MappedBytes> file_bytes;
  std::span<const std::byte> file_data;
  std::vector<Entry> entries;  // size() is the entry count; grows geometrically, in blocks of 1024
  std::vector<Item> items;     // a two-level source: the items of its groups, group by group
  EntryIndex entry_index;      // names of entries for linking; see archive/entry_index.h
  // A folder source: the folder, ending in "\", and its files, whose bytes the writer
  // copies from disk.
  std::string folder;
  std::vector<LooseFile> loose_files;

  // The bytes in memory that entry and item positions refer to; every reader of them
  // goes through here. Empty for a folder source.
  std::span<const std::byte> bytes() const { return file_data; }
};

// The items of a group of a two-level source (a group may hold none), or nullopt when
// the entry is no such group.
std::optional<std::span<const Item>> group_items(const ArchiveRecord& source, const Entry& group);

class ArchiveList {
 public:
  // Empties the list. Every failure inside the engine also empties it, so that no record,
  // pointer or slot of the failed run stays in use.
  void clear();

  // Appends an empty record and gives its slot; ok or out_of_memory.
  Status append(int& slot);
  // The first record whose name matches without regard to case, or null.
  ArchiveRecord* find(std::string_view name);
  // The record of a slot, or null when the slot is outside the list.
  ArchiveRecord* get(int slot);
  const ArchiveRecord* get(int slot) const;
  // The slot of the first record whose name matches without regard to case, or -1.
  int find_slot(std::string_view name) const;
  // The slots of the records whose names match without regard to case, in slot order,
  // from an index of the record names. A record is indexed under the name it has at the
  // first lookup after it was appended (unnamed records are looked at again until they
  // have a name), so records are named when appended and not renamed while sources are
  // looked up.
  std::vector<int> find_slots(std::string_view name) const;

  // Make room for n more entries by the growth rules; ok or out_of_memory.
  Status reserve_entries(ArchiveRecord& record, std::size_t n);

  // Adds or re-points one link in the output at target_slot; ok, programmer_error (a slot
  // or index outside the list) or out_of_memory.
  Status link_entry(int target_slot, std::int64_t source_slot, std::int64_t source_entry);
  // Links every entry of a source, as link_entry does.
  Status link_archive(int target_slot, std::int64_t source_slot);

  std::size_t size() const { return records_.size(); }

  // Runs one operation of the engine on the list, keeping its rule: running out of
  // memory is out_of_memory, and any failure empties the list.
  Status guarded(const std::function<Status()>& operation);

 private:
  void index_new_records() const;

  std::vector<ArchiveRecord> records_;
  // Upper-cased record name to slots, and the records indexed so far / still unnamed.
  mutable std::unordered_map<std::string, std::vector<int>> slots_by_name_;
  mutable std::size_t named_records_ = 0;
  mutable std::vector<int> unnamed_slots_;
};

}  // namespace vexal
