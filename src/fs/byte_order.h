// Little-endian field access for the archive layouts. Internal to the archive engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vexal::fs_detail {

// Reads a little-endian unsigned value of `width` bytes; the caller checks the bounds.
inline std::uint32_t read_le(std::span<const std::byte> bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i > 0; --i) {
    value = (value << 8) | std::to_integer<std::uint32_t>(bytes[at + i - 1]);
  }
  return value;
}

inline void write_le(std::span<std::byte> bytes, std::size_t at, std::uint32_t value,
                     std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    bytes[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFFu);
  }
}

inline void append_le(std::vector<std::byte>& out, std::uint32_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    out.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFFu));
  }
}

// Sizes of the records of both layouts.
inline constexpr std::size_t kFlatRecordSize = 21;
inline constexpr std::size_t kFlatNameSize = 13;
inline constexpr std::size_t kGroupRecordSize = 9;
inline constexpr std::size_t kGroupNameSize = 5;
inline constexpr std::size_t kItemRecordSize = 9;
inline constexpr std::size_t kItemNameSize = 3;
inline constexpr std::size_t kItemCountSize = 2;
inline constexpr std::uint64_t kMaxFileOffset = 0xFFFFFFFFu;

inline constexpr std::uint64_t item_table_size(std::uint64_t item_count) {
  return kItemCountSize + kItemRecordSize * item_count;
}

}  // namespace vexal::fs_detail
