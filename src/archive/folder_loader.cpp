#include "archive/folder_loader.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

#include "archive/layout.h"
#include "base/byte_reader.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"

namespace vexal {
namespace {

using namespace layout;

constexpr std::size_t kMaxFlatName = 12;
constexpr std::size_t kMaxGroupName = 5;

bool is_dot_entry(const DirEntry& entry) {
  return entry.name == "." || entry.name == "..";
}

// Why a file of a group folder is no item, or nullptr when it is one.
const char* why_no_item(const DirEntry& entry) {
  if (entry.name.size() != kItemNameSize ||
      !std::all_of(entry.name.begin(), entry.name.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
      })) {
    return "an item name is exactly 3 ASCII letters or digits";
  }
  return entry.size > kMaxItemSize ? "an item holds at most 65535 bytes" : nullptr;
}

// True when a path (without its terminating zero) is short enough for the platform.
bool fits_platform(std::string_view path) {
  return path.size() < max_path_bytes;
}

// Tells the reporter about files of the folder, naming them as the folder path was
// written: the loader works on a copy whose separators are all "\\".
class FolderReporter {
 public:
  FolderReporter(Reporter& reporter, const std::string& prefix, std::string_view written)
      : reporter_(reporter), prefix_size_(prefix.size()), written_(written) {
    if (written_.size() < prefix_size_) {
      written_ += '\\';
    }
  }

  void skipped(const std::string& path, std::string_view why) {
    reporter_.warn(shown(path) + ": skipped: " + std::string(why));
  }
  void explain(const std::string& path, std::string_view why) {
    reporter_.explain(shown(path) + ": " + std::string(why));
  }
  void explain_failure(const FileSystem& fs, const std::string& path) {
    reporter_.explain(describe_failure(fs, shown(path)));
  }
  // A folder that exists but cannot be listed: loading it as empty would leave its files
  // out of the build.
  void explain_listing(const FileSystem& fs, const std::string& folder) {
    reporter_.explain(describe_failure(fs, folder.size() < prefix_size_ ? top() : shown(folder),
                                       "cannot be listed"));
  }

 private:
  std::string shown(const std::string& path) const {
    return written_ + path.substr(std::min(prefix_size_, path.size()));
  }
  // The folder itself as written.
  std::string top() const { return written_.substr(0, written_.size() - 1); }

  Reporter& reporter_;
  std::size_t prefix_size_;
  std::string written_;
};

// Records where a file's bytes are, to be copied when an output is saved, once the file
// system says the file can be read and still holds the bytes the listing promised. The
// name is relative to the record's folder. ok, out_of_memory or source_not_opened.
Status add_loose_file(FileSystem& fs, FolderReporter& reporter, ArchiveRecord& record,
                      std::string name, std::uint64_t size) {
  if (record.loose_files.size() >= UINT32_MAX) {
    return Status::out_of_memory;  // beyond what an entry can point to
  }
  const std::string path = record.folder + name;
  const std::optional<std::uint64_t> found = fs.readable_file_size(path);
  if (!found) {
    reporter.explain_failure(fs, path);
    return Status::source_not_opened;
  }
  if (*found < size) {
    reporter.explain(path, "holds fewer bytes than its folder listing said");
    return Status::source_not_opened;
  }
  record.loose_files.push_back({std::move(name), size});
  return Status::ok;
}

// The files are those of the folder's listing: "*.*" would list the same names again.
Status load_flat(ArchiveList& list, FileSystem& fs, FolderReporter& reporter, int slot,
                 const std::string& prefix, std::vector<DirEntry> files) {
  std::erase_if(files, [&](const DirEntry& f) {
    if (!f.is_directory && f.name.size() > kMaxFlatName) {
      reporter.skipped(prefix + f.name, "an entry name has at most 12 bytes");
    }
    return f.is_directory || f.name.size() > kMaxFlatName;
  });
  for (const DirEntry& file : files) {
    if (file.size > kMaxFileOffset) {
      // The flat layout cannot record its size.
      reporter.explain(prefix + file.name, "larger than the 4 GiB an entry may hold");
      return Status::source_not_opened;
    }
  }
  ArchiveRecord& record = *list.get(slot);
  record.folder = prefix;
  if (const Status status = list.reserve_entries(record, files.size()); status != Status::ok) {
    return status;
  }
  record.loose_files.reserve(files.size());
  std::uint64_t offset = 0;
  for (const DirEntry& file : files) {
    Entry entry;
    set_entry_name(entry, upper_case(file.name));
    entry.offset = offset;
    entry.size = file.size;
    entry.loose_file = static_cast<std::uint32_t>(record.loose_files.size());
    // Read under the listed name, which finds it whatever the letter case rules.
    if (const Status status = add_loose_file(fs, reporter, record, file.name, file.size);
        status != Status::ok) {
      return status;
    }
    record.entries.push_back(entry);
    offset += file.size;
  }
  std::stable_sort(record.entries.begin(), record.entries.end(),
                   [](const Entry& a, const Entry& b) {
                     return compare_names(entry_name(a), entry_name(b)) < 0;
                   });
  record.entry_index.clear();  // positions changed
  return Status::ok;
}

struct ItemFile {
  std::string name;    // upper case, three characters
  std::string listed;  // as listed, for opening
  std::uint64_t size = 0;
};

struct GroupFolder {
  std::string name;  // upper case, padded with '_' to five characters
  std::uint64_t table_offset = 0;
  std::vector<ItemFile> items;
};

// The item files of a group folder, sorted; nullopt when it cannot be listed (explained).
std::optional<std::vector<ItemFile>> list_items(FileSystem& fs, FolderReporter& reporter,
                                                const std::string& folder) {
  const std::optional<std::vector<DirEntry>> files = fs.list(folder + "\\*", ListMode::files_only);
  if (!files) {
    reporter.explain_listing(fs, folder);
    return std::nullopt;
  }
  std::vector<ItemFile> items;
  for (const DirEntry& file : *files) {
    if (const char* why = why_no_item(file)) {
      reporter.skipped(folder + "\\" + file.name, why);
    } else {
      items.push_back({upper_case(file.name), file.name, file.size});
    }
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const ItemFile& a, const ItemFile& b) { return a.name < b.name; });
  return items;
}

// Appends the item table of a group to data, data offsets still zero. ok or
// out_of_memory.
Status append_item_table(ArchiveList& list, ArchiveRecord& record, const GroupFolder& group) {
  const std::uint64_t size = item_table_size(group.items.size());
  if (const Status status = list.reserve_data(record, static_cast<std::size_t>(size));
      status != Status::ok) {
    return status;
  }
  append_le(record.data, static_cast<std::uint32_t>(group.items.size()), kItemCountSize);
  for (const ItemFile& item : group.items) {
    for (const char c : item.name) {
      record.data.push_back(static_cast<std::byte>(c));
    }
    append_le(record.data, 0, 4);
    append_le(record.data, static_cast<std::uint32_t>(item.size), 2);
  }
  return Status::ok;
}

Status load_two_level(ArchiveList& list, FileSystem& fs, FolderReporter& reporter, int slot,
                      const std::string& prefix, std::span<const DirEntry> folders) {
  ArchiveRecord& record = *list.get(slot);
  record.folder = prefix;
  std::vector<GroupFolder> groups;
  std::size_t item_count = 0;
  for (const DirEntry& folder : folders) {
    if (is_dot_entry(folder)) {
      continue;
    }
    if (!folder.is_directory || folder.name.size() > kMaxGroupName) {
      reporter.skipped(prefix + folder.name, folder.is_directory
                                                 ? "a group folder name has at most 5 bytes"
                                                 : "a file beside group folders is no item");
      continue;
    }
    if (!fits_platform(prefix + folder.name + "\\???")) {
      // Loading the group as empty would silently leave its files out of the build.
      reporter.explain(prefix + folder.name,
                       "the paths of its files would be longer than " +
                           std::to_string(max_path_bytes - 1) +
                           " bytes; move the mod to a folder with a shorter path");
      return Status::source_not_opened;
    }
    GroupFolder group;
    std::optional<std::vector<ItemFile>> items = list_items(fs, reporter, prefix + folder.name);
    if (!items) {
      return Status::source_not_opened;
    }
    group.items = std::move(*items);
    if (group.items.empty() || group.items.size() > kMaxItemCount) {
      reporter.skipped(prefix + folder.name, group.items.empty()
                                                 ? "the group folder holds no item files"
                                                 : "a group holds at most 65535 items");
      continue;
    }
    group.name = upper_case(folder.name);
    group.name.resize(kMaxGroupName, '_');
    group.table_offset = record.data.size();
    if (const Status status = append_item_table(list, record, group); status != Status::ok) {
      return status;
    }
    item_count += group.items.size();
    groups.push_back(std::move(group));
  }
  std::stable_sort(groups.begin(), groups.end(), [](const GroupFolder& a, const GroupFolder& b) {
    return compare_names(a.name, b.name) < 0;
  });
  if (const Status status = list.reserve_entries(record, groups.size()); status != Status::ok) {
    return status;
  }
  record.loose_files.reserve(item_count);
  std::uint64_t offset = record.data.size();  // the items' bytes follow the tables
  for (const GroupFolder& group : groups) {
    // Items are looked up in the folder the group name gives, its padding removed.
    const std::string group_folder = group.name.substr(0, group.name.find_last_not_of('_') + 1);
    Entry entry;
    set_entry_name(entry, group.name);
    entry.offset = group.table_offset;
    entry.size = item_table_size(group.items.size());
    entry.loose_file = static_cast<std::uint32_t>(record.loose_files.size());
    record.entries.push_back(entry);
    for (std::size_t j = 0; j < group.items.size(); ++j) {
      const ItemFile& item = group.items[j];
      if (const Status status =
              add_loose_file(fs, reporter, record, group_folder + "\\" + item.listed, item.size);
          status != Status::ok) {
        return status;
      }
      // In-memory offsets are relative to data, the items counted after the tables; the
      // writer replaces them with file offsets.
      if (!write_le(record.data, group.table_offset + item_table_size(j) + kItemNameSize,
                    static_cast<std::uint32_t>(offset), 4)) {
        return Status::programmer_error;
      }
      offset += item.size;
    }
  }
  return Status::ok;
}

Status load_listed_folder(ArchiveList& list, FileSystem& fs, FolderReporter& reporter, int slot,
                          const std::string& prefix) {
  ArchiveRecord& record = *list.get(slot);
  record.two_level = false;
  std::optional<std::vector<DirEntry>> listed =
      fs.list(prefix + "*", ListMode::directories_included);
  if (!listed) {
    reporter.explain_listing(fs, {});
    return Status::source_not_opened;
  }
  std::vector<DirEntry>& listing = *listed;
  const auto first_folder = std::find_if(listing.begin(), listing.end(), [](const DirEntry& e) {
    return e.is_directory && !is_dot_entry(e);
  });
  if (first_folder == listing.end()) {
    return load_flat(list, fs, reporter, slot, prefix, std::move(listing));
  }
  record.two_level = true;
  // Files listed before the first folder are passed over like those after it.
  for (auto file = listing.begin(); file != first_folder; ++file) {
    if (!is_dot_entry(*file)) {
      reporter.skipped(prefix + file->name, "a file beside group folders is no item");
    }
  }
  return load_two_level(list, fs, reporter, slot, prefix,
                        std::span(listing).subspan(first_folder - listing.begin()));
}

}  // namespace

Status load_folder(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot,
                   const std::string& full_path) {
  if (list.get(slot) == nullptr || full_path.empty()) {
    return Status::programmer_error;
  }
  std::string prefix = full_path;
  std::replace(prefix.begin(), prefix.end(), '/', '\\');
  if (prefix.back() != '\\') {
    prefix += '\\';
  }
  return list.guarded([&] {
    if (!fits_platform(prefix + "*")) {
      reporter.explain(full_path + ": the paths of its files would be longer than " +
                       std::to_string(max_path_bytes - 1) +
                       " bytes; move the mod to a folder with a shorter path");
      return Status::source_not_opened;
    }
    // A mistyped or renamed folder would otherwise load as an empty source, and the
    // archive built from it would lack every file of the mod.
    if (!fs.is_directory(prefix)) {
      reporter.explain("the source folder \"" + full_path +
                       "\" does not exist; check its name and the path in the definition");
      return Status::source_not_opened;
    }
    FolderReporter folder_reporter(reporter, prefix, full_path);
    return load_listed_folder(list, fs, folder_reporter, slot, prefix);
  });
}

}  // namespace vexal
