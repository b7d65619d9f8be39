#include "archive/entry_index.h"

#include <algorithm>
#include <cstring>

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

}  // namespace

// Every key bit must reach the low bits that pick the slot: names of a game archive
// often differ only in one digit.
std::uint64_t EntryIndex::hash_of(const Key& key) {
  std::uint64_t h = key.low ^ ((key.high << 31) | (key.high >> 33)) * 0x9E3779B97F4A7C15ULL;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDULL;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ULL;
  h ^= h >> 33;
  return h;
}

EntryIndex::Key EntryIndex::key_of(std::string_view name) {
  char bytes[16] = {};
  const std::size_t end = std::min(name.find('\0'), std::min<std::size_t>(name.size(), 16));
  std::memcpy(bytes, name.data(), end);
  return {upper_word(bytes), upper_word(bytes + 8)};
}

void EntryIndex::clear() {
  std::vector<Slot>().swap(slots_);
  covered_ = 0;
}

}  // namespace vexal
