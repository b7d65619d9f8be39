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
  std::uint64_t offset = 0;          // position of the bytes (a group: its item table) in data
  std::uint64_t size = 0;            // a group: 2 + 9 * item count
  std::int32_t source_archive = -1;  // outputs only: archive slot of the linked source
  std::int32_t source_entry = -1;    // outputs only: index of the linked entry there
  // Folder sources only: the index of the entry's file in loose_files (a group: of its
  // first item's; the others follow in table order).
  std::uint32_t loose_file = 0;
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
  int replace = 0;              // linking: 0 keeps an existing name, non-zero re-points it
  std::vector<std::byte> data;  // owned bytes; size() is the bytes in use; grows in 1 MiB blocks
  // A flat archive file's bytes as the file system gave them (mapped where it can) and
  // its data area within them. When set they stand in for data, which stays empty.
  std::shared_ptr<const MappedBytes> file_bytes;
  std::span<const std::byte> file_data;
  std::vector<Entry> entries;  // size() is the entry count; grows in blocks of 1024
  EntryIndex entry_index;      // names of entries for linking; see fs/entry_index.h
  // A folder source: the folder, ending in "\", and its files. Offsets of its entries
  // and items count as if the files lay back to back after the item tables, which are
  // all that data holds.
  std::string folder;
  std::vector<LooseFile> loose_files;

  // The bytes in memory that entry offsets refer to; every reader of them goes through
  // here. A folder source's files are read only by the writer, through loose_files.
  std::span<const std::byte> bytes() const {
    return file_bytes ? file_data : std::span<const std::byte>(data);
  }
};

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

  // Make room for n more entries / data bytes by the growth rules; ok or out_of_memory.
  Status reserve_entries(ArchiveRecord& record, std::size_t n);
  Status reserve_data(ArchiveRecord& record, std::size_t n);

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
