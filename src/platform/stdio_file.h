// A File over a C stream, as the POSIX backend opens its files; stdio_file_posix.cpp
// supplies the 64-bit seek and the size, and PosixStdioFile writes some bytes past the
// stream's buffer. (The Windows backend works with the system's handles: files_win32.h.)
#pragma once

#include <cstdio>
#include <string>

#include "platform/file_system.h"

namespace vexal {

class StdioFile : public File {
 public:
  explicit StdioFile(std::FILE* file) : file_(file) {}
  ~StdioFile() override;
  StdioFile(const StdioFile&) = delete;
  StdioFile& operator=(const StdioFile&) = delete;

  IoExpected<std::size_t> read(std::span<std::byte> buffer) override;
  IoResult write(std::span<const std::byte> bytes) override;
  IoResult seek(std::uint64_t offset) override;
  IoExpected<std::uint64_t> size() override;
  IoResult close() override;

 protected:
  // Null once closed.
  std::FILE* stream() const { return file_; }
  // The failure for the error in errno, remembered: a stream in error fails to close for
  // the reason of the error that put it there.
  IoResult fail_with_errno();

 private:
  std::FILE* file_;
  std::string reason_;
};

// Per platform: moves an open stream to an offset from the start; false when the platform
// cannot address it.
bool seek_stream(std::FILE* file, std::uint64_t offset);

// Per platform: the size of the file behind a flushed stream.
IoExpected<std::uint64_t> stream_size(std::FILE* file);

}  // namespace vexal
