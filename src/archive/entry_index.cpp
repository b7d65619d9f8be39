#include "archive/entry_index.h"

#include <cstring>
#include <limits>
#include <stdexcept>

#include "archive/archive_list.h"

namespace vexal {
namespace {

std::uint64_t upper_word(const char* bytes) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  // Clears bit 5 of every byte that is an ASCII lower-case letter, eight at a time.
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  const std::uint64_t low7 = word & (ones * 0x7F);
  const std::uint64_t above_a = low7 + ones * (0x80 - 'a');      // bit 7: byte >= 'a'
  const std::uint64_t above_z = low7 + ones * (0x80 - 'z' - 1);  // bit 7: byte > 'z'
  const std::uint64_t lower = above_a & ~above_z & ~word & (ones * 0x80);
  return word & ~(lower >> 2);
}

// Every key bit must reach the low bits that pick the slot: names of a game archive
// often differ only in one digit.
std::size_t hash_of(const EntryIndex::Key& key) {
  std::uint64_t h = key.low ^ ((key.high << 31) | (key.high >> 33)) * 0x9E3779B97F4A7C15ULL;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDULL;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ULL;
  h ^= h >> 33;
  return static_cast<std::size_t>(h);
}

}  // namespace

EntryIndex::Key EntryIndex::key_of(const Entry& entry) {
  char bytes[16] = {};
  const std::size_t length = entry_name(entry).size();
  std::memcpy(bytes, entry.name.data(), length);
  return {upper_word(bytes), upper_word(bytes + 8)};
}

void EntryIndex::clear() {
  slots_.clear();
  covered_ = 0;
  used_ = 0;
}

std::size_t EntryIndex::probe(const Key& key) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = hash_of(key) & mask;
  while (slots_[at].position_plus_one != 0 && !(slots_[at].key == key)) {
    at = (at + 1) & mask;
  }
  return at;
}

void EntryIndex::rebuild(const std::vector<Entry>& entries) {
  clear();
  catch_up(entries);
}

void EntryIndex::catch_up(const std::vector<Entry>& entries) {
  if (entries.size() > std::numeric_limits<std::uint32_t>::max() - 1) {
    throw std::length_error("entry table too large to index");
  }
  if (2 * entries.size() > slots_.size()) {
    std::size_t size = 64;
    while (size < 2 * entries.size()) {
      size *= 2;
    }
    std::vector<Slot> old(size);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.position_plus_one != 0) {
        slots_[probe(slot.key)] = slot;
      }
    }
  }
  for (; covered_ < entries.size(); ++covered_) {
    const Key key = key_of(entries[covered_]);
    Slot& slot = slots_[probe(key)];
    if (slot.position_plus_one == 0) {  // a later entry of the same name is never found
      slot = {key, static_cast<std::uint32_t>(covered_ + 1)};
      ++used_;
    }
  }
}

std::size_t EntryIndex::find_first(const std::vector<Entry>& entries, const Key& key) {
  if (covered_ > entries.size()) {
    rebuild(entries);
  } else if (covered_ < entries.size()) {
    catch_up(entries);
  }
  if (slots_.empty()) {
    return npos;
  }
  const Slot& slot = slots_[probe(key)];
  if (slot.position_plus_one == 0) {
    return npos;
  }
  const std::size_t position = slot.position_plus_one - 1;
  if (position < entries.size() && key_of(entries[position]) == key) {
    return position;
  }
  rebuild(entries);  // the table changed under the index
  const Slot& fresh = slots_[probe(key)];
  return fresh.position_plus_one == 0 ? npos : fresh.position_plus_one - 1;
}

}  // namespace vexal
