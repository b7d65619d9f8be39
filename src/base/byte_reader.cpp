#include "base/byte_reader.h"

#include <cstdio>

namespace vexal {

std::string hex(std::uint64_t value) {
  char text[24] = {};
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::optional<std::span<const std::byte>> bytes_at(std::span<const std::byte> bytes,
                                                   std::uint64_t at, std::uint64_t count) {
  if (at > bytes.size() || count > bytes.size() - at) {
    return std::nullopt;
  }
  return bytes.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(count));
}

std::optional<std::span<const std::byte>> bytes_from(std::span<const std::byte> bytes,
                                                     std::uint64_t at) {
  return at > bytes.size() ? std::nullopt : bytes_at(bytes, at, bytes.size() - at);
}

std::optional<std::uint32_t> read_le(std::span<const std::byte> bytes, std::uint64_t at,
                                     std::size_t width) {
  const auto field = bytes_at(bytes, at, width);
  if (!field || width > 4) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (std::size_t i = width; i > 0; --i) {
    value = (value << 8) | std::to_integer<std::uint32_t>((*field)[i - 1]);
  }
  return value;
}

bool write_le(std::span<std::byte> bytes, std::uint64_t at, std::uint32_t value,
              std::size_t width) {
  if (width > 4 || at > bytes.size() || width > bytes.size() - at) {
    return false;
  }
  for (std::size_t i = 0; i < width; ++i) {
    bytes[static_cast<std::size_t>(at) + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFFu);
  }
  return true;
}

void append_le(std::vector<std::byte>& out, std::uint32_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    out.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFFu));
  }
}

std::optional<std::span<const std::byte>> ByteReader::bytes(std::uint64_t count) {
  const auto taken = bytes_at(bytes_, position_, count);
  if (taken) {
    position_ += count;
  }
  return taken;
}

bool ByteReader::seek(std::uint64_t position) {
  if (position > bytes_.size()) {
    return false;
  }
  position_ = position;
  return true;
}

std::uint64_t ByteReader::remaining() const {
  return position_ < bytes_.size() ? bytes_.size() - position_ : 0;
}

std::optional<std::uint32_t> ByteReader::number(std::size_t width) {
  const auto value = read_le(bytes_, position_, width);
  if (value) {
    position_ += width;
  }
  return value;
}

}  // namespace vexal
