// Reading an archive file into a source record. Every count, offset and size read from
// the file is checked against the file before it is used, so a damaged or foreign file
// is rejected instead of being read past its buffers.
#include <algorithm>
#include <cstring>
#include <new>
#include <span>
#include <stdexcept>

#include "fs/archive_io.h"

#include "driver/error.h"
#include "fs/byte_order.h"
#include "platform/memory.h"

namespace vexal {
namespace {

using namespace fs_detail;

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

struct Directory {
  std::uint64_t end = 0;  // file offset just past the directory records
  std::vector<DirectoryRecord> records;
};

// Reads the header and the directory records of either layout. 0 or 403.
int read_directory(std::span<const std::byte> file, bool two_level, Directory& directory) {
  const std::size_t header_size = two_level ? 8 : 4;
  const std::size_t record_size = two_level ? kGroupRecordSize : kFlatRecordSize;
  if (file.size() < header_size) {
    return kArchiveNotOpened;
  }
  // The two-level data start field is derived from the tables and not needed.
  const std::uint64_t count = read_le(file, header_size - 4, 4);
  directory.end = header_size + count * record_size;
  if (directory.end > file.size()) {
    return kArchiveNotOpened;
  }
  const std::span<const std::byte> raw =
      file.subspan(header_size, static_cast<std::size_t>(count * record_size));
  directory.records.resize(static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < directory.records.size(); ++i) {
    const std::size_t at = i * record_size;
    DirectoryRecord& record = directory.records[i];
    if (two_level) {
      std::memcpy(record.name.data(), raw.data() + at, kGroupNameSize);
      record.offset = read_le(raw, at + kGroupNameSize, 4);
    } else {
      std::memcpy(record.name.data(), raw.data() + at, kFlatNameSize);
      if (std::memchr(record.name.data(), '\0', kFlatNameSize) == nullptr) {
        return kArchiveNotOpened;
      }
      record.offset = read_le(raw, at + kFlatNameSize, 4);
      record.size = read_le(raw, at + kFlatNameSize + 4, 4);
    }
  }
  return 0;
}

// Completes the groups from their item tables in data: checks every table and item
// against the buffer and makes item data offsets relative to data. 0 or 403.
int adopt_item_tables(std::vector<Entry>& groups, std::vector<std::byte>& data,
                      std::uint64_t base) {
  const std::uint64_t length = data.size();
  for (Entry& group : groups) {
    if (group.offset + kItemCountSize > length) {
      return kArchiveNotOpened;
    }
    const std::uint64_t items = read_le(data, static_cast<std::size_t>(group.offset), 2);
    group.size = item_table_size(items);
    if (group.offset + group.size > length) {
      return kArchiveNotOpened;
    }
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
      return kArchiveNotOpened;
    }
  }
  for (const Entry& group : groups) {
    const std::uint64_t items = (group.size - kItemCountSize) / kItemRecordSize;
    for (std::uint64_t j = 0; j < items; ++j) {
      const auto record = static_cast<std::size_t>(group.offset + item_table_size(j));
      const std::uint64_t offset = read_le(data, record + kItemNameSize, 4);
      const std::uint64_t size = read_le(data, record + kItemNameSize + 4, 2);
      if (offset < base || offset - base + size > length) {
        return kArchiveNotOpened;
      }
      write_le(data, record + kItemNameSize, static_cast<std::uint32_t>(offset - base), 4);
    }
  }
  return 0;
}

int read_archive(ArchiveList& list, std::shared_ptr<const MappedBytes> file, int slot) {
  const std::span<const std::byte> bytes = file->bytes();
  ArchiveRecord& record = *list.fs_get_archive(slot);
  Directory directory;
  if (const int code = read_directory(bytes, record.two_level, directory); code != 0) {
    return code;
  }
  if (directory.records.empty()) {
    return 0;  // an empty archive has an empty data area
  }
  const std::uint64_t base = directory.records.front().offset;
  if (base < directory.end || base > bytes.size()) {
    return kArchiveNotOpened;
  }
  const std::span<const std::byte> area = bytes.subspan(static_cast<std::size_t>(base));
  if (const int code = list.fs_reserve_entries(record, directory.records.size()); code != 0) {
    return code;
  }
  for (const DirectoryRecord& read : directory.records) {
    if (read.offset < base || read.offset - base + read.size > area.size()) {
      return kArchiveNotOpened;
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
    return 0;
  }
  // Item tables are rebased in place, so a two-level archive gets bytes of its own.
  record.data.reserve(area.size());  // exactly the data area
  advise_large_buffer(record.data.data(), record.data.capacity());
  record.data.assign(area.begin(), area.end());
  return adopt_item_tables(record.entries, record.data, base);
}

}  // namespace

int fs_load_archive_file(ArchiveList& list, FileSystem& fs, int slot,
                         const std::string& full_path) {
  ArchiveRecord* record = list.fs_get_archive(slot);
  if (record == nullptr || full_path.empty()) {
    return 2;
  }
  record->two_level = has_fsu_extension(record->name);
  int code = kArchiveNotOpened;
  try {
    if (auto file = fs.map_read(full_path)) {
      code = read_archive(list, std::move(file), slot);
    }
  } catch (const std::bad_alloc&) {
    code = 3;
  }
  if (code != 0) {
    list.fs_free_all();
  }
  return code;
}

}  // namespace vexal
