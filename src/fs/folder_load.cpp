// Loading a source by path: an archive file, or a folder of loose files that becomes a
// flat archive (files are entries) or a two-level one (short-named subfolders are groups
// of three-character item files).
#include <algorithm>
#include <new>
#include <span>

#include "driver/error.h"
#include "fs/archive_io.h"
#include "fs/byte_order.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"

namespace vexal {
namespace {

using namespace fs_detail;

constexpr std::size_t kMaxFlatName = 12;
constexpr std::size_t kMaxGroupName = 5;
constexpr std::uint64_t kMaxItemSize = 0xFFFF;

bool names_an_archive_file(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) {
    return false;
  }
  const std::string_view extension = path.substr(dot);
  return names_equal(extension, ".FS") || names_equal(extension, ".FSU");
}

bool is_dot_entry(const DirEntry& entry) {
  return entry.name == "." || entry.name == "..";
}

bool is_item_file(const DirEntry& entry) {
  return entry.name.size() == kItemNameSize && entry.size <= kMaxItemSize &&
         std::all_of(entry.name.begin(), entry.name.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
         });
}

// Appends exactly `size` bytes of the file at path to data, whose capacity the caller
// has reserved; the file must still hold the bytes the listing promised. 0 or 402.
int append_file(FileSystem& fs, const std::string& path, std::uint64_t size,
                std::vector<std::byte>& data) {
  const std::unique_ptr<File> file = fs.open_read(path);
  if (!file) {
    return kSourceNotOpened;
  }
  const std::size_t start = data.size();
  data.resize(start + static_cast<std::size_t>(size));
  if (file->read(std::span(data).subspan(start)) != size) {
    return kSourceNotOpened;
  }
  return 0;
}

// The files are those of the folder's listing: "*.*" would list the same names again.
int load_flat(ArchiveList& list, FileSystem& fs, int slot, const std::string& prefix,
              std::vector<DirEntry> files) {
  std::erase_if(files,
                [](const DirEntry& f) { return f.is_directory || f.name.size() > kMaxFlatName; });
  std::uint64_t total = 0;
  for (const DirEntry& file : files) {
    if (file.size > kMaxFileOffset) {
      return kSourceNotOpened;  // the flat layout cannot record its size
    }
    total += file.size;
  }
  ArchiveRecord& record = *list.fs_get_archive(slot);
  if (total > record.data.max_size()) {
    return 3;
  }
  // One reservation for every file, so the buffer is not moved once per block.
  if (const int code = list.fs_reserve_entries(record, files.size()); code != 0) {
    return code;
  }
  if (const int code = list.fs_reserve_data(record, static_cast<std::size_t>(total)); code != 0) {
    return code;
  }
  for (const DirEntry& file : files) {
    Entry entry;
    set_entry_name(entry, upper_case(file.name));
    entry.offset = record.data.size();
    entry.size = file.size;
    // Opened under the listed name, which finds it whatever the letter case rules.
    if (const int code = append_file(fs, prefix + file.name, file.size, record.data); code != 0) {
      return code;
    }
    record.entries.push_back(entry);
  }
  std::stable_sort(record.entries.begin(), record.entries.end(),
                   [](const Entry& a, const Entry& b) {
                     return compare_names(entry_name(a), entry_name(b)) < 0;
                   });
  record.entry_index.clear();  // positions changed
  return 0;
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

// Appends the item table of a group to data, data offsets still zero. 0 or 3.
int append_item_table(ArchiveList& list, ArchiveRecord& record, const GroupFolder& group) {
  const std::uint64_t size = item_table_size(group.items.size());
  if (const int code = list.fs_reserve_data(record, static_cast<std::size_t>(size)); code != 0) {
    return code;
  }
  append_le(record.data, static_cast<std::uint32_t>(group.items.size()), kItemCountSize);
  for (const ItemFile& item : group.items) {
    for (const char c : item.name) {
      record.data.push_back(static_cast<std::byte>(c));
    }
    append_le(record.data, 0, 4);
    append_le(record.data, static_cast<std::uint32_t>(item.size), 2);
  }
  return 0;
}

int load_two_level(ArchiveList& list, FileSystem& fs, int slot, const std::string& prefix,
                   std::span<const DirEntry> folders) {
  ArchiveRecord& record = *list.fs_get_archive(slot);
  std::vector<GroupFolder> groups;
  std::uint64_t item_bytes = 0;
  for (const DirEntry& folder : folders) {
    // Files left in the top folder are not groups.
    if (!folder.is_directory || is_dot_entry(folder) || folder.name.size() > kMaxGroupName) {
      continue;
    }
    GroupFolder group;
    group.items = list_items(fs, prefix + folder.name);
    if (group.items.empty() || group.items.size() > 0xFFFF) {
      continue;
    }
    group.name = upper_case(folder.name);
    group.name.resize(kMaxGroupName, '_');
    group.table_offset = record.data.size();
    if (const int code = append_item_table(list, record, group); code != 0) {
      return code;
    }
    for (const ItemFile& item : group.items) {
      item_bytes += item.size;
    }
    groups.push_back(std::move(group));
  }
  std::stable_sort(groups.begin(), groups.end(), [](const GroupFolder& a, const GroupFolder& b) {
    return compare_names(a.name, b.name) < 0;
  });
  if (const int code = list.fs_reserve_entries(record, groups.size()); code != 0) {
    return code;
  }
  if (const int code = list.fs_reserve_data(record, static_cast<std::size_t>(item_bytes));
      code != 0) {
    return code;
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
      if (const int code = append_file(fs, path, item.size, record.data); code != 0) {
        return code;
      }
      // In-memory offsets are relative to data; the writer replaces them with file offsets.
      write_le(record.data,
               static_cast<std::size_t>(group.table_offset + item_table_size(j) + kItemNameSize),
               static_cast<std::uint32_t>(offset), 4);
    }
  }
  return 0;
}

int load_folder(ArchiveList& list, FileSystem& fs, int slot, const std::string& prefix) {
  ArchiveRecord& record = *list.fs_get_archive(slot);
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

int fs_load_folder(ArchiveList& list, FileSystem& fs, int slot, const std::string& full_path) {
  if (list.fs_get_archive(slot) == nullptr || full_path.empty()) {
    return 2;
  }
  std::string prefix = full_path;
  std::replace(prefix.begin(), prefix.end(), '/', '\\');
  if (prefix.back() != '\\') {
    prefix += '\\';
  }
  int code = 0;
  // A missing folder loads empty, but one whose listing pattern is longer than the
  // platform takes is refused: the mod's files would silently be left out of the build.
  if (prefix.size() + 1 >= max_path_bytes) {
    list.fs_free_all();
    return kSourceNotOpened;
  }
  try {
    code = load_folder(list, fs, slot, prefix);
  } catch (const std::bad_alloc&) {
    code = 3;
  }
  if (code != 0) {
    list.fs_free_all();
  }
  return code;
}

int fs_load(ArchiveList& list, FileSystem& fs, int slot, const std::string& path,
            const std::string& mod_folder) {
  ArchiveRecord* record = list.fs_get_archive(slot);
  if (record == nullptr || path.empty()) {
    return 2;
  }
  record->name = path;
  std::string full_path = path;
  if (!is_absolute_path(path)) {
    full_path = mod_folder;
    if (!full_path.empty() && !is_path_separator(full_path.back())) {
      full_path += '\\';
    }
    full_path += path;
  }
  int code = 0;
  if (names_an_archive_file(path)) {
    report_loading_archive(path);
    code = fs_load_archive_file(list, fs, slot, full_path);
  } else {
    report_loading_folder(path);
    code = fs_load_folder(list, fs, slot, full_path);
  }
  report_load_result(code);
  return code;
}

}  // namespace vexal
