#include "platform/stdio_file.h"

#include <cerrno>
#include <cstring>

namespace vexal {

StdioFile::~StdioFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

IoResult StdioFile::fail_with_errno() {
  const int error = errno;
  reason_ = error == 0 ? std::string() : std::string(std::strerror(error));
  return IoResult::failed(reason_);
}

IoExpected<std::size_t> StdioFile::read(std::span<std::byte> buffer) {
  if (file_ == nullptr) {
    return IoResult::failed({});
  }
  errno = 0;
  const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file_);
  // A stream that stopped short for an error says so; only its end reads as fewer bytes.
  if (std::ferror(file_) != 0) {
    return fail_with_errno();
  }
  return count;
}

IoResult StdioFile::write(std::span<const std::byte> bytes) {
  if (file_ == nullptr) {
    return IoResult::failed({});
  }
  if (bytes.empty()) {
    return {};  // an empty span may hold no pointer, which fwrite must not be given
  }
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    return fail_with_errno();
  }
  return {};
}

IoResult StdioFile::seek(std::uint64_t offset) {
  return file_ != nullptr && seek_stream(file_, offset) ? IoResult() : IoResult::failed({});
}

IoExpected<std::uint64_t> StdioFile::size() {
  if (file_ == nullptr || std::fflush(file_) != 0) {
    return IoResult::failed({});
  }
  return stream_size(file_);
}

IoResult StdioFile::close() {
  if (file_ == nullptr) {
    return IoResult::failed({});
  }
  const bool had_error = std::ferror(file_) != 0;
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) {
    return fail_with_errno();
  }
  return had_error ? IoResult::failed(reason_) : IoResult();
}

}  // namespace vexal
