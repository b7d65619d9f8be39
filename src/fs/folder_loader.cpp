#include "fs/folder_loader.h"

#include <algorithm>
#include <cstdint>
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

bool is_item_file(const DirEntry& entry) {
  return entry.name.size() == kItemNameSize && entry.size <= kMaxItemSize &&
         std::all_of(entry.name.begin(), entry.name.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
         });
}

// Records where a file's bytes are, to be copied when an output is saved, once the file
// system says the file can be read and still holds the bytes the listing promised. The
// name is relative to the record's folder. ok, out_of_memory or source_not_opened.
Status add_loose_file(FileSystem& fs, ArchiveRecord& record, std::string name, std::uint64_t size) {
  if (record.loose_files.size() >= UINT32_MAX) {
    return Status::out_of_memory;  // beyond what an entry can point to
  }
  const std::optional<std::uint64_t> found = fs.readable_file_size(record.folder + name);
  if (!found || *found < size) {
    return Status::source_not_opened;
  }
  record.loose_files.push_back({std::move(name), size});
  return Status::ok;
}

// The files are those of the folder's listing: "*.*" would list the same names again.
Status load_flat(ArchiveList& list, FileSystem& fs, int slot, const std::string& prefix,
                 std::vector<DirEntry> files) {
  std::erase_if(files,
                [](const DirEntry& f) { return f.is_directory || f.name.size() > kMaxFlatName; });
  for (const DirEntry& file : files) {
    if (file.size > kMaxFileOffset) {
      return Status::source_not_opened;  // the flat layout cannot record its size
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
    if (const Status status = add_loose_file(fs, record, file.name, file.size);
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

Status load_two_level(ArchiveList& list, FileSystem& fs, int slot, const std::string& prefix,
                      std::span<const DirEntry> folders) {
  ArchiveRecord& record = *list.get(slot);
  record.folder = prefix;
  std::vector<GroupFolder> groups;
  std::size_t item_count = 0;
  for (const DirEntry& folder : folders) {
    // Files left in the top folder are not groups.
    if (!folder.is_directory || is_dot_entry(folder) || folder.name.size() > kMaxGroupName) {
      continue;
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
              add_loose_file(fs, record, group_folder + "\\" + item.listed, item.size);
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

Status load_listed_folder(ArchiveList& list, FileSystem& fs, int slot, const std::string& prefix) {
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
  return load_two_level(list, fs, slot, prefix,
                        std::span(listing).subspan(first_folder - listing.begin()));
}

}  // namespace

Status load_folder(ArchiveList& list, FileSystem& fs, int slot, const std::string& full_path) {
  if (list.get(slot) == nullptr || full_path.empty()) {
    return Status::programmer_error;
  }
  std::string prefix = full_path;
  std::replace(prefix.begin(), prefix.end(), '/', '\\');
  if (prefix.back() != '\\') {
    prefix += '\\';
  }
  // A missing folder loads empty, but one whose listing pattern is longer than the
  // platform takes is refused: the mod's files would silently be left out of the build.
  return list.guarded([&] {
    return prefix.size() + 1 < max_path_bytes ? load_listed_folder(list, fs, slot, prefix)
                                              : Status::source_not_opened;
  });
}

}  // namespace vexal
