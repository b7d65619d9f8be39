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
  try {
    table.reserve(wanted);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
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

std::optional<std::span<const Item>> group_items(const ArchiveRecord& source, const Entry& group) {
  if (!source.two_level || group.size < layout::kItemCountSize) {
    return std::nullopt;
  }
  const std::uint64_t count = (group.size - layout::kItemCountSize) / layout::kItemRecordSize;
  if (group.first > source.items.size() || count > source.items.size() - group.first) {
    return std::nullopt;
  }
  return std::span<const Item>(source.items).subspan(group.first, count);
}

void ArchiveList::clear() {
  std::vector<ArchiveRecord>().swap(records_);
  slots_by_name_.clear();
  named_records_ = 0;
  unnamed_slots_.clear();
}

Status ArchiveList::append(int& slot) {
  try {
    records_.emplace_back();
  } catch (const std::bad_alloc&) {
    clear();
    return Status::out_of_memory;
  }
  slot = static_cast<int>(records_.size() - 1);
  return Status::ok;
}

ArchiveRecord* ArchiveList::find(std::string_view name) {
  const int slot = find_slot(name);
  return slot < 0 ? nullptr : &records_[static_cast<std::size_t>(slot)];
}

ArchiveRecord* ArchiveList::get(int slot) {
  return slot >= 0 && static_cast<std::size_t>(slot) < records_.size()
             ? &records_[static_cast<std::size_t>(slot)]
             : nullptr;
}

const ArchiveRecord* ArchiveList::get(int slot) const {
  return slot >= 0 && static_cast<std::size_t>(slot) < records_.size()
             ? &records_[static_cast<std::size_t>(slot)]
             : nullptr;
}

int ArchiveList::find_slot(std::string_view name) const {
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (names_equal(records_[i].name, name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void ArchiveList::index_new_records() const {
  const auto index = [this](int slot) {
    slots_by_name_[upper_case(records_[static_cast<std::size_t>(slot)].name)].push_back(slot);
  };
  // A record named since the last lookup joins the lists of its name in slot order.
  std::erase_if(unnamed_slots_, [&](int slot) {
    if (records_[static_cast<std::size_t>(slot)].name.empty()) {
      return false;
    }
    index(slot);
    std::vector<int>& slots =
        slots_by_name_[upper_case(records_[static_cast<std::size_t>(slot)].name)];
    std::sort(slots.begin(), slots.end());
    return true;
  });
  for (; named_records_ < records_.size(); ++named_records_) {
    const int slot = static_cast<int>(named_records_);
    if (records_[named_records_].name.empty()) {
      unnamed_slots_.push_back(slot);
    } else {
      index(slot);
    }
  }
}

std::vector<int> ArchiveList::find_slots(std::string_view name) const {
  index_new_records();
  std::vector<int> found;
  const auto listed = slots_by_name_.find(upper_case(name));
  if (listed != slots_by_name_.end()) {
    for (const int slot : listed->second) {
      // A record renamed since it was indexed no longer counts under its old name.
      if (names_equal(records_[static_cast<std::size_t>(slot)].name, name)) {
        found.push_back(slot);
      }
    }
  }
  return found;
}

Status ArchiveList::guarded(const std::function<Status()>& operation) {
  Status status = Status::out_of_memory;
  try {
    status = operation();
  } catch (const std::bad_alloc&) {
    status = Status::out_of_memory;
  }
  if (status != Status::ok) {
    clear();
  }
  return status;
}

Status ArchiveList::reserve_entries(ArchiveRecord& record, std::size_t n) {
  if (grow_by_blocks(record.entries, n, kEntryBlock)) {
    return Status::ok;
  }
  clear();
  return Status::out_of_memory;
}

Status ArchiveList::link_entry(int target_slot, std::int64_t source_slot,
                               std::int64_t source_entry) {
  const ArchiveRecord* source =
      source_slot >= 0 && source_slot <= INT32_MAX ? get(static_cast<int>(source_slot)) : nullptr;
  if (get(target_slot) == nullptr || source == nullptr || source_entry < 0 ||
      static_cast<std::uint64_t>(source_entry) >= source->entries.size()) {
    clear();
    return Status::programmer_error;
  }
  // Copied before the target may grow: target and source can be the same record.
  const auto name = source->entries[static_cast<std::size_t>(source_entry)].name;

  ArchiveRecord& target = records_[static_cast<std::size_t>(target_slot)];
  Entry wanted;
  wanted.name = name;
  std::size_t position = EntryIndex::npos;
  try {
    position = target.entry_index.find_first(target.entries, EntryIndex::key_of(wanted));
  } catch (const std::exception&) {
    clear();
    return Status::out_of_memory;
  }
  if (position != EntryIndex::npos && target.replace == 0) {
    return Status::ok;
  }
  if (position == EntryIndex::npos) {
    if (const Status status = reserve_entries(target, 1); status != Status::ok) {
      return status;
    }
    position = target.entries.size();
    target.entries.emplace_back();
  }
  Entry& existing = target.entries[position];
  existing.name = name;
  existing.source_archive = static_cast<std::int32_t>(source_slot);
  existing.source_entry = static_cast<std::int32_t>(source_entry);
  return Status::ok;
}

Status ArchiveList::link_archive(int target_slot, std::int64_t source_slot) {
  const ArchiveRecord* source =
      source_slot >= 0 && source_slot <= INT32_MAX ? get(static_cast<int>(source_slot)) : nullptr;
  ArchiveRecord* target = get(target_slot);
  if (target == nullptr || source == nullptr) {
    clear();
    return Status::programmer_error;
  }
  const std::size_t count = source->entries.size();
  if (target->entries.empty()) {
    target->entry_index.clear();
    if (const Status status = reserve_entries(*target, count); status != Status::ok) {
      return status;
    }
    for (std::size_t j = 0; j < count; ++j) {
      Entry link;
      link.name = source->entries[j].name;
      link.source_archive = static_cast<std::int32_t>(source_slot);
      link.source_entry = static_cast<std::int32_t>(j);
      target->entries.push_back(link);
    }
    return Status::ok;
  }
  for (std::size_t j = 0; j < count; ++j) {
    if (const Status status = link_entry(target_slot, source_slot, static_cast<std::int64_t>(j));
        status != Status::ok) {
      return status;
    }
  }
  return Status::ok;
}

}  // namespace vexal
