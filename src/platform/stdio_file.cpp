#include "platform/stdio_file.h"

namespace vexal {

StdioFile::~StdioFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

std::size_t StdioFile::read(std::span<std::byte> buffer) {
  return file_ == nullptr ? 0 : std::fread(buffer.data(), 1, buffer.size(), file_);
}

bool StdioFile::write(std::span<const std::byte> bytes) {
  return file_ != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

bool StdioFile::seek(std::uint64_t offset) {
  return file_ != nullptr && seek_stream(file_, offset);
}

std::optional<std::uint64_t> StdioFile::size() {
  if (file_ == nullptr || std::fflush(file_) != 0) {
    return std::nullopt;
  }
  return stream_size(file_);
}

bool StdioFile::close() {
  if (file_ == nullptr) {
    return false;
  }
  const bool had_error = std::ferror(file_) != 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed && !had_error;
}

}  // namespace vexal
