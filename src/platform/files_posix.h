// The files of the POSIX backend: descriptors, whole files mapped into memory, and streams
// that write large runs past their buffer and copy runs of a mapped or an open file inside
// the kernel.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

#include "platform/file_system.h"
#include "platform/stdio_file.h"

namespace vexal::posix {

// Writes all bytes, resuming after signals; false on any error.
bool write_all(int fd, std::string_view bytes);

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now; false when the close reported an error.
  bool reset() {
    const bool ok = fd_ < 0 || ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
};

// A whole file mapped read-only, with its descriptor kept open so that its bytes can be
// copied to another file inside the kernel. The tool maps game archives that nothing
// changes during a run; a file cut short while mapped would make reading its lost pages
// raise SIGBUS, which is accepted for the sake of not copying a gigabyte archive into
// fresh memory. The tool's own writes never cut a mapped file (see open_write).
class MappedFile : public MappedBytes {
 public:
  // Takes over fd; address is null for an empty file, which needs no mapping.
  MappedFile(int fd, const struct stat& info, void* address, std::size_t size)
      : fd_(fd), device_(info.st_dev), inode_(info.st_ino), address_(address), size_(size) {}
  ~MappedFile() override;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::span<const std::byte> bytes() const override {
    return {static_cast<const std::byte*>(address_), size_};
  }
  int descriptor() const { return fd_.get(); }
  // True when info describes the mapped file.
  bool is(const struct stat& info) const { return info.st_dev == device_ && info.st_ino == inode_; }

 private:
  FileDescriptor fd_;
  dev_t device_;
  ino_t inode_;
  void* address_;
  std::size_t size_;
};

// A stream whose small writes (the entries of a folder of small files) are gathered in
// its buffer, while large ones go straight to the file instead of being copied through it.
class PosixStdioFile : public StdioFile {
 public:
  using StdioFile::StdioFile;
  bool write(std::span<const std::byte> bytes) override;
  // Large runs of a mapped archive are copied by the kernel, as cat does, instead of
  // being faulted into this process only to be copied out again.
  bool write_from(const MappedBytes& source, std::span<const std::byte> bytes) override;
  // The same for another file of this backend, as loose files of a source folder are
  // copied; small ones are read into the stream's buffer, like small writes.
  CopyResult copy_from(File& source, std::uint64_t size) override;
};

}  // namespace vexal::posix
