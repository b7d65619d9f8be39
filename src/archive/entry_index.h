// A hash index from entry names, upper-cased, to the position of the first entry of
// that name in an entry table, so that linking finds a name in constant expected time
// with exactly the result of a front-to-back search. It trails the table lazily:
// entries appended since the last lookup are indexed at the next one, and a table that
// shrank or no longer holds the indexed name where the index says is indexed anew.
// Code that reorders or renames entries in place calls clear().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexal {

struct Entry;

class EntryIndex {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // The name of an entry as the index compares it: the bytes up to the terminator,
  // upper-cased, zero-padded to 16.
  struct Key {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool operator==(const Key&) const = default;
  };
  static Key key_of(const Entry& entry);

  // Position of the first entry of the table whose name has the key, or npos.
  std::size_t find_first(const std::vector<Entry>& entries, const Key& key);
  void clear();

 private:
  struct Slot {
    Key key;
    std::uint32_t position_plus_one = 0;  // 0: empty
  };

  void catch_up(const std::vector<Entry>& entries);
  void rebuild(const std::vector<Entry>& entries);
  std::size_t probe(const Key& key) const;

  std::vector<Slot> slots_;  // open addressing, power-of-two size, at most half full
  std::size_t covered_ = 0;  // table entries indexed so far
  std::size_t used_ = 0;     // distinct names in slots_
};

}  // namespace vexal
