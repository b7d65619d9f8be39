// What diff compares: the entries of two archives matched by name, letter case ignored,
// and the entries added, removed or changed between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "toolkit/fs_tool.h"

namespace vexal::fs_tool {

struct NamedBytes {
  std::string shown;  // the name as the archive holds it, "#N" added to a repeated one
  std::span<const std::byte> bytes;
};

// An archive's entries by upper-cased name. A group's items count one by one, as
// "GROUP\item"; a name met again is told apart by its rank, "name #2", "name #3" (the
// first entry under a name keeps it).
using ArchiveContents = std::map<std::string, NamedBytes>;

[[nodiscard]] ArchiveContents contents_of(const ArchiveView& view);

struct Difference {
  enum class Kind { added, removed, changed };
  Kind kind;
  std::string shown;  // the new entry's name when added, else the old one's
  std::uint64_t old_size = 0;
  std::uint64_t new_size = 0;
};

// The differences in name order: the entries only after, only before, or in both with
// other bytes.
[[nodiscard]] std::vector<Difference> differences(const ArchiveContents& before,
                                                  const ArchiveContents& after);

}  // namespace vexal::fs_tool
