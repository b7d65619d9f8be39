// Builds archive file bytes straight from the two layout tables, independently of the
// archive engine, so tests can compare what the engine reads and writes with files
// made by hand, and can damage them field by field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexal::test {

struct FlatEntryBytes {
  std::string name;  // written into the 13-byte name field, zero-filled (cut at 13)
  std::string bytes;
};

struct ItemBytes {
  std::string name;  // exactly three characters
  std::string bytes;
};

struct GroupBytes {
  std::string name;  // padded with '_' to five characters
  std::vector<ItemBytes> items;
};

// A flat archive with the entries in the given order, data contiguous in that order.
std::string build_flat(const std::vector<FlatEntryBytes>& entries);

// A two-level archive: group records, item tables back to back in group order, then
// the item data group by group.
std::string build_two_level(const std::vector<GroupBytes>& groups);

// The low 32 or 16 bits of a value as a little-endian field.
std::string le32(std::uint64_t value);
std::string le16(std::uint64_t value);

}  // namespace vexal::test
