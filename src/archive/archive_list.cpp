#include "archive/archive_list.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "archive/layout.h"
#include "platform/ascii.h"

namespace vexal {
namespace {

constexpr std::size_t kEntryBlock = 1024;

unsigned char upper_ascii(char c) {
  return static_cast<unsigned char>(ascii_upper(c));
}

// Grows the capacity of a table to hold n more elements, in whole blocks and at least
// doubling it, so that appending one element at a time copies each element a constant
// number of times on average (growing by a constant amount would copy the whole table
// every block, quadratic in its size).
template <typename T>
bool grow_by_blocks(std::vector<T>& table, std::size_t n, std::size_t block) {
  if (n <= table.capacity() - table.size()) {
    return true;
  }
  if (n > table.max_size() - table.size()) {
    return false;
  }
  const std::size_t needed = table.size() + n;
  const std::size_t doubled =
      table.capacity() <= table.max_size() / 2 ? 2 * table.capacity() : table.max_size();
  std::size_t wanted = std::max(needed, doubled);
  wanted = wanted <= table.max_size() - block ? (wanted / block + 1) * block : table.max_size();
  table.reserve(wanted);  // wanted is at most max_size: only memory can run out
  return true;
}

}  // namespace

std::string_view entry_name(const Entry& entry) {
  const auto end = std::find(entry.name.begin(), entry.name.end(), '\0');
  return {entry.name.data(), static_cast<std::size_t>(end - entry.name.begin())};
}

void set_entry_name(Entry& entry, std::string_view text) {
  entry.name.fill('\0');
  const std::size_t length = std::min(text.size(), entry.name.size() - 1);
  std::memcpy(entry.name.data(), text.data(), length);
}

int compare_names(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char left = upper_ascii(a[i]);
    const unsigned char right = upper_ascii(b[i]);
    if (left != right) {
      return left < right ? -1 : 1;
    }
  }
  if (a.size() == b.size()) {
    return 0;
  }
  return a.size() < b.size() ? -1 : 1;
}

bool names_equal(std::string_view a, std::string_view b) {
  return compare_names(a, b) == 0;
}

NamedLayout layout_of_name(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  const std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot);
  if (names_equal(extension, ".FS")) {
    return NamedLayout::flat;
  }
  return names_equal(extension, ".FSU") ? NamedLayout::two_level : NamedLayout::none;
}

std::optional<std::span<const Item>> group_items(const SourceArchive& source, const Entry& group) {
  if (!source.two_level || group.size < layout::kItemCountSize) {
    return std::nullopt;
  }
  const std::uint64_t count = (group.size - layout::kItemCountSize) / layout::kItemRecordSize;
  if (group.position > source.items.size() || count > source.items.size() - group.position) {
    return std::nullopt;
  }
  return std::span<const Item>(source.items).subspan(group.position, count);
}

SourceArchive& ArchiveList::add_source(std::string path) {
  if (sources_.size() >= UINT32_MAX) {
    throw std::bad_alloc();  // beyond what a link can name
  }
  auto source = std::make_unique<SourceArchive>();
  source->index = static_cast<std::uint32_t>(sources_.size());
  source_by_path_.try_emplace(upper_case(path), source->index);
  source->path = std::move(path);
  sources_.push_back(std::move(source));
  return *sources_.back();
}

OutputArchive& ArchiveList::add_output(std::string name, bool two_level, bool cd_archive) {
  auto output = std::make_unique<OutputArchive>();
  output->name = std::move(name);
  output->two_level = two_level;
  output->cd_archive = cd_archive;
  outputs_.push_back(std::move(output));
  return *outputs_.back();
}

const SourceArchive* ArchiveList::find_source(std::string_view path) const {
  const auto found = source_by_path_.find(upper_case(path));
  return found == source_by_path_.end() ? nullptr : sources_[found->second].get();
}

bool ArchiveList::owns(const SourceArchive& source) const {
  return source.index < sources_.size() && sources_[source.index].get() == &source;
}

Outcome ArchiveList::reserve_entries(SourceArchive& source, std::size_t n) {
  if (grow_by_blocks(source.entries, n, kEntryBlock)) {
    return {};
  }
  return Failure(Status::out_of_memory);
}

EntryIndex::Key ArchiveList::key_of_link(const OutputArchive& output, std::size_t position) const {
  return EntryIndex::key_of(linked_entry(output.links[position]).name);
}

Outcome ArchiveList::link_entry(OutputArchive& output, const SourceArchive& source,
                                std::size_t entry) {
  if (!owns(source) || entry >= source.entries.size()) {
    return Failure(Status::programmer_error);
  }
  const Link link{source.index, static_cast<std::uint32_t>(entry)};
  const auto key_at = [&](std::size_t position) { return key_of_link(output, position); };
  std::size_t position = EntryIndex::npos;
  try {
    position = output.index.find_first(output.links.size(), key_at,
                                       EntryIndex::key_of(source.entries[entry].name));
  } catch (const std::length_error&) {
    return Failure(Status::out_of_memory);
  }
  if (position == EntryIndex::npos) {
    if (!grow_by_blocks(output.links, 1, kEntryBlock)) {
      return Failure(Status::out_of_memory);
    }
    output.links.push_back(link);
  } else if (output.replace) {
    output.links[position] = link;
  }
  return {};
}

Outcome ArchiveList::link_archive(OutputArchive& output, const SourceArchive& source) {
  if (!owns(source)) {
    return Failure(Status::programmer_error);
  }
  const std::size_t count = source.entries.size();
  if (output.links.empty()) {
    output.index.clear();
    if (!grow_by_blocks(output.links, count, kEntryBlock)) {
      return Failure(Status::out_of_memory);
    }
    for (std::size_t j = 0; j < count; ++j) {
      output.links.push_back({source.index, static_cast<std::uint32_t>(j)});
    }
    return {};
  }
  // At most count links are added: room for them now spares copying the table.
  if (!grow_by_blocks(output.links, count, kEntryBlock)) {
    return Failure(Status::out_of_memory);
  }
  constexpr std::size_t ahead = EntryIndex::kPrefetchAhead;
  for (std::size_t j = 0; j < count; ++j) {
    if (j + ahead < count) {
      output.index.prefetch(EntryIndex::key_of(source.entries[j + ahead].name));
    }
    if (Outcome linked = link_entry(output, source, j); !linked) {
      return linked;
    }
  }
  return {};
}

}  // namespace vexal
