#include "support/archive_builder.h"

namespace vexal::test {

std::string le32(std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) {
    bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return bytes;
}

std::string le16(std::uint16_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

void put_le32(std::string& file, std::size_t at, std::uint32_t value) {
  file.replace(at, 4, le32(value));
}

void put_le16(std::string& file, std::size_t at, std::uint16_t value) {
  file.replace(at, 2, le16(value));
}

std::uint32_t get_le32(const std::string& file, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(file[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

std::string build_flat(const std::vector<FlatEntryBytes>& entries) {
  std::string directory = le32(static_cast<std::uint32_t>(entries.size()));
  std::string data;
  const std::size_t data_start = 4 + 21 * entries.size();
  for (const FlatEntryBytes& entry : entries) {
    std::string name = entry.name.substr(0, 13);
    name.resize(13, '\0');
    directory += name;
    directory += le32(static_cast<std::uint32_t>(data_start + data.size()));
    directory += le32(static_cast<std::uint32_t>(entry.bytes.size()));
    data += entry.bytes;
  }
  return directory + data;
}

std::string build_two_level(const std::vector<GroupBytes>& groups) {
  std::size_t tables_size = 0;
  for (const GroupBytes& group : groups) {
    tables_size += 2 + 9 * group.items.size();
  }
  const std::size_t tables_start = 8 + 9 * groups.size();
  const std::size_t data_start = tables_start + tables_size;

  std::string directory = le32(static_cast<std::uint32_t>(data_start)) +
                          le32(static_cast<std::uint32_t>(groups.size()));
  std::string tables;
  std::string data;
  for (const GroupBytes& group : groups) {
    std::string name = group.name.substr(0, 5);
    name.resize(5, '_');
    directory += name + le32(static_cast<std::uint32_t>(tables_start + tables.size()));
    tables += le16(static_cast<std::uint16_t>(group.items.size()));
    for (const ItemBytes& item : group.items) {
      tables += item.name.substr(0, 3);
      tables += le32(static_cast<std::uint32_t>(data_start + data.size()));
      tables += le16(static_cast<std::uint16_t>(item.bytes.size()));
      data += item.bytes;
    }
  }
  return directory + tables + data;
}

}  // namespace vexal::test
