#include "moddef/lost_items.h"

#include <algorithm>

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

}  // namespace

std::vector<std::string> item_names(const SourceArchive& source, const Entry& group) {
  std::vector<std::string> names;
  for (const Item& item : group_items(source, group).value_or(std::span<const Item>())) {
    names.emplace_back(item.name.data(), item.name.size());
  }
  return names;
}

void warn_of_lost_items(ModContext& context, const OutputArchive& output, std::string_view command,
                        const std::vector<Link>& before) {
  for (std::size_t i = 0; i < before.size() && i < output.links.size(); ++i) {
    const Link& link = output.links[i];
    if (before[i] == link) {
      continue;
    }
    const SourceArchive& old_source = context.archives.source(before[i].source);
    const SourceArchive& new_source = context.archives.source(link.source);
    const Entry& group = context.archives.linked_entry(link);
    const std::vector<std::string> missing =
        lacking(item_names(old_source, context.archives.linked_entry(before[i])),
                item_names(new_source, group));
    if (!missing.empty()) {
      context.reporter.warn(output.name + ": " + std::string(command) + ": the group " +
                            std::string(entry_name(group)) + " of " + new_source.path + " lacks " +
                            listed(missing) +
                            ", which the group it replaces had: a group is replaced whole, so "
                            "copy the missing items into its folder");
    }
  }
}

}  // namespace vexal
