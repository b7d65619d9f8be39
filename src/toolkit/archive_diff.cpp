// The diff subcommand: two archives read as the builder reads sources, their entries
// matched by name and the differences printed one a line.
#include "toolkit/archive_diff.h"

#include <algorithm>
#include <cstdio>

#include "platform/ascii.h"
#include "toolkit/json_output.h"

namespace vexal::fs_tool {

ArchiveContents contents_of(const ArchiveView& view) {
  ArchiveContents contents;
  std::map<std::string, int> seen;  // entries so far by upper-cased name
  const auto add = [&](const std::string& name, std::span<const std::byte> bytes) {
    const int rank = seen[upper_case(name)]++;
    const std::string shown = rank == 0 ? name : name + " #" + std::to_string(rank + 1);
    contents.emplace(upper_case(shown), NamedBytes{shown, bytes});
  };
  for (const ArchiveView::Member& member : view.members) {
    if (member.items.empty()) {
      add(member.name, member.bytes);
    }
    for (const ArchiveView::Item& item : member.items) {
      add(member.name + "\\" + item.name, item.bytes);
    }
  }
  return contents;
}

std::vector<Difference> differences(const ArchiveContents& before, const ArchiveContents& after) {
  std::vector<Difference> found;
  auto old_entry = before.begin();
  auto new_entry = after.begin();
  while (old_entry != before.end() || new_entry != after.end()) {
    const bool only_new = old_entry == before.end() ||
                          (new_entry != after.end() && new_entry->first < old_entry->first);
    const bool only_old =
        !only_new && (new_entry == after.end() || old_entry->first < new_entry->first);
    if (only_new) {
      found.push_back(
          {Difference::Kind::added, new_entry->second.shown, 0, new_entry->second.bytes.size()});
      ++new_entry;
    } else if (only_old) {
      found.push_back(
          {Difference::Kind::removed, old_entry->second.shown, old_entry->second.bytes.size(), 0});
      ++old_entry;
    } else {
      const NamedBytes& old_bytes = old_entry++->second;
      const NamedBytes& new_bytes = new_entry++->second;
      if (!std::ranges::equal(old_bytes.bytes, new_bytes.bytes)) {
        found.push_back({Difference::Kind::changed, old_bytes.shown, old_bytes.bytes.size(),
                         new_bytes.bytes.size()});
      }
    }
  }
  return found;
}

namespace {

void print_difference(const Difference& difference) {
  static constexpr const char* kWords[] = {"added", "removed", "changed"};
  const std::string sizes =
      difference.kind == Difference::Kind::added ? std::to_string(difference.new_size)
      : difference.kind == Difference::Kind::removed
          ? std::to_string(difference.old_size)
          : std::to_string(difference.old_size) + " -> " + std::to_string(difference.new_size);
  std::printf("%-8s %s (%s bytes)\n", kWords[static_cast<int>(difference.kind)],
              shown_name(difference.shown).c_str(), sizes.c_str());
}

Json difference_document(const Arguments& args, const std::vector<Difference>& found) {
  static constexpr const char* kWords[] = {"added", "removed", "changed"};
  Json document = json_document("diff");
  document["old"] = args.words[0];
  document["new"] = args.words[1];
  document["same"] = found.empty();
  Json differences = Json::array();
  for (const Difference& difference : found) {
    Json entry{{"change", kWords[static_cast<int>(difference.kind)]},
               {"name", shown_name(difference.shown)}};
    if (difference.kind != Difference::Kind::added) {
      entry["old_size"] = difference.old_size;
    }
    if (difference.kind != Difference::Kind::removed) {
      entry["new_size"] = difference.new_size;
    }
    differences.push_back(std::move(entry));
  }
  document["differences"] = std::move(differences);
  return document;
}

}  // namespace

int diff_archives(Tool& tool, const Arguments& args) {
  const Expected<ArchiveView> old_view = read_archive_view(tool.fs, args.words[0]);
  if (!old_view) {
    return tool.fail(old_view.failure());
  }
  const Expected<ArchiveView> new_view = read_archive_view(tool.fs, args.words[1]);
  if (!new_view) {
    return tool.fail(new_view.failure());
  }
  const std::vector<Difference> found = differences(contents_of(*old_view), contents_of(*new_view));
  if (args.json) {
    print_json(difference_document(args, found));
  } else {
    std::ranges::for_each(found, print_difference);
  }
  return found.empty() ? kSucceeded : kDiffers;
}

}  // namespace vexal::fs_tool
