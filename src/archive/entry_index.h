// A hash index from entry names, upper-cased, to the position of the first entry of
// that name in a table, so that linking finds a name in constant expected time with
// exactly the result of a front-to-back search. It holds positions only (4 bytes and a
// 4-byte hash tag a slot): the names are read from the table through key_at(position).
// It trails the table lazily: entries appended since the last lookup are indexed at the
// next one, and a table that shrank or no longer holds the indexed name where the index
// says is indexed anew. Code that reorders or renames entries in place calls clear().
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <vector>

#include "platform/memory.h"

namespace vexal {

class EntryIndex {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // The name of an entry as the index compares it: the bytes of its 16-byte name field
  // up to the terminator, upper-cased, zero-padded to 16.
  struct Key {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool operator==(const Key&) const = default;
  };
  static Key key_of(std::span<const char, 16> name_field);

  // A hint that key is looked up soon: starts loading its first slot from memory, where
  // the slots of a large index wait. Worth it for the key this many lookups ahead.
  void prefetch(const Key& key) const;
  static constexpr std::size_t kPrefetchAhead = 8;

  // Position of the first of the count entries whose key (key_at(position)) is key, or
  // npos. Throws std::length_error for a table of 2^32 - 1 entries or more.
  template <typename KeyAt>
  std::size_t find_first(std::size_t count, const KeyAt& key_at, const Key& key);
  // Forgets every position and frees the slots.
  void clear();

 private:
  struct Slot {
    std::uint32_t position_plus_one = 0;  // 0: empty
    std::uint32_t tag = 0;                // the hash's high half
  };

  static std::uint64_t hash_of(const Key& key);
  template <typename KeyAt>
  std::size_t probe(const KeyAt& key_at, const Key& key, std::uint64_t hash) const;
  template <typename KeyAt>
  void catch_up(std::size_t count, const KeyAt& key_at);

  // Open addressing, power-of-two size, at most half full.
  std::vector<Slot, LargeTableAllocator<Slot>> slots_;
  std::size_t covered_ = 0;  // table entries indexed so far
};

template <typename KeyAt>
std::size_t EntryIndex::probe(const KeyAt& key_at, const Key& key, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  const auto tag = static_cast<std::uint32_t>(hash >> 32);
  std::size_t at = static_cast<std::size_t>(hash) & mask;
  while (slots_[at].position_plus_one != 0 &&
         !(slots_[at].tag == tag && key_at(slots_[at].position_plus_one - 1) == key)) {
    at = (at + 1) & mask;
  }
  return at;
}

template <typename KeyAt>
void EntryIndex::catch_up(std::size_t count, const KeyAt& key_at) {
  if (count >= std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("entry table too large to index");
  }
  if (2 * count > slots_.size()) {
    // Indexed anew at the larger size: reading the table in order costs less than moving
    // each slot, whose name would be read from a random place of the table.
    std::size_t size = 64;
    while (size < 2 * count) {
      size *= 2;
    }
    slots_.assign(size, Slot{});
    covered_ = 0;
  }
  for (; covered_ < count; ++covered_) {
    if (covered_ + kPrefetchAhead < count) {
      prefetch(key_at(covered_ + kPrefetchAhead));
    }
    const Key key = key_at(covered_);
    const std::uint64_t hash = hash_of(key);
    Slot& slot = slots_[probe(key_at, key, hash)];
    if (slot.position_plus_one == 0) {  // a later entry of the same name is never found
      slot = {static_cast<std::uint32_t>(covered_ + 1), static_cast<std::uint32_t>(hash >> 32)};
    }
  }
}

template <typename KeyAt>
std::size_t EntryIndex::find_first(std::size_t count, const KeyAt& key_at, const Key& key) {
  if (covered_ > count) {
    clear();  // the table shrank
  }
  // Only positions inside the table may be read while looking.
  const auto inside = [&](std::size_t position) {
    return position < count ? key_at(position) : Key{~0ULL, ~0ULL};
  };
  if (covered_ < count) {
    catch_up(count, inside);
  }
  if (slots_.empty()) {
    return npos;
  }
  const Slot& slot = slots_[probe(inside, key, hash_of(key))];
  if (slot.position_plus_one != 0) {
    return slot.position_plus_one - 1;
  }
  return npos;
}

}  // namespace vexal
