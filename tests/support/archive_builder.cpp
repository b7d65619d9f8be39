#include "support/archive_builder.h"

namespace vexal::test {

std::string le32(std::uint64_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) {
    bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return bytes;
}

std::string le16(std::uint64_t value) {
  return le32(value).substr(0, 2);
}

std::string build_flat(const std::vector<FlatEntryBytes>& entries) {
  std::string directory = le32(entries.size());
  std::string data;
  const std::size_t data_start = 4 + 21 * entries.size();
  for (const FlatEntryBytes& entry : entries) {
    std::string name = entry.name.substr(0, 13);
    name.resize(13, '\0');
    directory += name + le32(data_start + data.size()) + le32(entry.bytes.size());
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

  std::string directory = le32(data_start) + le32(groups.size());
  std::string tables;
  std::string data;
  for (const GroupBytes& group : groups) {
    std::string name = group.name.substr(0, 5);
    name.resize(5, '_');
    directory += name + le32(tables_start + tables.size());
    tables += le16(group.items.size());
    for (const ItemBytes& item : group.items) {
      tables += item.name.substr(0, 3) + le32(data_start + data.size()) + le16(item.bytes.size());
      data += item.bytes;
    }
  }
  return directory + tables + data;
}

}  // namespace vexal::test
