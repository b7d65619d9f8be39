#include "fs/archive_reader.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "base/byte_reader.h"
#include "fs/layout.h"
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

std::optional<DirectoryRecord> read_flat_record(ByteReader& reader) {
  DirectoryRecord record;
  const auto name = reader.bytes(kFlatNameSize);
  const auto offset = reader.u32();
  const auto size = reader.u32();
  if (!name || !offset || !size) {
    return std::nullopt;
  }
  std::memcpy(record.name.data(), name->data(), kFlatNameSize);
  if (std::memchr(record.name.data(), '\0', kFlatNameSize) == nullptr) {
    return std::nullopt;  // a name must end inside its field
  }
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
Status read_directory(std::span<const std::byte> file, bool two_level,
                      std::vector<DirectoryRecord>& records) {
  ByteReader reader(file);
  // The two-level data start field follows from the tables and is not needed.
  if (two_level && !reader.bytes(4)) {
    return Status::archive_not_opened;
  }
  const auto count = reader.u32();
  const std::size_t record_size = two_level ? kGroupRecordSize : kFlatRecordSize;
  if (!count || *count > reader.remaining() / record_size) {
    return Status::archive_not_opened;
  }
  records.reserve(*count);
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto record = two_level ? read_group_record(reader) : read_flat_record(reader);
    if (!record) {
      return Status::archive_not_opened;
    }
    records.push_back(*record);
  }
  return Status::ok;
}

// Completes the groups from their item tables in data: checks every table and item
// against the buffer and makes item data offsets relative to data. ok or
// archive_not_opened.
Status adopt_item_tables(std::vector<Entry>& groups, std::vector<std::byte>& data,
                         std::uint64_t base) {
  for (Entry& group : groups) {
    const auto items = read_le(data, group.offset, kItemCountSize);
    if (!items || !bytes_at(data, group.offset, item_table_size(*items))) {
      return Status::archive_not_opened;
    }
    group.size = item_table_size(*items);
  }
  // Each table is rebased in place once; tables that share bytes would be rebased twice.
  std::vector<const Entry*> by_offset;
  by_offset.reserve(groups.size());
  for (const Entry& group : groups) {
    by_offset.push_back(&group);
  }
  std::sort(by_offset.begin(), by_offset.end(),
            [](const Entry* a, const Entry* b) { return a->offset < b->offset; });
  for (std::size_t i = 1; i < by_offset.size(); ++i) {
    if (by_offset[i]->offset < by_offset[i - 1]->offset + by_offset[i - 1]->size) {
      return Status::archive_not_opened;
    }
  }
  for (const Entry& group : groups) {
    const std::uint64_t end = group.offset + group.size;
    for (std::uint64_t at = group.offset + kItemCountSize; at < end; at += kItemRecordSize) {
      const auto offset = read_le(data, at + kItemNameSize, 4);
      const auto size = read_le(data, at + kItemNameSize + 4, 2);
      if (!offset || !size || *offset < base || !bytes_at(data, *offset - base, *size) ||
          !write_le(data, at + kItemNameSize, static_cast<std::uint32_t>(*offset - base), 4)) {
        return Status::archive_not_opened;
      }
    }
  }
  return Status::ok;
}

Status read_archive(ArchiveList& list, std::shared_ptr<const MappedBytes> file, int slot) {
  const std::span<const std::byte> bytes = file->bytes();
  ArchiveRecord& record = *list.get(slot);
  std::vector<DirectoryRecord> directory;
  if (const Status status = read_directory(bytes, record.two_level, directory);
      status != Status::ok) {
    return status;
  }
  if (directory.empty()) {
    return Status::ok;  // an empty archive has an empty data area
  }
  const std::uint64_t end_of_directory =
      record.two_level ? kTwoLevelHeaderSize + kGroupRecordSize * directory.size()
                       : kFlatHeaderSize + kFlatRecordSize * directory.size();
  const std::uint64_t base = directory.front().offset;
  const auto area = bytes_from(bytes, base);
  if (base < end_of_directory || !area) {
    return Status::archive_not_opened;
  }
  if (const Status status = list.reserve_entries(record, directory.size()); status != Status::ok) {
    return status;
  }
  for (const DirectoryRecord& read : directory) {
    if (read.offset < base || !bytes_at(*area, read.offset - base, read.size)) {
      return Status::archive_not_opened;
    }
    Entry entry;
    entry.name = read.name;
    entry.offset = read.offset - base;
    entry.size = read.size;
    record.entries.push_back(entry);
  }
  if (!record.two_level) {
    // Flat entries are used as they are in the file, so the file's bytes are kept.
    record.file_data = *area;
    record.file_bytes = std::move(file);
    return Status::ok;
  }
  // Item tables are rebased in place, so a two-level archive gets bytes of its own.
  record.data.reserve(area->size());  // exactly the data area
  advise_large_buffer(record.data.data(), record.data.capacity());
  record.data.assign(area->begin(), area->end());
  return adopt_item_tables(record.entries, record.data, base);
}

}  // namespace

Status read_archive_file(ArchiveList& list, FileSystem& fs, int slot,
                         const std::string& full_path) {
  ArchiveRecord* record = list.get(slot);
  if (record == nullptr || full_path.empty()) {
    return Status::programmer_error;
  }
  record->two_level = has_fsu_extension(record->name);
  return list.guarded([&] {
    auto file = fs.map_read(full_path);
    return file ? read_archive(list, std::move(file), slot) : Status::archive_not_opened;
  });
}

}  // namespace vexal
