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

std::string FileSystem::failure_reason() const {
  return {};
}

std::string held_open_reason(std::string_view system_message) {
  return std::string(system_message) +
         "; another program, such as the game, has the file open: close it and run again";
}

namespace {

std::string described(std::string_view what, const std::string& reason, std::string_view fallback) {
  std::string text(what);
  text += ": ";
  text += reason.empty() ? fallback : std::string_view(reason);
  return text;
}

}  // namespace

std::string describe_failure(const FileSystem& fs, std::string_view what,
                             std::string_view fallback) {
  return described(what, fs.failure_reason(), fallback);
}

std::string describe_failure(const File& file, std::string_view what, std::string_view fallback) {
  return described(what, file.failure_reason(), fallback);
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

CopyResult FileSystem::append_file(File& target, const std::string& path, std::uint64_t size) {
  const auto source = open_read(path);
  if (!source) {
    return CopyResult::source_failed;
  }
  constexpr std::uint64_t kBlock = std::uint64_t{1} << 20;
  // One byte more than the rest, so that the last read also finds the end.
  std::vector<std::byte> buffer(static_cast<std::size_t>(std::min(size, kBlock) + 1));
  for (std::uint64_t left = size;;) {
    const std::uint64_t wanted = std::min(left, kBlock);
    const std::optional<std::size_t> count = source->read(
        std::span(buffer).first(static_cast<std::size_t>(wanted == left ? wanted + 1 : wanted)));
    if (count != wanted) {
      return CopyResult::source_failed;
    }
    if (*count > 0 && !target.write(std::span(buffer).first(*count))) {
      return CopyResult::target_failed;
    }
    left -= *count;
    if (left == 0) {
      return CopyResult::copied;
    }
  }
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
  // A file that changed since its size was taken is not taken either.
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
    const std::optional<std::size_t> count = file->read(chunk);
    if (!count) {
      return std::nullopt;
    }
    if (*count == 0) {
      break;
    }
    text.append(reinterpret_cast<const char*>(chunk.data()), *count);
  }
  // A file that changed while it was read is not taken either.
  if (!expected || text.size() != *expected) {
    return std::nullopt;
  }
  return text;
}

}  // namespace vexal
