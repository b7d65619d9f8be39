#include "platform/files_posix.h"

#include <sys/mman.h>

#include <cerrno>

namespace vexal::posix {
namespace {

constexpr std::size_t kDirectWriteSize = std::size_t{16} << 10;

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
  return write(bytes.subspan(copy_in_kernel(*mapped, bytes, ::fileno(file))));
}

}  // namespace vexal::posix
