#include "archive/archive_reader.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <span>

#include "archive/layout.h"
#include "base/byte_reader.h"

namespace vexal {
namespace {

using namespace layout;

// Refuses a damaged file, explaining what is damaged and where: every explanation names
// the archive as the caller named it and the file offset of the record at fault.
class Damage {
 public:
  Damage(std::string_view archive, std::uint64_t file_size)
      : archive_(archive), file_size_(file_size) {}

  Failure found(const std::string& where, const std::string& what) const {
    return {Status::archive_not_opened, std::string(archive_) + ": " + where + ": " + what};
  }
  std::string past_end(std::uint64_t at, std::uint64_t size) const {
    return "data at " + hex(at) + "+" + hex(size) + " runs past the end of the file (" +
           hex(file_size_) + " bytes)";
  }
  std::string beyond(std::string_view what, std::uint64_t at) const {
    return std::string(what) + " at " + hex(at) + " lies past the end of the file (" +
           hex(file_size_) + " bytes)";
  }

 private:
  std::string_view archive_;
  std::uint64_t file_size_;
};

std::string entry_at(std::size_t index, std::uint64_t offset) {
  return "entry " + std::to_string(index) + " at offset " + hex(offset);
}

std::string group_at(std::size_t index, std::string_view name, std::uint64_t offset) {
  return "group " + std::to_string(index) + " (" + std::string(name) + ") at offset " + hex(offset);
}

std::string group_where(const std::vector<Entry>& groups, std::size_t g) {
  return group_at(g, entry_name(groups[g]), kTwoLevelHeaderSize + kGroupRecordSize * g);
}

// Where the directory record of entry i lies, for explanations.
std::string record_at(const SourceArchive& source, std::size_t i) {
  return source.two_level ? group_where(source.entries, i)
                          : entry_at(i, kFlatHeaderSize + kFlatRecordSize * i);
}

// Reads one directory record into an entry: its name and the file offset of its data
// (a group: of its item table) in position. nullopt past the end of the file.
std::optional<Entry> read_record(ByteReader& reader, bool two_level) {
  Entry entry;
  const std::size_t name_size = two_level ? kGroupNameSize : kFlatNameSize;
  const auto name = reader.bytes(name_size);
  const auto offset = reader.u32();
  const auto size = two_level ? std::optional<std::uint32_t>(0) : reader.u32();
  if (!name || !offset || !size) {
    return std::nullopt;
  }
  std::memcpy(entry.name.data(), name->data(), name_size);
  entry.position = *offset;
  entry.size = *size;
  return entry;
}

// The entry count of the header, checked against the file; nullopt (explained) when
// the file is too short for the header or for the directory it announces.
Expected<std::uint32_t> read_count(std::span<const std::byte> file, bool two_level,
                                   const Damage& damage) {
  const std::size_t header = two_level ? kTwoLevelHeaderSize : kFlatHeaderSize;
  // The two-level data start field follows from the tables and is not needed.
  const auto count = file.size() < header ? std::nullopt : read_le(file, header - 4, 4);
  if (!count) {
    return damage.found("header", "the file is " + hex(file.size()) +
                                      " bytes long, too short for its header (" + hex(header) +
                                      " bytes)");
  }
  const std::size_t record_size = two_level ? kGroupRecordSize : kFlatRecordSize;
  if (*count > (file.size() - header) / record_size) {
    return damage.found("directory", "the count " + std::to_string(*count) + " at offset " +
                                         hex(header - 4) + " needs " +
                                         hex(std::uint64_t{*count} * record_size) +
                                         " bytes of directory, more than the file holds");
  }
  return static_cast<std::uint32_t>(*count);
}

// Reads the header and the directory into the source's entries, positions still file
// offsets. ok, out_of_memory or archive_not_opened.
Outcome read_directory(SourceArchive& source, std::span<const std::byte> file,
                       const Damage& damage) {
  Expected<std::uint32_t> count = read_count(file, source.two_level, damage);
  if (!count) {
    return std::move(count).failure();
  }
  if (Outcome done = ArchiveList::reserve_entries(source, *count); !done) {
    return done;
  }
  ByteReader reader(file);
  reader.seek(source.two_level ? kTwoLevelHeaderSize : kFlatHeaderSize);
  for (std::uint32_t i = 0; i < *count; ++i) {
    const std::uint64_t at = reader.position();
    const std::optional<Entry> entry = read_record(reader, source.two_level);
    if (!entry) {
      return Failure(Status::archive_not_opened);  // the count was checked against the file
    }
    if (!source.two_level && std::memchr(entry->name.data(), '\0', kFlatNameSize) == nullptr) {
      return damage.found(entry_at(i, at), "the name does not end within its 13 bytes");
    }
    source.entries.push_back(*entry);
  }
  return {};
}

// Checks where the first record's data (a flat entry's bytes, a group's item table)
// begins: right after the directory, inside the file. ok or archive_not_opened.
Outcome check_base(const SourceArchive& source, std::uint64_t file_size, const Damage& damage) {
  const std::size_t count = source.entries.size();
  const std::uint64_t end_of_directory = source.two_level
                                             ? kTwoLevelHeaderSize + kGroupRecordSize * count
                                             : kFlatHeaderSize + kFlatRecordSize * count;
  const std::uint64_t base = source.entries.front().position;
  const std::string_view what = source.two_level ? "its item table" : "its data";
  if (base < end_of_directory) {
    return damage.found(record_at(source, 0), std::string(what) + " at " + hex(base) +
                                                  " lies inside the directory, which ends at " +
                                                  hex(end_of_directory));
  }
  if (base > file_size) {
    return damage.found(record_at(source, 0), damage.beyond(what, base));
  }
  return {};
}

// Makes every entry's position relative to the data area, checking that its data (a
// group: the start of its item table) lies inside it. ok or archive_not_opened.
Outcome rebase_entries(SourceArchive& source, std::span<const std::byte> area, std::uint64_t base,
                       const Damage& damage) {
  const std::string_view what = source.two_level ? "its item table" : "its data";
  for (std::size_t i = 0; i < source.entries.size(); ++i) {
    Entry& entry = source.entries[i];
    if (entry.position < base) {
      return damage.found(record_at(source, i), std::string(what) + " at " + hex(entry.position) +
                                                    " lies before the data area, which starts at " +
                                                    hex(base));
    }
    if (!bytes_at(area, entry.position - base, entry.size)) {
      return damage.found(record_at(source, i), source.two_level
                                                    ? damage.beyond(what, entry.position)
                                                    : damage.past_end(entry.position, entry.size));
    }
    entry.position = static_cast<std::uint32_t>(entry.position - base);
  }
  return {};
}

// Checks the size of every group's item table against the data area and that no two
// tables share bytes, setting each group's size. Positions are the tables'. ok or
// archive_not_opened.
Outcome check_item_tables(std::vector<Entry>& groups, std::span<const std::byte> area,
                          std::uint64_t base, const Damage& damage) {
  for (std::size_t g = 0; g < groups.size(); ++g) {
    Entry& group = groups[g];
    const auto items = read_le(area, group.position, kItemCountSize);
    if (!items || !bytes_at(area, group.position, item_table_size(*items))) {
      return damage.found(group_where(groups, g), "the item table at " +
                                                      hex(base + group.position) + " of " +
                                                      std::to_string(items.value_or(0)) +
                                                      " items runs past the end of the file");
    }
    group.size = static_cast<std::uint32_t>(item_table_size(*items));
  }
  std::vector<std::uint32_t> by_offset(groups.size());
  std::iota(by_offset.begin(), by_offset.end(), std::uint32_t{0});
  std::sort(by_offset.begin(), by_offset.end(), [&](std::uint32_t a, std::uint32_t b) {
    return groups[a].position < groups[b].position;
  });
  for (std::size_t i = 1; i < by_offset.size(); ++i) {
    const Entry& previous = groups[by_offset[i - 1]];
    if (groups[by_offset[i]].position < std::uint64_t{previous.position} + previous.size) {
      return damage.found(group_where(groups, by_offset[i]),
                          "its item table at " + hex(base + groups[by_offset[i]].position) +
                              " overlaps the one of group " + std::to_string(by_offset[i - 1]) +
                              " at " + hex(base + previous.position));
    }
  }
  return {};
}

// Reads the items of group g from its checked table (at its position) into the source's
// items, their positions made relative to the data area; the group's position becomes
// its first item's index. ok or archive_not_opened.
Outcome read_items(SourceArchive& source, std::size_t g, std::span<const std::byte> area,
                   std::uint64_t base, const Damage& damage) {
  Entry& group = source.entries[g];
  const std::uint64_t table = group.position;
  group.position = static_cast<std::uint32_t>(source.items.size());
  for (std::uint64_t at = table + kItemCountSize; at < table + group.size; at += kItemRecordSize) {
    const auto name = bytes_at(area, at, kItemNameSize);
    const auto offset = read_le(area, at + kItemNameSize, 4);
    const auto size = read_le(area, at + kItemNameSize + 4, 2);
    if (!name || !offset || !size) {
      return Failure(Status::archive_not_opened);  // the table was checked against the area
    }
    if (*offset < base || !bytes_at(area, *offset - base, *size)) {
      const std::string item = group_where(source.entries, g) + ", item " +
                               std::to_string((at - table) / kItemRecordSize) + " at offset " +
                               hex(base + at);
      return damage.found(
          item, *offset < base ? "data at " + hex(*offset) +
                                     " lies before the item tables, which start at " + hex(base)
                               : damage.past_end(*offset, *size));
    }
    Item& read = source.items.emplace_back();
    std::memcpy(read.name.data(), name->data(), kItemNameSize);
    read.size = static_cast<std::uint16_t>(*size);
    read.where = static_cast<std::uint32_t>(*offset - base);
  }
  return {};
}

// Parses every group's item table into items, once. ok, out_of_memory or
// archive_not_opened.
Outcome read_groups(SourceArchive& source, std::span<const std::byte> area, std::uint64_t base,
                    const Damage& damage) {
  if (Outcome done = check_item_tables(source.entries, area, base, damage); !done) {
    return done;
  }
  std::uint64_t item_count = 0;
  for (const Entry& group : source.entries) {
    item_count += (group.size - kItemCountSize) / kItemRecordSize;
  }
  if (item_count > UINT32_MAX) {
    return Failure(Status::out_of_memory);  // beyond what a group can point to
  }
  source.items.reserve(static_cast<std::size_t>(item_count));
  for (std::size_t g = 0; g < source.entries.size(); ++g) {
    if (Outcome done = read_items(source, g, area, base, damage); !done) {
      return done;
    }
  }
  return {};
}

Outcome read_archive(SourceArchive& source, std::shared_ptr<const MappedBytes> file) {
  const std::span<const std::byte> bytes = file->bytes();
  const Damage damage(source.path, bytes.size());
  if (Outcome done = read_directory(source, bytes, damage); !done) {
    return done;
  }
  if (source.entries.empty()) {
    return {};  // an empty archive has an empty data area
  }
  if (Outcome done = check_base(source, bytes.size(), damage); !done) {
    return done;
  }
  const std::uint64_t base = source.entries.front().position;
  const std::span<const std::byte> area = *bytes_from(bytes, base);
  if (Outcome done = rebase_entries(source, area, base, damage); !done) {
    return done;
  }
  // Entries and items are used where they lie in the file, so its bytes are kept.
  source.file_data = area;
  source.file_bytes = std::move(file);
  if (!source.two_level) {
    return {};
  }
  return read_groups(source, area, base, damage);
}

}  // namespace

Outcome read_archive_file(FileSystem& fs, SourceArchive& source, const std::string& full_path) {
  if (full_path.empty()) {
    return Failure(Status::programmer_error);
  }
  source.two_level = layout_of_name(source.path) == NamedLayout::two_level;
  auto file = fs.map_read(full_path);
  if (!file) {
    return Failure(Status::archive_not_opened, file.describe(full_path, "cannot be read"));
  }
  return read_archive(source, std::move(*file));
}

}  // namespace vexal
