#include "archive/archive_reader.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <span>

#include "archive/layout.h"
#include "base/byte_reader.h"
#include "platform/memory.h"

namespace vexal {
namespace {

using namespace layout;

bool has_fsu_extension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && names_equal(name.substr(dot + 1), "FSU");
}

// The directory as read, before it becomes the record's entry table.
struct DirectoryRecord {
  std::array<char, 16> name{};
  std::uint64_t offset = 0;  // absolute in the file
  std::uint64_t size = 0;    // flat only; a group's table size is known after the data read
};

// Refuses a damaged file, explaining what is damaged and where: every explanation names
// the archive as the caller named it and the file offset of the record at fault.
class Damage {
 public:
  Damage(Reporter& reporter, std::string_view archive, std::uint64_t file_size)
      : reporter_(reporter), archive_(archive), file_size_(file_size) {}

  Status found(const std::string& where, const std::string& what) const {
    reporter_.explain(std::string(archive_) + ": " + where + ": " + what);
    return Status::archive_not_opened;
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
  Reporter& reporter_;
  std::string_view archive_;
  std::uint64_t file_size_;
};

std::string entry_at(std::size_t index, std::uint64_t offset) {
  return "entry " + std::to_string(index) + " at offset " + hex(offset);
}

std::string group_at(std::size_t index, std::string_view name, std::uint64_t offset) {
  return "group " + std::to_string(index) + " (" + std::string(name) + ") at offset " + hex(offset);
}

std::optional<DirectoryRecord> read_flat_record(ByteReader& reader) {
  DirectoryRecord record;
  const auto name = reader.bytes(kFlatNameSize);
  const auto offset = reader.u32();
  const auto size = reader.u32();
  if (!name || !offset || !size) {
    return std::nullopt;
  }
  std::memcpy(record.name.data(), name->data(), kFlatNameSize);
  record.offset = *offset;
  record.size = *size;
  return record;
}

std::optional<DirectoryRecord> read_group_record(ByteReader& reader) {
  DirectoryRecord record;
  const auto name = reader.bytes(kGroupNameSize);
  const auto offset = reader.u32();
  if (!name || !offset) {
    return std::nullopt;
  }
  std::memcpy(record.name.data(), name->data(), kGroupNameSize);
  record.offset = *offset;
  return record;
}

// Reads the header and the directory records of either layout. ok or archive_not_opened.
Status read_directory(std::span<const std::byte> file, bool two_level, const Damage& damage,
                      std::vector<DirectoryRecord>& records) {
  ByteReader reader(file);
  const std::size_t header = two_level ? kTwoLevelHeaderSize : kFlatHeaderSize;
  // The two-level data start field follows from the tables and is not needed.
  const auto count = file.size() < header ? std::nullopt : read_le(file, header - 4, 4);
  if (!count) {
    return damage.found("header", "the file is " + hex(file.size()) +
                                      " bytes long, too short for its header (" + hex(header) +
                                      " bytes)");
  }
  reader.seek(header);
  const std::size_t record_size = two_level ? kGroupRecordSize : kFlatRecordSize;
  if (*count > reader.remaining() / record_size) {
    return damage.found("directory", "the count " + std::to_string(*count) + " at offset " +
                                         hex(header - 4) + " needs " +
                                         hex(std::uint64_t{*count} * record_size) +
                                         " bytes of directory, more than the file holds");
  }
  records.reserve(*count);
  for (std::uint32_t i = 0; i < *count; ++i) {
    const std::uint64_t at = reader.position();
    const auto record = two_level ? read_group_record(reader) : read_flat_record(reader);
    if (!record) {
      return Status::archive_not_opened;  // the count was checked against the file
    }
    if (!two_level && std::memchr(record->name.data(), '\0', kFlatNameSize) == nullptr) {
      return damage.found(entry_at(i, at), "the name does not end within its 13 bytes");
    }
    records.push_back(*record);
  }
  return Status::ok;
}

// Checks the item table of every group and rebases its items' data offsets in place,
// making them relative to data. ok or archive_not_opened.
Status adopt_item_tables(std::vector<Entry>& groups, std::vector<std::byte>& data,
                         std::uint64_t base, const Damage& damage) {
  const auto where = [&](std::size_t g) {
    return group_at(g, entry_name(groups[g]), kTwoLevelHeaderSize + kGroupRecordSize * g);
  };
  for (std::size_t g = 0; g < groups.size(); ++g) {
    Entry& group = groups[g];
    const auto items = read_le(data, group.offset, kItemCountSize);
    if (!items || !bytes_at(data, group.offset, item_table_size(*items))) {
      return damage.found(where(g), "the item table at " + hex(base + group.offset) + " of " +
                                        std::to_string(items.value_or(0)) +
                                        " items runs past the end of the file");
    }
    group.size = item_table_size(*items);
  }
  // Each table is rebased in place once; tables that share bytes would be rebased twice.
  std::vector<std::size_t> by_offset(groups.size());
  std::iota(by_offset.begin(), by_offset.end(), std::size_t{0});
  std::sort(by_offset.begin(), by_offset.end(),
            [&](std::size_t a, std::size_t b) { return groups[a].offset < groups[b].offset; });
  for (std::size_t i = 1; i < by_offset.size(); ++i) {
    const Entry& previous = groups[by_offset[i - 1]];
    if (groups[by_offset[i]].offset < previous.offset + previous.size) {
      return damage.found(where(by_offset[i]),
                          "its item table at " + hex(base + groups[by_offset[i]].offset) +
                              " overlaps the one of group " + std::to_string(by_offset[i - 1]) +
                              " at " + hex(base + previous.offset));
    }
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const std::uint64_t end = groups[g].offset + groups[g].size;
    for (std::uint64_t at = groups[g].offset + kItemCountSize; at < end; at += kItemRecordSize) {
      const auto offset = read_le(data, at + kItemNameSize, 4);
      const auto size = read_le(data, at + kItemNameSize + 4, 2);
      if (!offset || !size) {
        return Status::archive_not_opened;  // the table was checked against data
      }
      const std::string item = where(g) + ", item " +
                               std::to_string((at - groups[g].offset) / kItemRecordSize) +
                               " at offset " + hex(base + at);
      if (*offset < base) {
        return damage.found(item, "data at " + hex(*offset) +
                                      " lies before the item tables, which start at " + hex(base));
      }
      if (!bytes_at(data, *offset - base, *size)) {
        return damage.found(item, damage.past_end(*offset, *size));
      }
      write_le(data, at + kItemNameSize, static_cast<std::uint32_t>(*offset - base), 4);
    }
  }
  return Status::ok;
}

// Checks where the first record's data (a flat entry's bytes, a group's item table)
// begins: right after the directory, inside the file. ok or archive_not_opened.
Status check_base(const std::vector<DirectoryRecord>& directory, bool two_level,
                  std::uint64_t file_size, const Damage& damage) {
  const std::uint64_t end_of_directory =
      two_level ? kTwoLevelHeaderSize + kGroupRecordSize * directory.size()
                : kFlatHeaderSize + kFlatRecordSize * directory.size();
  const std::uint64_t base = directory.front().offset;
  const std::string where = two_level
                                ? group_at(0, directory.front().name.data(), kTwoLevelHeaderSize)
                                : entry_at(0, kFlatHeaderSize);
  const std::string_view what = two_level ? "its item table" : "its data";
  if (base < end_of_directory) {
    return damage.found(where, std::string(what) + " at " + hex(base) +
                                   " lies inside the directory, which ends at " +
                                   hex(end_of_directory));
  }
  if (base > file_size) {
    return damage.found(where, damage.beyond(what, base));
  }
  return Status::ok;
}

Status read_archive(ArchiveList& list, std::shared_ptr<const MappedBytes> file, int slot,
                    Reporter& reporter) {
  const std::span<const std::byte> bytes = file->bytes();
  ArchiveRecord& record = *list.get(slot);
  const Damage damage(reporter, record.name, bytes.size());
  std::vector<DirectoryRecord> directory;
  if (const Status status = read_directory(bytes, record.two_level, damage, directory);
      status != Status::ok) {
    return status;
  }
  if (directory.empty()) {
    return Status::ok;  // an empty archive has an empty data area
  }
  if (const Status status = check_base(directory, record.two_level, bytes.size(), damage);
      status != Status::ok) {
    return status;
  }
  const std::uint64_t base = directory.front().offset;
  const std::span<const std::byte> area = *bytes_from(bytes, base);
  if (const Status status = list.reserve_entries(record, directory.size()); status != Status::ok) {
    return status;
  }
  for (std::size_t i = 0; i < directory.size(); ++i) {
    const DirectoryRecord& read = directory[i];
    const std::string where =
        record.two_level ? group_at(i, read.name.data(), kTwoLevelHeaderSize + kGroupRecordSize * i)
                         : entry_at(i, kFlatHeaderSize + kFlatRecordSize * i);
    const std::string_view what = record.two_level ? "its item table" : "its data";
    if (read.offset < base) {
      return damage.found(where, std::string(what) + " at " + hex(read.offset) +
                                     " lies before the data area, which starts at " + hex(base));
    }
    if (!bytes_at(area, read.offset - base, read.size)) {
      return damage.found(where, record.two_level ? damage.beyond(what, read.offset)
                                                  : damage.past_end(read.offset, read.size));
    }
    Entry entry;
    entry.name = read.name;
    entry.offset = read.offset - base;
    entry.size = read.size;
    record.entries.push_back(entry);
  }
  if (!record.two_level) {
    // Flat entries are used as they are in the file, so the file's bytes are kept.
    record.file_data = area;
    record.file_bytes = std::move(file);
    return Status::ok;
  }
  // Item tables are rebased in place, so a two-level archive gets bytes of its own.
  record.data.reserve(area.size());  // exactly the data area
  advise_large_buffer(record.data.data(), record.data.capacity());
  record.data.assign(area.begin(), area.end());
  return adopt_item_tables(record.entries, record.data, base, damage);
}

}  // namespace

Status read_archive_file(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot,
                         const std::string& full_path) {
  ArchiveRecord* record = list.get(slot);
  if (record == nullptr || full_path.empty()) {
    return Status::programmer_error;
  }
  record->two_level = has_fsu_extension(record->name);
  return list.guarded([&] {
    auto file = fs.map_read(full_path);
    if (!file) {
      reporter.explain(describe_failure(fs, full_path, "cannot be read"));
      return Status::archive_not_opened;
    }
    return read_archive(list, std::move(file), slot, reporter);
  });
}

}  // namespace vexal
