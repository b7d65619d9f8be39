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
  // The load fails with source_not_opened, for the reason given.
  Failure refuse(const std::string& path, std::string_view why) const {
    return {Status::source_not_opened, shown(path) + ": " + std::string(why)};
  }
  Failure refuse_failure(const IoResult& failed, const std::string& path) const {
    return {Status::source_not_opened, failed.describe(shown(path))};
  }
  // A folder that exists but cannot be listed: loading it as empty would leave its files
  // out of the build.
  Failure refuse_listing(const IoResult& failed, const std::string& folder) const {
    return {
        Status::source_not_opened,
        failed.describe(folder.size() < prefix_size_ ? top() : shown(folder), "cannot be listed")};
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
Outcome add_loose_file(FileSystem& fs, FolderReporter& reporter, SourceArchive& record,
                       std::string name, std::uint64_t size) {
  if (record.loose_files.size() >= UINT32_MAX) {
    return Failure(Status::out_of_memory);  // beyond what an entry can point to
  }
  const std::string path = record.folder + name;
  const IoExpected<std::uint64_t> found = fs.readable_file_size(path);
  if (!found) {
    return reporter.refuse_failure(found.result(), path);
  }
  if (*found < size) {
    return reporter.refuse(path, "holds fewer bytes than its folder listing said");
  }
  record.loose_files.push_back({std::move(name), size});
  return {};
}

// The files are those of the folder's listing: "*.*" would list the same names again.
Outcome load_flat(FileSystem& fs, FolderReporter& reporter, SourceArchive& record,
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
      return reporter.refuse(prefix + file.name, "larger than the 4 GiB an entry may hold");
    }
  }
  record.folder = prefix;
  if (Outcome done = ArchiveList::reserve_entries(record, files.size()); !done) {
    return done;
  }
  record.loose_files.reserve(files.size());
  for (const DirEntry& file : files) {
    Entry entry;
    set_entry_name(entry, upper_case(file.name));
    entry.size = static_cast<std::uint32_t>(file.size);
    entry.position = static_cast<std::uint32_t>(record.loose_files.size());
    // Read under the listed name, which finds it whatever the letter case rules.
    if (Outcome done = add_loose_file(fs, reporter, record, file.name, file.size); !done) {
      return done;
    }
    record.entries.push_back(entry);
  }
  std::stable_sort(record.entries.begin(), record.entries.end(),
                   [](const Entry& a, const Entry& b) {
                     return compare_names(entry_name(a), entry_name(b)) < 0;
                   });
  return {};
}

struct ItemFile {
  std::string name;    // upper case, three characters
  std::string listed;  // as listed, for opening
  std::uint64_t size = 0;
};

struct GroupFolder {
  std::string name;  // upper case, padded with '_' to five characters
  std::vector<ItemFile> items;
};

// The item files of a group folder, sorted, or the failure to list it.
Expected<std::vector<ItemFile>> list_items(FileSystem& fs, FolderReporter& reporter,
                                           const std::string& folder) {
  const IoExpected<std::vector<DirEntry>> files = fs.list(folder + "\\*", ListMode::files_only);
  if (!files) {
    return reporter.refuse_listing(files.result(), folder);
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

// The group folder of a listed subfolder, nullopt for one passed over (warned about),
// or the failure to list it.
Expected<std::optional<GroupFolder>> read_group_folder(FileSystem& fs, FolderReporter& reporter,
                                                       const std::string& prefix,
                                                       const DirEntry& folder) {
  if (!folder.is_directory || folder.name.size() > kMaxGroupName) {
    reporter.skipped(prefix + folder.name, folder.is_directory
                                               ? "a group folder name has at most 5 bytes"
                                               : "a file beside group folders is no item");
    return std::optional<GroupFolder>();
  }
  if (!fits_platform(prefix + folder.name + "\\???")) {
    // Loading the group as empty would silently leave its files out of the build.
    return reporter.refuse(prefix + folder.name,
                           "the paths of its files would be longer than " +
                               std::to_string(max_path_bytes - 1) +
                               " bytes; move the mod to a folder with a shorter path");
  }
  Expected<std::vector<ItemFile>> items = list_items(fs, reporter, prefix + folder.name);
  if (!items) {
    return std::move(items).failure();
  }
  if (items->empty() || items->size() > kMaxItemCount) {
    reporter.skipped(prefix + folder.name, items->empty() ? "the group folder holds no item files"
                                                          : "a group holds at most 65535 items");
    return std::optional<GroupFolder>();
  }
  GroupFolder group{upper_case(folder.name), std::move(*items)};
  group.name.resize(kMaxGroupName, '_');
  return std::optional<GroupFolder>(std::move(group));
}

// The group folders of the listing, sorted by name, or the failure to list one.
Expected<std::vector<GroupFolder>> collect_groups(FileSystem& fs, FolderReporter& reporter,
                                                  const std::string& prefix,
                                                  std::span<const DirEntry> folders) {
  std::vector<GroupFolder> groups;
  for (const DirEntry& folder : folders) {
    if (is_dot_entry(folder)) {
      continue;
    }
    Expected<std::optional<GroupFolder>> group = read_group_folder(fs, reporter, prefix, folder);
    if (!group) {
      return std::move(group).failure();
    }
    if (*group) {
      groups.push_back(std::move(**group));
    }
  }
  std::stable_sort(groups.begin(), groups.end(), [](const GroupFolder& a, const GroupFolder& b) {
    return compare_names(a.name, b.name) < 0;
  });
  return groups;
}

// Adds a group and its items, each checked to be readable, to the source.
Outcome add_group(FileSystem& fs, FolderReporter& reporter, SourceArchive& record,
                  const GroupFolder& group) {
  // Items are looked up in the folder the group name gives, its padding removed.
  const std::string group_folder = group.name.substr(0, group.name.find_last_not_of('_') + 1);
  Entry& entry = record.entries.emplace_back();
  set_entry_name(entry, group.name);
  entry.size = static_cast<std::uint32_t>(item_table_size(group.items.size()));
  entry.position = static_cast<std::uint32_t>(record.items.size());
  for (const ItemFile& item : group.items) {
    Item& loaded = record.items.emplace_back();
    std::copy_n(item.name.begin(), kItemNameSize, loaded.name.begin());
    loaded.size = static_cast<std::uint16_t>(item.size);
    loaded.where = static_cast<std::uint32_t>(record.loose_files.size());
    if (Outcome added =
            add_loose_file(fs, reporter, record, group_folder + "\\" + item.listed, item.size);
        !added) {
      return added;
    }
  }
  return {};
}

Outcome load_two_level(FileSystem& fs, FolderReporter& reporter, SourceArchive& record,
                       const std::string& prefix, std::span<const DirEntry> folders) {
  record.folder = prefix;
  Expected<std::vector<GroupFolder>> groups = collect_groups(fs, reporter, prefix, folders);
  if (!groups) {
    return std::move(groups).failure();
  }
  std::size_t item_count = 0;
  for (const GroupFolder& group : *groups) {
    item_count += group.items.size();
  }
  if (Outcome reserved = ArchiveList::reserve_entries(record, groups->size()); !reserved) {
    return reserved;
  }
  record.loose_files.reserve(item_count);
  record.items.reserve(item_count);
  for (const GroupFolder& group : *groups) {
    if (Outcome added = add_group(fs, reporter, record, group); !added) {
      return added;
    }
  }
  return {};
}

Outcome load_listed_folder(FileSystem& fs, FolderReporter& reporter, SourceArchive& record,
                           const std::string& prefix) {
  record.two_level = false;
  IoExpected<std::vector<DirEntry>> listed = fs.list(prefix + "*", ListMode::directories_included);
  if (!listed) {
    return reporter.refuse_listing(listed.result(), {});
  }
  std::vector<DirEntry>& listing = *listed;
  const auto first_folder = std::find_if(listing.begin(), listing.end(), [](const DirEntry& e) {
    return e.is_directory && !is_dot_entry(e);
  });
  if (first_folder == listing.end()) {
    return load_flat(fs, reporter, record, prefix, std::move(listing));
  }
  record.two_level = true;
  // Files listed before the first folder are passed over like those after it.
  for (auto file = listing.begin(); file != first_folder; ++file) {
    if (!is_dot_entry(*file)) {
      reporter.skipped(prefix + file->name, "a file beside group folders is no item");
    }
  }
  return load_two_level(fs, reporter, record, prefix,
                        std::span(listing).subspan(first_folder - listing.begin()));
}

}  // namespace

Outcome load_folder(FileSystem& fs, Reporter& reporter, SourceArchive& source,
                    const std::string& full_path) {
  if (full_path.empty()) {
    return Failure(Status::programmer_error);
  }
  std::string prefix = full_path;
  std::replace(prefix.begin(), prefix.end(), '/', '\\');
  if (prefix.back() != '\\') {
    prefix += '\\';
  }
  if (!fits_platform(prefix + "*")) {
    return Failure(Status::source_not_opened,
                   full_path + ": the paths of its files would be longer than " +
                       std::to_string(max_path_bytes - 1) +
                       " bytes; move the mod to a folder with a shorter path");
  }
  // A mistyped or renamed folder would otherwise load as an empty source, and the
  // archive built from it would lack every file of the mod.
  if (!fs.is_directory(prefix)) {
    return Failure(Status::source_not_opened,
                   "the source folder \"" + full_path +
                       "\" does not exist; check its name and the path in the definition");
  }
  FolderReporter folder_reporter(reporter, prefix, full_path);
  return load_listed_folder(fs, folder_reporter, source, prefix);
}

}  // namespace vexal
