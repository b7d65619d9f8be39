#include "platform/files_posix.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace vexal::posix {
namespace {

constexpr std::size_t kDirectWriteSize = std::size_t{16} << 10;

// Copies size bytes from in (at offset, or at its position when offset is null) to out
// inside the kernel, as far as it will; returns how many were copied (fewer where the
// file systems do not support it, at the end of in, or on an error).
std::uint64_t copy_in_kernel(int in, off_t* offset, int out, std::uint64_t size) {
  std::uint64_t copied = 0;
  while (copied < size) {
    const ssize_t count = ::copy_file_range(
        in, offset, out, nullptr,
        static_cast<std::size_t>(std::min<std::uint64_t>(size - copied, std::size_t{1} << 30)), 0);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      break;
    }
    copied += static_cast<std::uint64_t>(count);
  }
  return copied;
}

// Copies bytes of a mapped file to fd inside the kernel, as far as it will; returns how
// many were copied.
std::size_t copy_mapped_in_kernel(const MappedFile& source, std::span<const std::byte> bytes,
                                  int fd) {
  const std::span<const std::byte> whole = source.bytes();
  if (whole.empty() || bytes.data() < whole.data() ||
      bytes.data() + bytes.size() > whole.data() + whole.size()) {
    return 0;
  }
  auto offset = static_cast<off_t>(bytes.data() - whole.data());
  return static_cast<std::size_t>(copy_in_kernel(source.descriptor(), &offset, fd, bytes.size()));
}

// Reads until the buffer is full or the file ends; returns how many bytes were read.
std::size_t read_all(int fd, std::span<std::byte> buffer) {
  std::size_t done = 0;
  while (done < buffer.size()) {
    const ssize_t count = ::read(fd, buffer.data() + done, buffer.size() - done);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      break;
    }
    done += static_cast<std::size_t>(count);
  }
  return done;
}

}  // namespace

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

MappedFile::~MappedFile() {
  if (address_ != nullptr) {
    ::munmap(address_, size_);
  }
}

bool PosixStdioFile::write(std::span<const std::byte> bytes) {
  if (bytes.size() < kDirectWriteSize) {
    return StdioFile::write(bytes);
  }
  std::FILE* const file = stream();
  return file != nullptr && std::fflush(file) == 0 &&
         write_all(::fileno(file),
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool PosixStdioFile::write_from(const MappedBytes& source, std::span<const std::byte> bytes) {
  const auto* mapped = dynamic_cast<const MappedFile*>(&source);
  std::FILE* const file = stream();
  if (file == nullptr || mapped == nullptr || bytes.size() < kDirectWriteSize) {
    return write(bytes);
  }
  if (std::fflush(file) != 0) {
    return false;
  }
  return write(bytes.subspan(copy_mapped_in_kernel(*mapped, bytes, ::fileno(file))));
}

CopyResult PosixStdioFile::copy_from(File& source, std::uint64_t size) {
  auto* const from = dynamic_cast<PosixStdioFile*>(&source);
  std::FILE* const file = stream();
  if (from == nullptr || from->stream() == nullptr || file == nullptr) {
    return StdioFile::copy_from(source, size);
  }
  const int in = ::fileno(from->stream());
  if (size < kDirectWriteSize) {
    std::array<std::byte, kDirectWriteSize> buffer;
    const auto bytes = std::span(buffer).first(static_cast<std::size_t>(size));
    if (read_all(in, bytes) != bytes.size()) {
      return CopyResult::source_failed;
    }
    return StdioFile::write(bytes) ? CopyResult::copied : CopyResult::target_failed;
  }
  if (std::fflush(file) != 0) {
    return CopyResult::target_failed;
  }
  // What the kernel leaves (file systems that refuse, a failure it would not name) goes
  // through memory, which tells a failed read from a failed write. The source stream is
  // unbuffered and has read nothing itself, so it reads on from where the kernel stopped.
  const std::uint64_t copied = copy_in_kernel(in, nullptr, ::fileno(file), size);
  return StdioFile::copy_from(source, size - copied);
}

}  // namespace vexal::posix
