#include "archive/archive_view.h"

#include <utility>

#include "archive/archive_reader.h"

namespace vexal {
namespace {

// The items of a group as the reader parsed them, with their bytes.
std::vector<ArchiveView::Item> items_of(const SourceArchive& source, const Entry& group) {
  std::vector<ArchiveView::Item> items;
  for (const Item& item : group_items(source, group).value_or(std::span<const Item>{})) {
    items.push_back({std::string(item.name.data(), item.name.size()),
                     source.bytes().subspan(item.where, item.size)});
  }
  return items;
}

}  // namespace

std::uint64_t ArchiveView::Member::size() const {
  std::uint64_t total = bytes.size();
  for (const Item& item : items) {
    total += item.bytes.size();
  }
  return total;
}

Expected<ArchiveView> read_archive_view(FileSystem& fs, const std::string& path) {
  ArchiveView view;
  SourceArchive& source = view.list.add_source(path);
  if (Outcome read = read_archive_file(fs, source, path); !read) {
    return std::move(read).failure();
  }
  view.two_level = source.two_level;
  view.members.reserve(source.entries.size());
  for (const Entry& entry : source.entries) {
    ArchiveView::Member& member = view.members.emplace_back();
    member.name = entry_name(entry);
    if (source.two_level) {
      member.items = items_of(source, entry);
    } else {
      member.bytes = source.bytes().subspan(entry.position, entry.size);
    }
  }
  return view;
}

}  // namespace vexal
