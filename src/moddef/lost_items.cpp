#include "moddef/lost_items.h"

#include <algorithm>

#include "archive/layout.h"
#include "base/byte_reader.h"
#include "platform/ascii.h"

namespace vexal {

namespace {

// The names of the old group's items that the new group lacks, in table order. A group
// holds up to 65535 items, so the new names are sorted once and searched.
std::vector<std::string> lacking(const std::vector<std::string>& old_items,
                                 const std::vector<std::string>& new_items) {
  std::vector<std::string> kept;
  kept.reserve(new_items.size());
  for (const std::string& item : new_items) {
    kept.push_back(upper_case(item));
  }
  std::sort(kept.begin(), kept.end());
  std::vector<std::string> missing;
  for (const std::string& name : old_items) {
    if (!std::binary_search(kept.begin(), kept.end(), upper_case(name))) {
      missing.push_back(name);
    }
  }
  return missing;
}

// The first names, and how many more: a warning stays one readable line.
std::string listed(const std::vector<std::string>& names) {
  constexpr std::size_t kShown = 10;
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < kShown; ++i) {
    text += (text.empty() ? "" : ", ") + names[i];
  }
  if (names.size() > kShown) {
    text += " and " + std::to_string(names.size() - kShown) + " more";
  }
  return text;
}

// The items of the linked group, or nothing when the link leads nowhere.
std::vector<std::string> linked_items(const ArchiveList& archives, std::int32_t slot,
                                      std::int32_t entry) {
  const ArchiveRecord* source = archives.get(slot);
  if (source == nullptr || entry < 0 || static_cast<std::size_t>(entry) >= source->entries.size()) {
    return {};
  }
  return item_names(*source, source->entries[static_cast<std::size_t>(entry)]);
}

}  // namespace

Links links_of(const ArchiveRecord& output) {
  Links links;
  links.reserve(output.entries.size());
  for (const Entry& entry : output.entries) {
    links.emplace_back(entry.source_archive, entry.source_entry);
  }
  return links;
}

std::vector<std::string> item_names(const ArchiveRecord& source, const Entry& group) {
  using namespace layout;
  const std::span<const std::byte> bytes = source.bytes();
  const std::uint64_t count = read_le(bytes, group.offset, kItemCountSize).value_or(0);
  std::vector<std::string> names;
  for (std::uint64_t j = 0; j < count; ++j) {
    const auto name = bytes_at(bytes, group.offset + item_table_size(j), kItemNameSize);
    if (!name) {
      break;  // the reader checked every table; a short one lists what it holds
    }
    names.emplace_back(reinterpret_cast<const char*>(name->data()), name->size());
  }
  return names;
}

void warn_of_lost_items(ModContext& context, int output_slot, std::string_view command,
                        const Links& before) {
  const ArchiveRecord& output = *context.archives.get(output_slot);
  for (std::size_t i = 0; i < before.size() && i < output.entries.size(); ++i) {
    const Entry& group = output.entries[i];
    if (before[i] == std::pair(group.source_archive, group.source_entry)) {
      continue;
    }
    const std::vector<std::string> missing =
        lacking(linked_items(context.archives, before[i].first, before[i].second),
                linked_items(context.archives, group.source_archive, group.source_entry));
    if (!missing.empty()) {
      context.reporter.warn(output.name + ": " + std::string(command) + ": the group " +
                            std::string(entry_name(group)) + " of " +
                            context.archives.get(group.source_archive)->name + " lacks " +
                            listed(missing) + ", which the group it replaces had: a group is " +
                            "replaced whole, so copy the missing items into its folder");
    }
  }
}

}  // namespace vexal
