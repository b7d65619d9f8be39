// The directory is assembled and every link checked in memory first, so that everything
// that can be refused is refused before the file exists; entry bytes then go straight
// from the sources (mapped archive files, or the files of source folders) to the file,
// in a second walk over the links, so that no list of pieces is held. A file that could
// not be written whole is removed: an archive reported as saved is complete, since it
// may be installed into the game.
#include "archive/archive_writer.h"

#include <algorithm>
#include <optional>
#include <span>
#include <utility>

#include "archive/layout.h"
#include "base/byte_reader.h"
#include "platform/path_rules.h"

namespace vexal {
namespace {

using namespace layout;

// A run of bytes of a source's data, in file order.
using Chunk = std::span<const std::byte>;

// Refuses to write the archive, saying why.
struct Refusal {
  std::string_view archive;

  Failure operator()(const std::string& why) const {
    return {Status::archive_not_created, std::string(archive) + ": " + why};
  }
  Failure too_large() const {
    return (*this)("the archive would pass 4 GiB, beyond the offsets its layout can record");
  }
};

// The linked entry and the source holding it, or null when the link names neither.
struct Linked {
  const SourceArchive* source = nullptr;
  const Entry* entry = nullptr;
};

Linked resolve(const ArchiveList& list, const Link& link) {
  if (link.source >= list.source_count() || link.entry >= list.source(link.source).entries.size()) {
    return {};
  }
  return {&list.source(link.source), &list.linked_entry(link)};
}

// Refuses an output that links an entry of a source of the other layout: the writer
// would take a group as a flat entry, or a flat entry as a group, and write a corrupt
// archive. ok or archive_not_created.
Outcome check_layouts(const ArchiveList& list, const OutputArchive& output) {
  for (const Link& link : output.links) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr || linked.source->two_level == output.two_level) {
      continue;
    }
    const std::string entry = "the entry \"" + std::string(entry_name(*linked.entry)) +
                              "\" comes from \"" + linked.source->path + "\"";
    return Failure(
        Status::archive_not_created,
        std::string(file_name_part(output.file_path)) + ": " + entry +
            (output.two_level ? ", a flat source; a two-level archive takes only groups of a "
                                "two-level source (a .FSU archive or a folder of group folders)"
                              : ", a two-level source (a .FSU archive, or a folder that holds a "
                                "subfolder); a flat archive takes only entries of flat sources"));
  }
  return {};
}

// Takes the pieces of an output's data in file order: runs of a mapped archive file,
// and files of source folders.
class PieceSink {
 public:
  virtual ~PieceSink() = default;
  virtual Outcome add(Chunk bytes, const MappedBytes* file) = 0;
  virtual Outcome add_loose(const SourceArchive& source, const LooseFile& loose) = 0;
};

// A file of a folder source by its index, or null when there is no such file.
const LooseFile* loose_file(const SourceArchive& source, std::uint64_t index) {
  return index < source.loose_files.size() ? &source.loose_files[static_cast<std::size_t>(index)]
                                           : nullptr;
}

// The bytes at a position of a source, or nullopt when they do not all lie inside it.
std::optional<Chunk> bytes_of(const SourceArchive& source, std::uint64_t position,
                              std::uint64_t size) {
  return bytes_at(source.bytes(), position, size);
}

// The bytes of a flat entry or item of source: at position in its bytes, or its file
// number position of a folder. ok, programmer_error or archive_not_created.
Outcome emit_bytes(const SourceArchive& source, std::uint64_t position, std::uint64_t size,
                   PieceSink& sink) {
  if (!source.folder.empty()) {
    const LooseFile* file = loose_file(source, position);
    if (file == nullptr || file->size != size) {
      return Failure(Status::programmer_error);
    }
    return sink.add_loose(source, *file);
  }
  const auto bytes = bytes_of(source, position, size);
  if (!bytes) {
    return Failure(Status::archive_not_created);
  }
  return sink.add(*bytes, source.file_bytes.get());
}

// Gives the sink every piece of the output's data, in file order. ok, programmer_error,
// archive_not_created or the sink's failure.
Outcome emit_pieces(const ArchiveList& list, const OutputArchive& output, PieceSink& sink) {
  for (const Link& link : output.links) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr) {
      return Failure(Status::programmer_error);
    }
    if (!output.two_level) {
      const Entry& entry = *linked.entry;
      if (Outcome done = emit_bytes(*linked.source, entry.position, entry.size, sink); !done) {
        return done;
      }
      continue;
    }
    const auto items = group_items(*linked.source, *linked.entry);
    for (const Item& item : items.value_or(std::span<const Item>{})) {
      if (Outcome done = emit_bytes(*linked.source, item.where, item.size, sink); !done) {
        return done;
      }
    }
  }
  return {};
}

// The size of the directory of an output: everything before its first data byte.
std::uint64_t directory_size(const ArchiveList& list, const OutputArchive& output) {
  if (!output.two_level) {
    return kFlatHeaderSize + kFlatRecordSize * std::uint64_t{output.links.size()};
  }
  std::uint64_t size = kTwoLevelHeaderSize + kGroupRecordSize * std::uint64_t{output.links.size()};
  for (const Link& link : output.links) {
    const Linked linked = resolve(list, link);
    if (linked.source != nullptr) {
      size += linked.entry->size;  // the item table
    }
  }
  return size;
}

// The size of the data of an output: its entries' or items' bytes.
std::uint64_t data_size(const ArchiveList& list, const OutputArchive& output) {
  std::uint64_t size = 0;
  for (const Link& link : output.links) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr) {
      continue;
    }
    if (!output.two_level) {
      size += linked.entry->size;
      continue;
    }
    for (const Item& item :
         group_items(*linked.source, *linked.entry).value_or(std::span<const Item>{})) {
      size += item.size;
    }
  }
  return size;
}

// The flat directory. ok, programmer_error or archive_not_created.
Outcome lay_out_flat(const ArchiveList& list, const std::vector<Link>& links,
                     std::vector<std::byte>& directory, const Refusal& refuse) {
  if (links.size() > kMaxFileOffset) {
    return refuse.too_large();
  }
  std::uint64_t running = kFlatHeaderSize + kFlatRecordSize * links.size();
  append_le(directory, static_cast<std::uint32_t>(links.size()), 4);
  for (const Link& link : links) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr) {
      return Failure(Status::programmer_error);
    }
    const Entry& entry = *linked.entry;
    if (running > kMaxFileOffset || entry.size > kMaxFileOffset) {
      return refuse.too_large();
    }
    const auto* name = reinterpret_cast<const std::byte*>(entry.name.data());
    directory.insert(directory.end(), name, name + kFlatNameSize);
    append_le(directory, static_cast<std::uint32_t>(running), 4);
    append_le(directory, entry.size, 4);
    running += entry.size;
  }
  return {};
}

// Appends the group records, each pointing at its item table. The offset where the
// tables end and the data begins, or programmer_error or archive_not_created.
Expected<std::uint64_t> lay_out_groups(const ArchiveList& list, const std::vector<Link>& links,
                                       std::vector<std::byte>& directory, const Refusal& refuse) {
  std::uint64_t running = kTwoLevelHeaderSize + kGroupRecordSize * links.size();
  directory.resize(4);  // the data start, known once the tables are laid out
  append_le(directory, static_cast<std::uint32_t>(links.size()), 4);
  for (const Link& link : links) {
    const Linked linked = resolve(list, link);
    if (linked.source == nullptr) {
      return Failure(Status::programmer_error);
    }
    const auto items = group_items(*linked.source, *linked.entry);
    if (!items) {
      return refuse("the group \"" + std::string(entry_name(*linked.entry)) + "\" of \"" +
                    linked.source->path + "\" has no usable item table");
    }
    if (running > kMaxFileOffset) {
      return refuse.too_large();
    }
    const auto* name = reinterpret_cast<const std::byte*>(linked.entry->name.data());
    directory.insert(directory.end(), name, name + kGroupNameSize);
    append_le(directory, static_cast<std::uint32_t>(running), 4);
    running += item_table_size(items->size());
  }
  if (running > kMaxFileOffset) {
    return refuse.too_large();
  }
  return running;
}

// The two-level directory: group records, then the item tables. ok, programmer_error
// or archive_not_created.
Outcome lay_out_two_level(const ArchiveList& list, const std::vector<Link>& links,
                          std::vector<std::byte>& directory, const Refusal& refuse) {
  if (links.size() > kMaxFileOffset) {
    return refuse.too_large();
  }
  Expected<std::uint64_t> data_start = lay_out_groups(list, links, directory, refuse);
  if (!data_start) {
    return std::move(data_start).failure();
  }
  std::uint64_t running = *data_start;
  write_le(directory, 0, static_cast<std::uint32_t>(running), 4);
  for (const Link& link : links) {
    const Linked group = resolve(list, link);
    const std::span<const Item> items = group_items(*group.source, *group.entry).value();
    append_le(directory, static_cast<std::uint32_t>(items.size()), kItemCountSize);
    for (const Item& item : items) {
      if (running > kMaxFileOffset) {
        return refuse.too_large();
      }
      const auto* name = reinterpret_cast<const std::byte*>(item.name.data());
      directory.insert(directory.end(), name, name + kItemNameSize);
      append_le(directory, static_cast<std::uint32_t>(running), 4);
      append_le(directory, item.size, 2);
      running += item.size;
    }
  }
  return {};
}

// The file of a source folder, as loading found it, that can no longer be taken whole.
Failure source_changed(const std::string& path, std::uint64_t size) {
  return {Status::source_not_opened, path + ": can no longer be read as the " +
                                         std::to_string(size) +
                                         " bytes it had when it was loaded; build again"};
}

// A write to the output that failed. Its reason travels as the failure's one explanation
// until discard_partial words it into the archive's refusal.
Failure write_failed(const IoResult& written) {
  return {Status::archive_not_created, written.reason()};
}

// Files of source folders taken whole before the output is created.
using Held = std::vector<std::pair<const LooseFile*, std::shared_ptr<const MappedBytes>>>;

// Checks every piece before the output exists, and takes whole each file of a source
// folder that bears the output's name: it may be the output itself, which creating the
// output empties (a mod built into its own folder again). Mapped where the platform can.
class PieceCheck final : public PieceSink {
 public:
  PieceCheck(FileSystem& fs, std::string_view output) : fs_(fs), output_(file_name_part(output)) {}

  Outcome add(Chunk /*bytes*/, const MappedBytes* /*file*/) override { return {}; }
  Outcome add_loose(const SourceArchive& source, const LooseFile& loose) override {
    std::string path = source.folder + loose.name;
    if (!names_equal(file_name_part(loose.name), output_)) {
      appends.push_back({std::move(path), loose.size});
      return {};
    }
    auto bytes = fs_.map_read(path);
    if (!bytes || (*bytes)->bytes().size() != loose.size) {
      return source_changed(path, loose.size);
    }
    held.emplace_back(&loose, std::move(*bytes));
    return {};
  }

  Held held;
  std::vector<PlannedAppend> appends;  // the files the writer will copy, in order

 private:
  FileSystem& fs_;
  std::string_view output_;
};

// Writes the pieces to the file. Runs of one mapped file that follow each other go out
// as one: one system call instead of one per entry.
class PieceWriter final : public PieceSink {
 public:
  PieceWriter(FileSystem& fs, File& file, const Held& held) : fs_(fs), file_(file), held_(held) {}

  Outcome add(Chunk bytes, const MappedBytes* file) override {
    if (!bytes.empty() && !pending_.empty() && file == pending_file_ &&
        pending_.data() + pending_.size() == bytes.data()) {
      pending_ = Chunk(pending_.data(), pending_.size() + bytes.size());
      return {};
    }
    Outcome flushed = flush();
    pending_ = bytes;
    pending_file_ = file;
    return flushed;
  }
  Outcome add_loose(const SourceArchive& source, const LooseFile& loose) override;

  // Writes the run still pending. ok or archive_not_created.
  Outcome flush() {
    const Chunk run = std::exchange(pending_, Chunk{});
    if (run.empty()) {
      return {};
    }
    const IoResult written =
        pending_file_ != nullptr ? file_.write_from(*pending_file_, run) : file_.write(run);
    return written ? Outcome() : write_failed(written);
  }

 private:
  FileSystem& fs_;
  File& file_;
  const Held& held_;
  Chunk pending_;
  const MappedBytes* pending_file_ = nullptr;
};

// Copies a file of a source folder, which must still hold the bytes its listing gave.
// ok, source_not_opened or archive_not_created.
Outcome PieceWriter::add_loose(const SourceArchive& source, const LooseFile& loose) {
  if (Outcome done = flush(); !done) {
    return done;
  }
  const auto kept = std::find_if(held_.begin(), held_.end(),
                                 [&loose](const auto& held) { return held.first == &loose; });
  if (kept != held_.end()) {
    const MappedBytes& bytes = *kept->second;
    const IoResult written = file_.write_from(bytes, bytes.bytes());
    return written ? Outcome() : write_failed(written);
  }
  const std::string path = source.folder + loose.name;
  const CopyResult copy = fs_.append_file(file_, path, loose.size);
  switch (copy.end) {
    case CopyEnd::copied:
      return {};
    case CopyEnd::source_failed:
      return source_changed(path, loose.size);
    case CopyEnd::target_failed:
      break;
  }
  return write_failed(copy.target);
}

// Removes the file of a save that failed after creating it (written tells why: a write
// to it, or a source that changed), so that no incomplete archive can be installed.
Failure discard_partial(FileSystem& fs, const Refusal& refuse, Failure written,
                        const std::string& write_reason) {
  const std::string path(refuse.archive);
  const bool write_failed = written.status == Status::archive_not_created;
  const std::string cause = "could not be written completely (" +
                            (write_reason.empty() ? "is the disk full?" : write_reason) + ")";
  const IoResult removed = fs.remove(path);
  if (removed) {
    return write_failed ? refuse(cause + ", so it was removed") : written;
  }
  const std::string left = "the partial file is left at " + path + " and must be deleted (" +
                           removed.describe("removing it failed") + ")";
  if (write_failed) {
    return refuse(cause + "; " + left);
  }
  return std::move(written).because(path + ": " + left);
}

// Sorts the links by name. Links of whole sources arrive in order, and sorting costs
// more than looking.
void sort_links(const ArchiveList& list, OutputArchive& output) {
  // A link that names no entry sorts as an empty name; laying out refuses it.
  const auto name_of = [&list](const Link& link) {
    const Linked linked = resolve(list, link);
    return linked.entry != nullptr ? entry_name(*linked.entry) : std::string_view();
  };
  const auto by_name = [&name_of](const Link& a, const Link& b) {
    return compare_names(name_of(a), name_of(b)) < 0;
  };
  output.index.clear();  // positions change; saving needs no more lookups
  if (!std::is_sorted(output.links.begin(), output.links.end(), by_name)) {
    std::stable_sort(output.links.begin(), output.links.end(), by_name);
  }
}

// An output ready to be written: its directory, and the files it may overwrite held.
struct LaidOut {
  std::vector<std::byte> directory;
  Held held;
  std::vector<PlannedAppend> appends;
};

// The directory of the output, every piece checked. Fails with programmer_error,
// source_not_opened or archive_not_created.
Expected<LaidOut> lay_out(const ArchiveList& list, FileSystem& fs, const OutputArchive& output,
                          const Refusal& refuse) {
  LaidOut laid_out;
  laid_out.directory.reserve(static_cast<std::size_t>(
      std::min<std::uint64_t>(directory_size(list, output), kMaxFileOffset)));
  Outcome directory = output.two_level
                          ? lay_out_two_level(list, output.links, laid_out.directory, refuse)
                          : lay_out_flat(list, output.links, laid_out.directory, refuse);
  if (!directory) {
    return std::move(directory).failure();
  }
  PieceCheck check(fs, output.file_path);
  if (Outcome checked = emit_pieces(list, output, check); !checked) {
    return std::move(checked).failure();
  }
  laid_out.held = std::move(check.held);
  laid_out.appends = std::move(check.appends);
  return laid_out;
}

// Fails with source_not_opened or archive_not_created.
Outcome write_file(const ArchiveList& list, FileSystem& fs, File& file, const OutputArchive& output,
                   std::span<const std::byte> directory, const Held& held) {
  if (const IoResult written = file.write(directory); !written) {
    return write_failed(written);
  }
  PieceWriter writer(fs, file, held);
  if (Outcome written = emit_pieces(list, output, writer); !written) {
    return written;
  }
  return writer.flush();
}

// Writes the laid-out output into a new file, removed again when it cannot be written
// whole.
Outcome create_file(const ArchiveList& list, FileSystem& fs, const OutputArchive& output,
                    const Refusal& refuse, LaidOut& laid_out) {
  const std::span<const std::byte> directory = laid_out.directory;
  const Held& held = laid_out.held;
  const OpenedFile opened = fs.open_write(output.file_path);
  if (!opened) {
    return Failure(Status::archive_not_created,
                   opened.describe(output.file_path, "cannot be created"));
  }
  File& file = **opened;
  file.expect_size(directory.size() + data_size(list, output));
  fs.expect_appends(std::move(laid_out.appends));
  Outcome written = write_file(list, fs, file, output, directory, held);
  const IoResult closed = file.close();
  if (written && !closed) {
    written = write_failed(closed);
  }
  if (written) {
    return {};
  }
  // The reason of the last write that failed: the close's, when it gives one.
  const std::vector<std::string>& carried = written.failure().explanations;
  const std::string reason = !closed.reason().empty() ? closed.reason()
                             : written.status() == Status::archive_not_created && !carried.empty()
                                 ? carried.front()
                                 : std::string();
  return discard_partial(fs, refuse, std::move(written).failure(), reason);
}

}  // namespace

Outcome save_archive(const ArchiveList& list, FileSystem& fs, OutputArchive& output) {
  sort_links(list, output);
  if (Outcome checked = check_layouts(list, output); !checked) {
    return checked;
  }
  const Refusal refuse{output.file_path};
  Expected<LaidOut> laid_out = lay_out(list, fs, output, refuse);
  if (!laid_out) {
    return std::move(laid_out).failure();
  }
  return create_file(list, fs, output, refuse, *laid_out);
}

}  // namespace vexal
