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

std::string held_open_reason(std::string_view system_message) {
  return std::string(system_message) +
         "; another program, such as the game, has the file open: close it and run again";
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

IoResult File::write_from(const MappedBytes& /*source*/, std::span<const std::byte> bytes) {
  return write(bytes);
}

CopyResult FileSystem::append_file(File& target, const std::string& path, std::uint64_t size) {
  const OpenedFile opened = open_read(path);
  if (!opened) {
    return {CopyEnd::source_failed, {}};
  }
  File& source = **opened;
  constexpr std::uint64_t kBlock = std::uint64_t{1} << 20;
  // One byte more than the rest, so that the last read also finds the end.
  std::vector<std::byte> buffer(static_cast<std::size_t>(std::min(size, kBlock) + 1));
  for (std::uint64_t left = size;;) {
    const std::uint64_t wanted = std::min(left, kBlock);
    const IoExpected<std::size_t> count = source.read(
        std::span(buffer).first(static_cast<std::size_t>(wanted == left ? wanted + 1 : wanted)));
    if (!count || *count != wanted) {
      return {CopyEnd::source_failed, {}};
    }
    if (*count > 0) {
      if (IoResult written = target.write(std::span(buffer).first(*count)); !written) {
        return {CopyEnd::target_failed, std::move(written)};
      }
    }
    left -= *count;
    if (left == 0) {
      return {};
    }
  }
}

IoExpected<std::uint64_t> FileSystem::readable_file_size(const std::string& path) {
  const OpenedFile file = open_read(path);
  if (!file) {
    return file.result();
  }
  return (*file)->size();
}

IoExpected<std::shared_ptr<const MappedBytes>> FileSystem::map_read(const std::string& path) {
  const OpenedFile opened = open_read(path);
  if (!opened) {
    return opened.result();
  }
  File& file = **opened;
  const IoExpected<std::uint64_t> size = file.size();
  if (!size) {
    return size.result();
  }
  if (*size > std::numeric_limits<std::size_t>::max()) {
    return IoResult::failed({});
  }
  std::vector<std::byte> bytes;
  bytes.reserve(static_cast<std::size_t>(*size));
  advise_large_buffer(bytes.data(), bytes.capacity());
  bytes.resize(static_cast<std::size_t>(*size));
  // A file that changed since its size was taken is not taken either.
  const IoExpected<std::size_t> count = file.read(bytes);
  if (!count) {
    return count.result();
  }
  if (*count != bytes.size()) {
    return IoResult::failed({});
  }
  return std::shared_ptr<const MappedBytes>(std::make_shared<const OwnedBytes>(std::move(bytes)));
}

IoExpected<std::string> read_whole_file(FileSystem& fs, const std::string& path) {
  const OpenedFile opened = fs.open_read(path);
  if (!opened) {
    return opened.result();
  }
  File& file = **opened;
  const IoExpected<std::uint64_t> expected = file.size();
  std::string text;
  std::array<std::byte, std::size_t{64} * 1024> chunk{};
  for (;;) {
    const IoExpected<std::size_t> count = file.read(chunk);
    if (!count) {
      return count.result();
    }
    if (*count == 0) {
      break;
    }
    text.append(reinterpret_cast<const char*>(chunk.data()), *count);
  }
  // A file that changed while it was read is not taken either.
  if (!expected || text.size() != *expected) {
    return IoResult::failed({});
  }
  return text;
}

}  // namespace vexal
