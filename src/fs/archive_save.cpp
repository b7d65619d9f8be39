// Writing an output record as an archive file. The directory structures are assembled
// and checked in memory first, so that everything that can be refused is refused before
// the file exists; entry bytes then go straight from the source buffers to the file.
// A file that could not be written whole is removed: an archive reported as saved is
// complete, since it may be installed into the game.
#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "fs/archive_io.h"

#include "driver/error.h"
#include "fs/byte_order.h"

namespace vexal {
namespace {

using namespace fs_detail;

// A run of bytes of a source's data, in file order.
using Chunk = std::span<const std::byte>;

// A chunk and the archive file it lies in (null for bytes held in memory), which lets
// the file system copy it without passing it through this process.
struct Piece {
  Chunk bytes;
  const MappedBytes* file = nullptr;
};

struct Layout {
  std::vector<std::byte> directory;  // everything before the first data byte
  std::vector<Piece> chunks;

  // Entries that follow each other in their source become one piece: one system call
  // instead of one per entry.
  void add(Chunk bytes, const MappedBytes* file) {
    if (!chunks.empty() && chunks.back().file == file && !bytes.empty() &&
        chunks.back().bytes.data() + chunks.back().bytes.size() == bytes.data()) {
      chunks.back().bytes =
          Chunk(chunks.back().bytes.data(), chunks.back().bytes.size() + bytes.size());
      return;
    }
    chunks.push_back({bytes, file});
  }
};

// The linked entry and the source holding it, or null when the link is broken.
struct Linked {
  const ArchiveRecord* source = nullptr;
  const Entry* entry = nullptr;
};

Linked resolve(const ArchiveList& list, const Entry& link) {
  const ArchiveRecord* source = list.fs_get_archive(link.source_archive);
  if (source == nullptr || link.source_entry < 0 ||
      static_cast<std::size_t>(link.source_entry) >= source->entries.size()) {
    return {};
  }
  return {source, &source->entries[static_cast<std::size_t>(link.source_entry)]};
}

bool within(const ArchiveRecord& source, std::uint64_t offset, std::uint64_t size) {
  const std::size_t length = source.bytes().size();
  return offset <= length && size <= length - offset;
}

Chunk bytes_of(const ArchiveRecord& source, std::uint64_t offset, std::uint64_t size) {
  return source.bytes().subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
}

// 0, 2 or 401.
int lay_out_flat(const ArchiveList& list, const std::vector<Entry>& links, Layout& layout) {
  if (links.size() > kMaxFileOffset) {
    return kArchiveNotCreated;
  }
  std::uint64_t running = 4 + kFlatRecordSize * links.size();
  append_le(layout.directory, static_cast<std::uint32_t>(links.size()), 4);
  for (const Entry& link : links) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr) {
      return 2;
    }
    const Entry& entry = *linked.entry;
    if (!within(*linked.source, entry.offset, entry.size) || running > kMaxFileOffset ||
        entry.size > kMaxFileOffset) {
      return kArchiveNotCreated;
    }
    layout.directory.insert(layout.directory.end(),
                            reinterpret_cast<const std::byte*>(entry.name.data()),
                            reinterpret_cast<const std::byte*>(entry.name.data()) + kFlatNameSize);
    append_le(layout.directory, static_cast<std::uint32_t>(running), 4);
    append_le(layout.directory, static_cast<std::uint32_t>(entry.size), 4);
    layout.add(bytes_of(*linked.source, entry.offset, entry.size), linked.source->file_bytes.get());
    running += entry.size;
  }
  return 0;
}

// The item table of a linked group, checked against its source. Empty when unusable.
Chunk item_table(const Linked& linked) {
  const ArchiveRecord& source = *linked.source;
  const Entry& group = *linked.entry;
  if (!source.two_level || !within(source, group.offset, kItemCountSize)) {
    return {};
  }
  const std::uint64_t items = read_le(source.bytes(), static_cast<std::size_t>(group.offset), 2);
  if (group.size != item_table_size(items) || !within(source, group.offset, group.size)) {
    return {};
  }
  return bytes_of(source, group.offset, group.size);
}

// 0, 2 or 401.
int lay_out_two_level(const ArchiveList& list, const std::vector<Entry>& links, Layout& layout) {
  if (links.size() > kMaxFileOffset) {
    return kArchiveNotCreated;
  }
  std::vector<Linked> groups;
  std::vector<Chunk> tables;
  std::uint64_t running = 8 + kGroupRecordSize * links.size();
  layout.directory.resize(4);  // the data start, known once the tables are laid out
  append_le(layout.directory, static_cast<std::uint32_t>(links.size()), 4);
  for (const Entry& link : links) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr) {
      return 2;
    }
    const Chunk table = item_table(linked);
    if (table.empty() || running > kMaxFileOffset) {
      return kArchiveNotCreated;  // a flat entry is no item table
    }
    const auto* name = reinterpret_cast<const std::byte*>(linked.entry->name.data());
    layout.directory.insert(layout.directory.end(), name, name + kGroupNameSize);
    append_le(layout.directory, static_cast<std::uint32_t>(running), 4);
    running += table.size();
    groups.push_back(linked);
    tables.push_back(table);
  }
  if (running > kMaxFileOffset) {
    return kArchiveNotCreated;
  }
  write_le(layout.directory, 0, static_cast<std::uint32_t>(running), 4);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const Chunk table = tables[g];
    layout.directory.insert(layout.directory.end(), table.begin(), table.begin() + kItemCountSize);
    for (std::size_t at = kItemCountSize; at < table.size(); at += kItemRecordSize) {
      const std::uint64_t offset = read_le(table, at + kItemNameSize, 4);
      const std::uint64_t size = read_le(table, at + kItemNameSize + 4, 2);
      if (!within(*groups[g].source, offset, size) || running > kMaxFileOffset) {
        return kArchiveNotCreated;
      }
      layout.directory.insert(layout.directory.end(),
                              table.begin() + static_cast<std::ptrdiff_t>(at),
                              table.begin() + static_cast<std::ptrdiff_t>(at + kItemNameSize));
      append_le(layout.directory, static_cast<std::uint32_t>(running), 4);
      append_le(layout.directory, static_cast<std::uint32_t>(size), 2);
      layout.add(bytes_of(*groups[g].source, offset, size), groups[g].source->file_bytes.get());
      running += size;
    }
  }
  return 0;
}

bool write_file(File& file, const Layout& layout) {
  if (!file.write(layout.directory)) {
    return false;
  }
  return std::all_of(layout.chunks.begin(), layout.chunks.end(), [&](const Piece& piece) {
    if (piece.bytes.empty()) {
      return true;
    }
    return piece.file != nullptr ? file.write_from(*piece.file, piece.bytes)
                                 : file.write(piece.bytes);
  });
}

}  // namespace

int fs_save_archive(ArchiveList& list, FileSystem& fs, int slot) {
  ArchiveRecord* record = list.fs_get_archive(slot);
  if (record == nullptr) {
    return 2;
  }
  std::stable_sort(record->entries.begin(), record->entries.end(),
                   [](const Entry& a, const Entry& b) {
                     return compare_names(entry_name(a), entry_name(b)) < 0;
                   });
  record->entry_index.clear();  // positions changed
  Layout layout;
  try {
    const int code = record->two_level ? lay_out_two_level(list, record->entries, layout)
                                       : lay_out_flat(list, record->entries, layout);
    if (code != 0) {
      return code;
    }
  } catch (const std::bad_alloc&) {
    return kArchiveNotCreated;
  }
  const std::unique_ptr<File> file = fs.open_write(record->name);
  if (!file) {
    return kArchiveNotCreated;
  }
  const bool written = write_file(*file, layout);
  if (!file->close() || !written) {
    fs.remove(record->name);
    return kArchiveNotCreated;
  }
  return 0;
}

}  // namespace vexal
