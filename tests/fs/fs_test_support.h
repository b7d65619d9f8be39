// Shared by the tests of the archive engine: the fake file system, and what they read out
// of records (data, entry bytes and names).
#pragma once

#include <string>
#include <vector>

#include "fs/archive_list.h"
#include "support/fake_file_system.h"

namespace vexal::test {

inline std::string data_text(const ArchiveRecord& record) {
  const std::span<const std::byte> bytes = record.bytes();
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

inline std::string entry_bytes(const ArchiveRecord& record, const Entry& entry) {
  return data_text(record).substr(static_cast<std::size_t>(entry.offset),
                                  static_cast<std::size_t>(entry.size));
}

inline std::vector<std::string> entry_names(const ArchiveRecord& record) {
  std::vector<std::string> names;
  for (const Entry& entry : record.entries) {
    names.emplace_back(entry_name(entry));
  }
  return names;
}

}  // namespace vexal::test
