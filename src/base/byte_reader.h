// Little-endian fields of file bytes, read and written with their bounds checked: a read
// that would pass the end of the bytes fails instead, so a damaged file can never make
// the tool read or write outside its buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexal {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::byte> bytes, std::uint64_t position = 0)
      : bytes_(bytes), position_(position) {}

  // Each read moves past what it read; when fewer bytes remain it fails and the position
  // stays where it was.
  std::optional<std::uint32_t> u16() { return number(2); }
  std::optional<std::uint32_t> u32() { return number(4); }
  std::optional<std::span<const std::byte>> bytes(std::uint64_t count);

  // False (and the position unchanged) past the end.
  bool seek(std::uint64_t position);
  std::uint64_t position() const { return position_; }
  std::uint64_t remaining() const;

 private:
  std::optional<std::uint32_t> number(std::size_t width);

  std::span<const std::byte> bytes_;
  std::uint64_t position_;
};

// The count bytes at an offset, or nullopt when they do not all lie inside.
std::optional<std::span<const std::byte>> bytes_at(std::span<const std::byte> bytes,
                                                   std::uint64_t at, std::uint64_t count);
// The bytes from an offset to the end, or nullopt when the offset lies past the end.
std::optional<std::span<const std::byte>> bytes_from(std::span<const std::byte> bytes,
                                                     std::uint64_t at);
// A little-endian number of 1 to 4 bytes at an offset, or nullopt when it does not fit.
std::optional<std::uint32_t> read_le(std::span<const std::byte> bytes, std::uint64_t at,
                                     std::size_t width);

// Writes a little-endian number of 1 to 4 bytes; false when it would not fit.
bool write_le(std::span<std::byte> bytes, std::uint64_t at, std::uint32_t value, std::size_t width);
void append_le(std::vector<std::byte>& out, std::uint32_t value, std::size_t width);

// An offset or size as the explanations of damaged files write it: "0x1A2B".
std::string hex(std::uint64_t value);

}  // namespace vexal
