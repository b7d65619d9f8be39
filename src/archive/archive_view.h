// Reading an archive file for tools that look into archives rather than build them: its
// entries in file order, each a flat entry's bytes or a group's items with theirs, in
// the manner of Go's tar.Reader. The view is read and checked as the builder reads a
// source, and holds the file's bytes (mapped where the platform can) for as long as it
// lives.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_list.h"
#include "base/expected.h"
#include "platform/file_system.h"

namespace vexal {

struct ArchiveView {
  struct Item {
    std::string name;  // three bytes, as in the table
    std::span<const std::byte> bytes;
  };
  struct Member {
    std::string name;                  // up to its terminator
    std::span<const std::byte> bytes;  // a flat entry's bytes
    std::vector<Item> items;           // a group's items
    std::uint64_t size() const;        // of the bytes, or of all the items' bytes
  };
  ArchiveList list;  // holds the bytes
  bool two_level = false;
  std::vector<Member> members;
};

// Reads the archive at path; the layout follows its extension (layout_of_name). Fails
// as read_archive_file does, explained.
Expected<ArchiveView> read_archive_view(FileSystem& fs, const std::string& path);

}  // namespace vexal
