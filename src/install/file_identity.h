// How the tool knows a file again in a later run: by its size, its last write time and
// a hash of its first and last 64 KiB. Moves keep all three, also across volumes, while
// a patch, a repair or a copy by hand changes at least the time; reading only the edges
// keeps the test cheap for archives of hundreds of megabytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace vexal {

inline constexpr std::size_t kIdentityEdgeBytes = std::size_t{64} * 1024;

struct FileIdentity {
  std::uint64_t size = 0;
  std::int64_t modified = 0;
  std::uint64_t edge_hash = 0;
  // The platform's identity when it was taken. Kept for the user who reads the record:
  // a move across volumes changes it, so it does not decide.
  std::string platform_id;
};

// How far apart the last write times are, in nanoseconds.
std::int64_t time_apart(const FileIdentity& a, const FileIdentity& b);
// Size and hash agree, and the times within the 2 seconds a FAT drive rounds them to.
bool same_file(const FileIdentity& a, const FileIdentity& b);

// The hash of a file's first bytes and last bytes (each at most kIdentityEdgeBytes; they
// overlap in a small file).
std::uint64_t edge_hash(std::span<const std::byte> head, std::span<const std::byte> tail);

// The identity of the regular file at path; nullopt (with why, naming the path) when
// nothing is there, it is a folder or a link, or it cannot be read.
std::optional<FileIdentity> identify(FileSystem& fs, const std::string& path, std::string& why);

// One line of the record: "SIZE TIME HASH PLATFORM_ID".
std::string identity_text(const FileIdentity& identity);
std::optional<FileIdentity> parse_identity(std::string_view text);

}  // namespace vexal
