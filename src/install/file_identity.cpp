#include "install/file_identity.h"

#include <charconv>
#include <vector>

namespace vexal {
namespace {

// FNV-1a, 64 bits: enough to tell a changed archive from the one the tool recorded,
// and the same on every platform.
std::uint64_t hash_bytes(std::uint64_t hash, std::span<const std::byte> bytes) {
  for (const std::byte byte : bytes) {
    hash ^= static_cast<std::uint64_t>(byte);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

// Fails also when the file ends before the buffer is full.
IoResult read_exactly(File& file, std::uint64_t offset, std::span<std::byte> buffer) {
  if (IoResult sought = file.seek(offset); !sought) {
    return sought;
  }
  const IoExpected<std::size_t> count = file.read(buffer);
  if (!count) {
    return count.result();
  }
  return *count == buffer.size() ? IoResult() : IoResult::failed({});
}

template <typename Number>
bool parse_number(std::string_view text, Number& number, int base = 10) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::int64_t time_apart(const FileIdentity& a, const FileIdentity& b) {
  return a.modified > b.modified ? a.modified - b.modified : b.modified - a.modified;
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  // A move onto a FAT drive rounds the time to 2 seconds.
  constexpr std::int64_t kTimeTolerance = 2'000'000'000;
  return a.size == b.size && time_apart(a, b) <= kTimeTolerance && a.edge_hash == b.edge_hash;
}

std::uint64_t edge_hash(std::span<const std::byte> head, std::span<const std::byte> tail) {
  return hash_bytes(hash_bytes(0xcbf29ce484222325ULL, head), tail);
}

std::optional<FileIdentity> identify(FileSystem& fs, const std::string& path, std::string& why) {
  const IoExpected<FileInfo> info = fs.stat(path);
  if (!info) {
    why = info.describe(path, "does not exist");
    return std::nullopt;
  }
  if (info->kind != FileInfo::Kind::file) {
    why = path + (info->kind == FileInfo::Kind::link ? ": is a symbolic link" : ": is not a file");
    return std::nullopt;
  }
  const auto edge =
      static_cast<std::size_t>(std::min<std::uint64_t>(info->size, kIdentityEdgeBytes));
  std::vector<std::byte> head(edge);
  std::vector<std::byte> tail(edge);
  const OpenedFile file = fs.open_read(path);
  if (!file) {
    why = file.describe(path, "cannot be read");
    return std::nullopt;
  }
  IoResult read = read_exactly(**file, 0, head);
  if (read) {
    read = read_exactly(**file, info->size - edge, tail);
  }
  if (!read) {
    why = read.describe(path, "cannot be read");
    return std::nullopt;
  }
  return FileIdentity{info->size, info->modified, edge_hash(head, tail), info->identity};
}

std::string identity_text(const FileIdentity& identity) {
  char hash[17] = {};
  std::to_chars(hash, hash + 16, identity.edge_hash, 16);
  return std::to_string(identity.size) + " " + std::to_string(identity.modified) + " " + hash +
         " " + identity.platform_id;
}

std::optional<FileIdentity> parse_identity(std::string_view text) {
  FileIdentity identity;
  std::string_view fields[3];
  for (std::string_view& field : fields) {
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos) {
      return std::nullopt;
    }
    field = text.substr(0, space);
    text.remove_prefix(space + 1);
  }
  if (!parse_number(fields[0], identity.size) || !parse_number(fields[1], identity.modified) ||
      !parse_number(fields[2], identity.edge_hash, 16)) {
    return std::nullopt;
  }
  identity.platform_id = std::string(text);
  return identity;
}

}  // namespace vexal
