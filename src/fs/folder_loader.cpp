#include "fs/folder_loader.h"

#include <algorithm>
#include <span>

#include "base/byte_reader.h"
#include "fs/layout.h"
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

// True when a path (without its terminating zero) is short enough for the platform.
bool fits_platform(std::string_view path) {
  return path.size() < max_path_bytes;
}

// Refuses a folder whose file paths the platform would not take: loading it as empty
// would silently leave the mod's files out of the build.
Status refuse_long_folder(Reporter& reporter, const std::string& folder) {
  reporter.explain("the paths of the files in " + folder + " would be longer than " +
                   std::to_string(max_path_bytes - 1) +
                   " bytes; move the mod to a folder with a shorter path");
  return Status::source_not_opened;
}

bool is_item_file(const DirEntry& entry) {
  return entry.name.size() == kItemNameSize && entry.size <= kMaxItemSize &&
         std::all_of(entry.name.begin(), entry.name.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
         });
}

// Appends exactly `size` bytes of the file at path to data, whose capacity the caller
// has reserved; the file must still hold the bytes the listing promised. ok or
// source_not_opened.
Status append_file(FileSystem& fs, const std::string& path, std::uint64_t size,
                   std::vector<std::byte>& data) {
  const std::unique_ptr<File> file = fs.open_read(path);
  if (!file) {
    return Status::source_not_opened;
  }
  const std::size_t start = data.size();
  data.resize(start + static_cast<std::size_t>(size));
  if (file->read(std::span(data).subspan(start)) != size) {
    return Status::source_not_opened;
  }
  return Status::ok;
}

// The files are those of the folder's listing: "*.*" would list the same names again.
Status load_flat(ArchiveList& list, FileSystem& fs, int slot, const std::string& prefix,
                 std::vector<DirEntry> files) {
  std::erase_if(files,
                [](const DirEntry& f) { return f.is_directory || f.name.size() > kMaxFlatName; });
  std::uint64_t total = 0;
  for (const DirEntry& file : files) {
    if (file.size > kMaxFileOffset) {
      return Status::source_not_opened;  // the flat layout cannot record its size
    }
    total += file.size;
  }
  ArchiveRecord& record = *list.get(slot);
  if (total > record.data.max_size()) {
    return Status::out_of_memory;
  }
  // One reservation for every file, so the buffer is not moved once per block.
  if (const Status status = list.reserve_entries(record, files.size()); status != Status::ok) {
    return status;
  }
  if (const Status status = list.reserve_data(record, static_cast<std::size_t>(total));
      status != Status::ok) {
    return status;
  }
  for (const DirEntry& file : files) {
    Entry entry;
    set_entry_name(entry, upper_case(file.name));
    entry.offset = record.data.size();
    entry.size = file.size;
    // Opened under the listed name, which finds it whatever the letter case rules.
    if (const Status status = append_file(fs, prefix + file.name, file.size, record.data);
        status != Status::ok) {
      return status;
    }
    record.entries.push_back(entry);
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

std::vector<ItemFile> list_items(FileSystem& fs, const std::string& folder) {
  std::vector<ItemFile> items;
  for (const DirEntry& file : fs.list(folder + "\\???", ListMode::files_only)) {
    if (is_item_file(file)) {
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

// `source` is the folder as the caller named it, for explanations.
Status load_two_level(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot,
                      const std::string& source, const std::string& prefix,
                      std::span<const DirEntry> folders) {
  ArchiveRecord& record = *list.get(slot);
  std::vector<GroupFolder> groups;
  std::uint64_t item_bytes = 0;
  for (const DirEntry& folder : folders) {
    // Files left in the top folder are not groups.
    if (!folder.is_directory || is_dot_entry(folder) || folder.name.size() > kMaxGroupName) {
      continue;
    }
    if (!fits_platform(prefix + folder.name + "\\???")) {
      return refuse_long_folder(reporter,
                                "the group folder \"" + folder.name + "\" of \"" + source + "\"");
    }
    GroupFolder group;
    group.items = list_items(fs, prefix + folder.name);
    if (group.items.empty() || group.items.size() > kMaxItemCount) {
      continue;
    }
    group.name = upper_case(folder.name);
    group.name.resize(kMaxGroupName, '_');
    group.table_offset = record.data.size();
    if (const Status status = append_item_table(list, record, group); status != Status::ok) {
      return status;
    }
    for (const ItemFile& item : group.items) {
      item_bytes += item.size;
    }
    groups.push_back(std::move(group));
  }
  std::stable_sort(groups.begin(), groups.end(), [](const GroupFolder& a, const GroupFolder& b) {
    return compare_names(a.name, b.name) < 0;
  });
  if (const Status status = list.reserve_entries(record, groups.size()); status != Status::ok) {
    return status;
  }
  if (const Status status = list.reserve_data(record, static_cast<std::size_t>(item_bytes));
      status != Status::ok) {
    return status;
  }
  for (const GroupFolder& group : groups) {
    // Items are looked up in the folder the group name gives, its padding removed.
    const std::string group_folder = group.name.substr(0, group.name.find_last_not_of('_') + 1);
    Entry entry;
    set_entry_name(entry, group.name);
    entry.offset = group.table_offset;
    entry.size = item_table_size(group.items.size());
    record.entries.push_back(entry);
    for (std::size_t j = 0; j < group.items.size(); ++j) {
      const ItemFile& item = group.items[j];
      const std::uint64_t offset = record.data.size();
      const std::string path = prefix + group_folder + "\\" + item.listed;
      if (const Status status = append_file(fs, path, item.size, record.data);
          status != Status::ok) {
        return status;
      }
      // In-memory offsets are relative to data; the writer replaces them with file offsets.
      if (!write_le(record.data, group.table_offset + item_table_size(j) + kItemNameSize,
                    static_cast<std::uint32_t>(offset), 4)) {
        return Status::programmer_error;
      }
    }
  }
  return Status::ok;
}

Status load_listed_folder(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot,
                          const std::string& source, const std::string& prefix) {
  ArchiveRecord& record = *list.get(slot);
  record.two_level = false;
  std::vector<DirEntry> listing = fs.list(prefix + "*", ListMode::directories_included);
  const auto first_folder = std::find_if(listing.begin(), listing.end(), [](const DirEntry& e) {
    return e.is_directory && !is_dot_entry(e);
  });
  if (first_folder == listing.end()) {
    return load_flat(list, fs, slot, prefix, std::move(listing));
  }
  record.two_level = true;
  return load_two_level(list, fs, reporter, slot, source, prefix,
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
      return refuse_long_folder(reporter, "\"" + full_path + "\"");
    }
    // A mistyped or renamed folder would otherwise load as an empty source, and the
    // archive built from it would lack every file of the mod.
    if (!fs.is_directory(prefix)) {
      reporter.explain("the source folder \"" + full_path +
                       "\" does not exist; check its name and the path in the definition");
      return Status::source_not_opened;
    }
    return load_listed_folder(list, fs, reporter, slot, full_path, prefix);
  });
}

}  // namespace vexal
