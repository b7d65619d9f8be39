#include "platform/moves_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files_posix.h"
#include "platform/path_lookup_posix.h"

namespace vexal::posix {
namespace {

bool copy_contents(int from, int to) {
  std::string buffer(std::size_t{64} * 1024, '\0');
  for (;;) {
    const ssize_t count = ::read(from, buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      return false;
    }
    if (count == 0) {
      return true;
    }
    if (!write_all(to, std::string_view(buffer.data(), static_cast<std::size_t>(count)))) {
      return false;
    }
  }
}

// A move between two file systems: copy, flush to disk, then delete the source. Either
// both steps succeed or the source is left as it was and no copy remains.
bool copy_then_delete(const std::string& from, const std::string& to) {
  struct stat info {};
  if (!stat_path(from, info) || !S_ISREG(info.st_mode)) {
    return false;
  }
  FileDescriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (source.get() < 0) {
    return false;
  }
  FileDescriptor target(
      ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777));
  if (target.get() < 0) {
    return false;
  }
  const bool copied =
      copy_contents(source.get(), target.get()) && ::fsync(target.get()) == 0 && target.reset();
  if (!copied || ::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    return false;
  }
  sync_folder(folder_of(to));
  return true;
}

}  // namespace

void sync_folder(const std::string& folder) {
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) {
    ::fsync(dir.get());
  }
}

bool rename_no_replace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno == EINVAL || errno == ENOSYS) {
    // A file system that cannot refuse on its own; the caller checked the destination.
    if (::rename(from.c_str(), to.c_str()) == 0) {
      return true;
    }
  }
  return errno == EXDEV && copy_then_delete(from, to);
}

}  // namespace vexal::posix
