#include "platform/stdio_file.h"

#include <cerrno>
#include <cstring>

namespace vexal {

StdioFile::~StdioFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

bool StdioFile::fail_with_errno() {
  const int error = errno;
  reason_ = error == 0 ? std::string() : std::string(std::strerror(error));
  return false;
}

std::optional<std::size_t> StdioFile::read(std::span<std::byte> buffer) {
  if (file_ == nullptr) {
    return std::nullopt;
  }
  errno = 0;
  const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file_);
  // A stream that stopped short for an error says so; only its end reads as fewer bytes.
  if (std::ferror(file_) != 0) {
    fail_with_errno();
    return std::nullopt;
  }
  return count;
}

bool StdioFile::write(std::span<const std::byte> bytes) {
  if (file_ == nullptr) {
    return false;
  }
  errno = 0;
  return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() || fail_with_errno();
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
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) {
    fail_with_errno();
  }
  return closed && !had_error;
}

}  // namespace vexal
