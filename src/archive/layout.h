// Sizes and limits of the records of both archive layouts, shared by the reader, the
// writer and folder loading.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexal::layout {

inline constexpr std::size_t kFlatHeaderSize = 4;  // entry count
inline constexpr std::size_t kFlatRecordSize = 21;
inline constexpr std::size_t kFlatNameSize = 13;
inline constexpr std::size_t kTwoLevelHeaderSize = 8;  // data start, group count
inline constexpr std::size_t kGroupRecordSize = 9;
inline constexpr std::size_t kGroupNameSize = 5;
inline constexpr std::size_t kItemRecordSize = 9;
inline constexpr std::size_t kItemNameSize = 3;
inline constexpr std::size_t kItemCountSize = 2;
inline constexpr std::uint64_t kMaxFileOffset = 0xFFFFFFFFu;
inline constexpr std::uint64_t kMaxItemCount = 0xFFFF;
inline constexpr std::uint64_t kMaxItemSize = 0xFFFF;

inline constexpr std::uint64_t item_table_size(std::uint64_t item_count) {
  return kItemCountSize + kItemRecordSize * item_count;
}

}  // namespace vexal::layout
