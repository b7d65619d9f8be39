// The directory structures are assembled and checked in memory first, so that everything that can
// be refused is refused before the file exists; entry bytes then go straight from the source
// buffers, or from the files of source folders, to the file. A file that could not be written
// whole is removed: an archive reported as saved is complete, since it may be installed into the
// game.
#include "archive/archive_writer.h"

#include <algorithm>
#include <new>
#include <optional>
#include <span>

#include "archive/layout.h"
#include "base/byte_reader.h"
#include "platform/path_rules.h"

namespace vexal {
namespace {

using namespace layout;

// A run of bytes of a source's data, in file order.
using Chunk = std::span<const std::byte>;

// A chunk and the archive file it lies in (null for bytes held in memory), which lets
// the file system copy it without passing it through this process; or a file of a source
// folder, copied from disk.
struct Piece {
  Chunk bytes;
  const MappedBytes* file = nullptr;
  const ArchiveRecord* folder_source = nullptr;
  const LooseFile* loose = nullptr;
};

struct Layout {
  std::vector<std::byte> directory;  // everything before the first data byte
  std::vector<Piece> chunks;
  std::uint64_t file_size = 0;
  // Files of source folders read before the output is created, see keep_own_output.
  std::vector<std::shared_ptr<const MappedBytes>> held;

  void add_loose(const ArchiveRecord& source, const LooseFile& loose) {
    chunks.push_back({{}, nullptr, &source, &loose});
  }

  // Entries that follow each other in their source become one piece: one system call
  // instead of one per entry.
  void add(Chunk bytes, const MappedBytes* file) {
    if (!chunks.empty() && chunks.back().loose == nullptr && chunks.back().file == file &&
        !bytes.empty() && chunks.back().bytes.data() + chunks.back().bytes.size() == bytes.data()) {
      chunks.back().bytes =
          Chunk(chunks.back().bytes.data(), chunks.back().bytes.size() + bytes.size());
      return;
    }
    chunks.push_back({bytes, file});
  }
};

// Refuses to write the archive, explaining why to the reporter.
struct Refusal {
  Reporter& reporter;
  std::string_view archive;

  Status operator()(const std::string& why) const {
    reporter.explain(std::string(archive) + ": " + why);
    return Status::archive_not_created;
  }
  Status too_large() const {
    return (*this)("the archive would pass 4 GiB, beyond the offsets its layout can record");
  }
};

// The linked entry and the source holding it, or null when the link is broken.
struct Linked {
  const ArchiveRecord* source = nullptr;
  const Entry* entry = nullptr;
};

Linked resolve(const ArchiveList& list, const Entry& link) {
  const ArchiveRecord* source = list.get(link.source_archive);
  if (source == nullptr || link.source_entry < 0 ||
      static_cast<std::size_t>(link.source_entry) >= source->entries.size()) {
    return {};
  }
  return {source, &source->entries[static_cast<std::size_t>(link.source_entry)]};
}

// Refuses an output that links an entry of a source of the other layout: the writer
// would take a group's item table as a flat entry's bytes, or a flat entry as an item
// table, and write a corrupt archive. ok or archive_not_created.
Status check_layouts(const ArchiveList& list, const ArchiveRecord& output, Reporter& reporter) {
  for (const Entry& link : output.entries) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr || linked.source->two_level == output.two_level) {
      continue;
    }
    const std::string entry = "the entry \"" + std::string(entry_name(*linked.entry)) +
                              "\" comes from \"" + linked.source->name + "\"";
    reporter.explain(std::string(file_name_part(output.name)) + ": " + entry +
                     (output.two_level
                          ? ", a flat source; a two-level archive takes only groups of a "
                            "two-level source (a .FSU archive or a folder of group folders)"
                          : ", a two-level source (a .FSU archive, or a folder that holds a "
                            "subfolder); a flat archive takes only entries of flat sources"));
    return Status::archive_not_created;
  }
  return Status::ok;
}

// The file of a folder source's flat entry or item (index within its group, 0 for a flat
// entry), or null when the entry holds no such index.
const LooseFile* loose_file(const Linked& linked, std::size_t item) {
  const std::vector<LooseFile>& files = linked.source->loose_files;
  const std::uint64_t index = std::uint64_t{linked.entry->loose_file} + item;
  return index < files.size() ? &files[static_cast<std::size_t>(index)] : nullptr;
}

// The bytes of a source at an offset, or nullopt when they do not all lie inside it.
std::optional<Chunk> bytes_of(const ArchiveRecord& source, std::uint64_t offset,
                              std::uint64_t size) {
  return bytes_at(source.bytes(), offset, size);
}

// The bytes of a linked flat entry (or of a group's item table) as the next piece. ok,
// programmer_error or archive_not_created.
Status add_entry_bytes(const Linked& linked, Layout& layout) {
  const ArchiveRecord& source = *linked.source;
  const Entry& entry = *linked.entry;
  if (!source.folder.empty() && !source.two_level) {
    const LooseFile* file = loose_file(linked, 0);
    if (file == nullptr || file->size != entry.size) {
      return Status::programmer_error;
    }
    layout.add_loose(source, *file);
    return Status::ok;
  }
  const auto bytes = bytes_of(source, entry.offset, entry.size);
  if (!bytes) {
    return Status::archive_not_created;
  }
  layout.add(*bytes, source.file_bytes.get());
  return Status::ok;
}

// ok, programmer_error or archive_not_created.
Status lay_out_flat(const ArchiveList& list, const std::vector<Entry>& links, Layout& layout,
                    const Refusal& refuse) {
  if (links.size() > kMaxFileOffset) {
    return refuse.too_large();
  }
  std::uint64_t running = kFlatHeaderSize + kFlatRecordSize * links.size();
  append_le(layout.directory, static_cast<std::uint32_t>(links.size()), 4);
  for (const Entry& link : links) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr) {
      return Status::programmer_error;
    }
    const Entry& entry = *linked.entry;
    if (running > kMaxFileOffset || entry.size > kMaxFileOffset) {
      return refuse.too_large();
    }
    layout.directory.insert(layout.directory.end(),
                            reinterpret_cast<const std::byte*>(entry.name.data()),
                            reinterpret_cast<const std::byte*>(entry.name.data()) + kFlatNameSize);
    append_le(layout.directory, static_cast<std::uint32_t>(running), 4);
    append_le(layout.directory, static_cast<std::uint32_t>(entry.size), 4);
    if (const Status status = add_entry_bytes(linked, layout); status != Status::ok) {
      return status;
    }
    running += entry.size;
  }
  layout.file_size = running;
  return Status::ok;
}

// Where the record of an item lies in its group's table.
constexpr std::size_t item_record(std::size_t item) {
  return kItemCountSize + kItemRecordSize * item;
}

// The item table of a linked group, checked against its source. Empty when unusable.
Chunk item_table(const Linked& linked) {
  const ArchiveRecord& source = *linked.source;
  const Entry& group = *linked.entry;
  const auto items = read_le(source.bytes(), group.offset, kItemCountSize);
  if (!source.two_level || !items || group.size != item_table_size(*items)) {
    return {};
  }
  return bytes_of(source, group.offset, group.size).value_or(Chunk{});
}

// The bytes of item number `item` of a linked group with the given item table, as the
// next piece. ok, programmer_error or archive_not_created.
Status add_item_bytes(const Linked& group, Chunk table, std::size_t item, std::uint64_t size,
                      Layout& layout) {
  const ArchiveRecord& source = *group.source;
  if (!source.folder.empty()) {
    const LooseFile* file = loose_file(group, item);
    if (file == nullptr || file->size != size) {
      return Status::programmer_error;
    }
    layout.add_loose(source, *file);
    return Status::ok;
  }
  const auto offset = read_le(table, item_record(item) + kItemNameSize, 4);
  const auto bytes = offset ? bytes_of(source, *offset, size) : std::nullopt;
  if (!bytes) {
    return Status::archive_not_created;
  }
  layout.add(*bytes, source.file_bytes.get());
  return Status::ok;
}

// ok, programmer_error or archive_not_created.
Status lay_out_two_level(const ArchiveList& list, const std::vector<Entry>& links, Layout& layout,
                         const Refusal& refuse) {
  if (links.size() > kMaxFileOffset) {
    return refuse.too_large();
  }
  std::vector<Linked> groups;
  std::vector<Chunk> tables;
  std::uint64_t running = kTwoLevelHeaderSize + kGroupRecordSize * links.size();
  layout.directory.resize(4);  // the data start, known once the tables are laid out
  append_le(layout.directory, static_cast<std::uint32_t>(links.size()), 4);
  for (const Entry& link : links) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr) {
      return Status::programmer_error;
    }
    const Chunk table = item_table(linked);
    if (table.empty()) {
      return refuse("the group \"" + std::string(entry_name(*linked.entry)) + "\" of \"" +
                    linked.source->name + "\" has no usable item table");
    }
    if (running > kMaxFileOffset) {
      return refuse.too_large();
    }
    const auto* name = reinterpret_cast<const std::byte*>(linked.entry->name.data());
    layout.directory.insert(layout.directory.end(), name, name + kGroupNameSize);
    append_le(layout.directory, static_cast<std::uint32_t>(running), 4);
    running += table.size();
    groups.push_back(linked);
    tables.push_back(table);
  }
  if (running > kMaxFileOffset) {
    return refuse.too_large();
  }
  write_le(layout.directory, 0, static_cast<std::uint32_t>(running), 4);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const Chunk table = tables[g];
    layout.directory.insert(layout.directory.end(), table.begin(), table.begin() + kItemCountSize);
    for (std::size_t item = 0; item_record(item) < table.size(); ++item) {
      const std::size_t at = item_record(item);
      const auto name = bytes_at(table, at, kItemNameSize);
      const auto size = read_le(table, at + kItemNameSize + 4, 2);
      if (!name || !size) {
        return Status::archive_not_created;  // loaded item tables were checked
      }
      if (running > kMaxFileOffset) {
        return refuse.too_large();
      }
      layout.directory.insert(layout.directory.end(), name->begin(), name->end());
      append_le(layout.directory, static_cast<std::uint32_t>(running), 4);
      append_le(layout.directory, *size, 2);
      if (const Status status = add_item_bytes(groups[g], table, item, *size, layout);
          status != Status::ok) {
        return status;
      }
      running += *size;
    }
  }
  layout.file_size = running;
  return Status::ok;
}

// The file of a source folder, as loading found it, that can no longer be taken whole.
Status source_changed(Reporter& reporter, const std::string& path, std::uint64_t size) {
  reporter.explain(path + ": can no longer be read as the " + std::to_string(size) +
                   " bytes it had when it was loaded; build again");
  return Status::source_not_opened;
}

// Copies a file of a source folder, which must still hold the bytes its listing gave.
// ok, source_not_opened or archive_not_created.
Status copy_loose_file(FileSystem& fs, Reporter& reporter, File& file, const Piece& piece) {
  const std::string path = piece.folder_source->folder + piece.loose->name;
  switch (fs.append_file(file, path, piece.loose->size)) {
    case CopyResult::copied:
      return Status::ok;
    case CopyResult::source_failed:
      return source_changed(reporter, path, piece.loose->size);
    case CopyResult::target_failed:
      break;
  }
  return Status::archive_not_created;
}

// ok, source_not_opened or archive_not_created.
Status write_file(FileSystem& fs, Reporter& reporter, File& file, const Layout& layout) {
  if (!file.write(layout.directory)) {
    return Status::archive_not_created;
  }
  for (const Piece& piece : layout.chunks) {
    if (piece.loose != nullptr) {
      if (const Status status = copy_loose_file(fs, reporter, file, piece); status != Status::ok) {
        return status;
      }
    } else if (!piece.bytes.empty() &&
               !(piece.file != nullptr ? file.write_from(*piece.file, piece.bytes)
                                       : file.write(piece.bytes))) {
      return Status::archive_not_created;
    }
  }
  return Status::ok;
}

// A file of a source folder that bears the output's name may be the output itself, which
// creating the output empties (a mod built into its own folder again): such files are
// taken whole before, mapped where the platform can. ok or source_not_opened.
Status keep_own_output(FileSystem& fs, Reporter& reporter, const std::string& output,
                       Layout& layout) {
  for (Piece& piece : layout.chunks) {
    if (piece.loose == nullptr ||
        !names_equal(file_name_part(piece.loose->name), file_name_part(output))) {
      continue;
    }
    const std::string path = piece.folder_source->folder + piece.loose->name;
    auto bytes = fs.map_read(path);
    if (!bytes || bytes->bytes().size() != piece.loose->size) {
      return source_changed(reporter, path, piece.loose->size);
    }
    piece = {bytes->bytes(), bytes.get()};
    layout.held.push_back(std::move(bytes));
  }
  return Status::ok;
}

// Removes the file of a save that failed after creating it (written tells why: a write
// to it, or a source that changed), so that no incomplete archive can be installed.
Status discard_partial(FileSystem& fs, const Refusal& refuse, Status written,
                       const std::string& write_reason) {
  const std::string path(refuse.archive);
  const std::string cause = "could not be written completely (" +
                            (write_reason.empty() ? "is the disk full?" : write_reason) + ")";
  if (fs.remove(path)) {
    return written == Status::archive_not_created ? refuse(cause + ", so it was removed") : written;
  }
  const std::string left = "the partial file is left at " + path + " and must be deleted (" +
                           describe_failure(fs, "removing it failed") + ")";
  const Status explained =
      refuse(written == Status::archive_not_created ? cause + "; " + left : left);
  return written == Status::archive_not_created ? explained : written;
}

}  // namespace

Status save_archive(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot) {
  ArchiveRecord* record = list.get(slot);
  if (record == nullptr) {
    return Status::programmer_error;
  }
  const auto by_name = [](const Entry& a, const Entry& b) {
    return compare_names(entry_name(a), entry_name(b)) < 0;
  };
  // Links of whole sources arrive in order, and sorting costs more than looking.
  if (!std::is_sorted(record->entries.begin(), record->entries.end(), by_name)) {
    std::stable_sort(record->entries.begin(), record->entries.end(), by_name);
    record->entry_index.clear();  // positions changed
  }
  if (const Status status = check_layouts(list, *record, reporter); status != Status::ok) {
    return status;
  }
  Layout layout;
  const Refusal refuse{reporter, record->name};
  try {
    const Status status = record->two_level
                              ? lay_out_two_level(list, record->entries, layout, refuse)
                              : lay_out_flat(list, record->entries, layout, refuse);
    if (status != Status::ok) {
      return status;
    }
    if (const Status status = keep_own_output(fs, reporter, record->name, layout);
        status != Status::ok) {
      return status;
    }
  } catch (const std::bad_alloc&) {
    return refuse("not enough memory for its directory");
  }
  const std::unique_ptr<File> file = fs.open_write(record->name);
  if (!file) {
    reporter.explain(describe_failure(fs, record->name, "cannot be created"));
    return Status::archive_not_created;
  }
  file->expect_size(layout.file_size);
  Status written = Status::archive_not_created;
  try {
    written = write_file(fs, reporter, *file, layout);
  } catch (const std::bad_alloc&) {
    written = Status::archive_not_created;
  }
  if (!file->close() && written == Status::ok) {
    written = Status::archive_not_created;
  }
  if (written == Status::ok) {
    return Status::ok;
  }
  return discard_partial(fs, refuse, written, file->failure_reason());
}

}  // namespace vexal
