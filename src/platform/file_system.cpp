#include "platform/file_system.h"

#include <array>

#include "platform/settings.h"

namespace vexal {

std::unique_ptr<Settings> FileSystem::open_native_settings(const std::string& /*path*/) {
  return nullptr;
}

std::optional<std::string> read_whole_file(FileSystem& fs, const std::string& path) {
  const auto file = fs.open_read(path);
  if (!file) {
    return std::nullopt;
  }
  const std::optional<std::uint64_t> expected = file->size();
  std::string text;
  std::array<std::byte, 64 * 1024> chunk{};
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
