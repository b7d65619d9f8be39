#include "archive/entry_index.h"

#include <array>
#include <bit>
#include <cstring>

namespace vexal {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;

// Clears bit 5 of every byte that is an ASCII lower-case letter, eight at a time.
std::uint64_t upper_word(std::uint64_t word) {
  const std::uint64_t low7 = word & (kOnes * 0x7F);
  const std::uint64_t above_a = low7 + kOnes * (0x80 - 'a');      // bit 7: byte >= 'a'
  const std::uint64_t above_z = low7 + kOnes * (0x80 - 'z' - 1);  // bit 7: byte > 'z'
  const std::uint64_t lower = above_a & ~above_z & ~word & (kOnes * 0x80);
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

// Word by word: the terminator is found and the bytes after it cleared without a loop
// over the bytes.
EntryIndex::Key EntryIndex::key_of(std::span<const char, 16> name_field) {
  static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");
  std::array<std::uint64_t, 2> words{};
  std::memcpy(words.data(), name_field.data(), sizeof words);
  bool ended = false;
  for (std::uint64_t& word : words) {
    // Bit 7 is set in the lowest zero byte (and perhaps in bytes above it, unused here).
    const std::uint64_t zero = (word - kOnes) & ~word & (kOnes * 0x80);
    if (ended) {
      word = 0;
    } else if (zero != 0) {
      word &= ((zero & (~zero + 1)) >> 7) - 1;  // the bytes below the zero byte
      ended = true;
    }
  }
  return {upper_word(words[0]), upper_word(words[1])};
}

void EntryIndex::prefetch(const Key& key) const {
  if (!slots_.empty()) {
    __builtin_prefetch(&slots_[hash_of(key) & (slots_.size() - 1)]);
  }
}

void EntryIndex::clear() {
  decltype(slots_)().swap(slots_);
  covered_ = 0;
}

}  // namespace vexal
