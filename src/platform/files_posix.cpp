#include "platform/files_posix.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

namespace vexal::posix {
namespace {

constexpr std::size_t kDirectWriteSize = std::size_t{16} << 10;
constexpr std::size_t kCopyBlock = std::size_t{1} << 20;
constexpr std::size_t kPageSize = 4096;

// Copies bytes of a mapped file to fd inside the kernel, as far as it will; returns how
// many were copied (fewer where the file systems do not support it).
std::size_t copy_in_kernel(const MappedFile& source, std::span<const std::byte> bytes, int fd) {
  const std::span<const std::byte> whole = source.bytes();
  if (whole.empty() || bytes.data() < whole.data() ||
      bytes.data() + bytes.size() > whole.data() + whole.size()) {
    return 0;
  }
  auto offset = static_cast<off_t>(bytes.data() - whole.data());
  std::size_t copied = 0;
  while (copied < bytes.size()) {
    const ssize_t count =
        ::copy_file_range(source.descriptor(), &offset, fd, nullptr, bytes.size() - copied, 0);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      break;
    }
    copied += static_cast<std::size_t>(count);
  }
  return copied;
}

// Reads into the buffer, resuming after signals; returns how many bytes were read, or -1
// on an error. A read from a regular file stops short only at its end.
std::int64_t read_some(int fd, std::span<std::byte> buffer) {
  for (;;) {
    const ssize_t count = ::read(fd, buffer.data(), buffer.size());
    if (count >= 0 || errno != EINTR) {
      return count;
    }
  }
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

OpenFolder::Place OpenFolder::place_of(const std::string& os_path) {
  const std::size_t slash = os_path.rfind('/');
  if (slash == std::string::npos || slash + 1 == os_path.size()) {
    return {AT_FDCWD, os_path.c_str()};
  }
  const std::string_view folder(os_path.data(), slash == 0 ? 1 : slash);
  if (fd_.get() < 0 || path_ != folder) {
    path_ = folder;
    fd_.replace(::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  }
  return fd_.get() < 0 ? Place{AT_FDCWD, os_path.c_str()}
                       : Place{fd_.get(), os_path.c_str() + slash + 1};
}

void OpenFolder::forget() {
  fd_.reset();
  path_.clear();
}

MappedFile::~MappedFile() {
  if (address_ != nullptr) {
    ::munmap(address_, size_);
  }
}

IoResult PosixStdioFile::write(std::span<const std::byte> bytes) {
  if (bytes.size() < kDirectWriteSize) {
    return StdioFile::write(bytes);
  }
  std::FILE* const file = stream();
  if (file != nullptr && std::fflush(file) == 0 &&
      write_all(::fileno(file),
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
    return {};
  }
  return fail_with_errno();
}

IoResult PosixStdioFile::write_from(const MappedBytes& source, std::span<const std::byte> bytes) {
  const auto* mapped = dynamic_cast<const MappedFile*>(&source);
  std::FILE* const file = stream();
  if (file == nullptr || mapped == nullptr || bytes.size() < kDirectWriteSize) {
    return write(bytes);
  }
  if (std::fflush(file) != 0) {
    return fail_with_errno();
  }
  return write(bytes.subspan(copy_in_kernel(*mapped, bytes, ::fileno(file))));
}

PosixStdioFile::PosixStdioFile(std::FILE* file, std::size_t buffer_size) : StdioFile(file) {
  // The stream's own allocation would take the file system's block size instead.
  if (buffer_size > 0 && file != nullptr) {
    buffer_ = std::make_unique_for_overwrite<char[]>(buffer_size);
    std::setvbuf(file, buffer_.get(), _IOFBF, buffer_size);
  }
}

PosixStdioFile::~PosixStdioFile() {
  // Only a file given up on a failure, which its owner reports, is still open here.
  [[maybe_unused]] const IoResult closed = close();
}

void PosixStdioFile::expect_size(std::uint64_t size) {
  std::FILE* const file = stream();
  if (file != nullptr && size > 0 && size <= static_cast<std::uint64_t>(INT64_MAX)) {
    // The size stays what is written; where the file system cannot allocate ahead, the
    // writes allocate the space as they go.
    [[maybe_unused]] const int ignored =
        ::fallocate(::fileno(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
  }
}

CopyResult PosixStdioFile::append_from(int fd, std::uint64_t size) {
  std::FILE* const file = stream();
  if (file == nullptr) {
    return {CopyEnd::target_failed, IoResult::failed({})};
  }
  if (size < kDirectWriteSize) {
    std::array<std::byte, kDirectWriteSize + 1> buffer;
    // One byte more than the file should hold: a regular file gives at once what it has.
    if (read_some(fd, std::span(buffer).first(size + 1)) != static_cast<std::int64_t>(size)) {
      return {CopyEnd::source_failed, {}};
    }
    IoResult written = write(std::span(buffer).first(size));
    return {written ? CopyEnd::copied : CopyEnd::target_failed, std::move(written)};
  }
  // The block starts at the output's offset within a page, so that the kernel copies it
  // into the output between equal offsets within pages. Where the output lies a few
  // hundred bytes further into its page than the block (the archive's directory puts the
  // files at such offsets), the processor takes each load for one that depends on a store
  // made just before to an address 4 KiB apart: large files took half as long again, and
  // up to three times as long.
  const int out = ::fileno(file);
  const off_t position = std::fflush(file) == 0 ? ::lseek(out, 0, SEEK_CUR) : -1;
  if (position < 0) {
    return {CopyEnd::target_failed, fail_with_errno()};
  }
  if (!copy_buffer_) {
    copy_buffer_ = std::make_unique_for_overwrite<std::byte[]>(kPageSize + kCopyBlock + 1);
  }
  const auto skip = (static_cast<std::uintptr_t>(position) -
                     reinterpret_cast<std::uintptr_t>(copy_buffer_.get())) %
                    kPageSize;
  const std::span<std::byte> buffer(copy_buffer_.get() + skip, kCopyBlock + 1);
  for (std::uint64_t left = size; left > 0;) {
    // The last read asks for a byte more than is left, to find the end as well.
    const std::size_t wanted = left > kCopyBlock ? kCopyBlock : static_cast<std::size_t>(left);
    const std::size_t asked = left > kCopyBlock ? kCopyBlock : wanted + 1;
    if (read_some(fd, buffer.first(asked)) != static_cast<std::int64_t>(wanted)) {
      return {CopyEnd::source_failed, {}};
    }
    if (!write_all(out, std::string_view(reinterpret_cast<const char*>(buffer.data()), wanted))) {
      return {CopyEnd::target_failed, fail_with_errno()};
    }
    left -= wanted;
  }
  return {};
}

}  // namespace vexal::posix
