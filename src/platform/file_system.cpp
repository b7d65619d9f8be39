#include "platform/file_system.h"

#include <algorithm>
#include <array>
#include <limits>

#include "platform/memory.h"
#include "platform/settings.h"

namespace vexal {

std::unique_ptr<Settings> FileSystem::open_native_settings(const std::string& /*path*/) {
  return nullptr;
}

namespace {

class OwnedBytes : public MappedBytes {
 public:
  explicit OwnedBytes(std::vector<std::byte> bytes) : bytes_(std::move(bytes)) {}
  std::span<const std::byte> bytes() const override { return bytes_; }

 private:
  std::vector<std::byte> bytes_;
};

}  // namespace

bool File::write_from(const MappedBytes& /*source*/, std::span<const std::byte> bytes) {
  return write(bytes);
}

CopyResult File::copy_from(File& source, std::uint64_t size) {
  constexpr std::uint64_t kBlock = std::uint64_t{1} << 20;
  std::vector<std::byte> buffer(static_cast<std::size_t>(std::min(size, kBlock)));
  while (size > 0) {
    const auto block = std::span(buffer).first(static_cast<std::size_t>(std::min(size, kBlock)));
    if (source.read(block) != block.size()) {
      return CopyResult::source_failed;
    }
    if (!write(block)) {
      return CopyResult::target_failed;
    }
    size -= block.size();
  }
  return CopyResult::copied;
}

std::optional<std::uint64_t> FileSystem::readable_file_size(const std::string& path) {
  const auto file = open_read(path);
  return file ? file->size() : std::nullopt;
}

std::shared_ptr<const MappedBytes> FileSystem::map_read(const std::string& path) {
  const auto file = open_read(path);
  if (!file) {
    return nullptr;
  }
  const std::optional<std::uint64_t> size = file->size();
  if (!size || *size > std::numeric_limits<std::size_t>::max()) {
    return nullptr;
  }
  std::vector<std::byte> bytes;
  bytes.reserve(static_cast<std::size_t>(*size));
  advise_large_buffer(bytes.data(), bytes.capacity());
  bytes.resize(static_cast<std::size_t>(*size));
  // A short read cannot tell the end from an error, so the size decides.
  if (file->read(bytes) != bytes.size()) {
    return nullptr;
  }
  return std::make_shared<const OwnedBytes>(std::move(bytes));
}

std::optional<std::string> read_whole_file(FileSystem& fs, const std::string& path) {
  const auto file = fs.open_read(path);
  if (!file) {
    return std::nullopt;
  }
  const std::optional<std::uint64_t> expected = file->size();
  std::string text;
  std::array<std::byte, std::size_t{64} * 1024> chunk{};
  for (;;) {
    const std::size_t count = file->read(chunk);
    if (count == 0) {
      break;
    }
    text.append(reinterpret_cast<const char*>(chunk.data()), count);
  }
  // A short read cannot tell the end from an error, so the size decides.
  if (!expected || text.size() != *expected) {
    return std::nullopt;
  }
  return text;
}

}  // namespace vexal
