// The files of the POSIX backend: descriptors, the folder of the last file looked up,
// whole files mapped into memory, and streams that write large runs past their buffer,
// copy runs of a mapped file inside the kernel and append whole files.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <string>
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
  // Closes the descriptor held and takes over fd.
  void replace(int fd) {
    reset();
    fd_ = fd;
  }

 private:
  int fd_;
};

// The folder of the last file looked up, kept open, so that each of the thousands of files
// of a source folder is found by its name in it instead of by walking its whole path.
class OpenFolder {
 public:
  struct Place {
    int folder;        // a descriptor, or AT_FDCWD
    const char* name;  // within the folder, or the whole path with AT_FDCWD
  };
  // Where to look up a path in "/" form; valid while the path and this object are.
  Place place_of(const std::string& os_path);
  // Lets go of the folder, whose path may name another folder after a change.
  void forget();

 private:
  std::string path_;
  FileDescriptor fd_;
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
  // With a buffer size, the stream gathers writes in a buffer of that size.
  explicit PosixStdioFile(std::FILE* file, std::size_t buffer_size = 0);
  // Closes the stream before its buffer goes.
  ~PosixStdioFile() override;
  PosixStdioFile(const PosixStdioFile&) = delete;
  PosixStdioFile& operator=(const PosixStdioFile&) = delete;

  IoResult write(std::span<const std::byte> bytes) override;
  // Large runs of a mapped archive are copied by the kernel, as cat does, instead of
  // being faulted into this process only to be copied out again.
  IoResult write_from(const MappedBytes& source, std::span<const std::byte> bytes) override;
  // Copies an open file, which must hold exactly `size` bytes, as the files of source
  // folders are copied: small ones through the stream's buffer, large ones through a
  // block placed at the output's offset within a page. The kernel's own copy is slower
  // here, since an archive's data lie at offsets that do not keep the files' pages aligned.
  CopyResult append_from(int fd, std::uint64_t size);
  // Saves the file system from reserving and mapping the blocks of each write as it comes,
  // a fifth of the time of copying large files.
  void expect_size(std::uint64_t size) override;

 private:
  std::unique_ptr<char[]> buffer_;
  std::unique_ptr<std::byte[]> copy_buffer_;
};

}  // namespace vexal::posix
