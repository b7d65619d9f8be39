#include "platform/moves_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string_view>

#include "platform/files_posix.h"
#include "platform/path_lookup_posix.h"

namespace vexal::posix {
namespace {

// On the stack: a move must not fail for want of memory.
constexpr std::size_t kCopyBlock = std::size_t{64} << 10;

MoveResult failed(int error, std::string left_behind = {}) {
  return {error, std::move(left_behind)};
}

// Renames unless the destination exists; false with errno set.
bool rename_exclusive(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return false;
  }
  // A file system that cannot refuse by itself: runs take turns, so looking first does.
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// After a rename that could not be written through to the disk: the file goes back, so
// that a failed move has changed nothing.
MoveResult undo_rename(const std::string& from, const std::string& to, int error) {
  return rename_exclusive(to, from) ? failed(error) : failed(error, "the file is now at " + to);
}

bool copy_contents(int from, int to) {
  std::array<char, kCopyBlock> buffer;
  for (;;) {
    const ssize_t count = ::read(from, buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      return count == 0;
    }
    if (!write_all(to, std::string_view(buffer.data(), static_cast<std::size_t>(count)))) {
      return false;
    }
  }
}

// Gives the copy the bytes, owner, permission bits and last write time of the source,
// written through to the disk; false with errno set.
bool fill_copy(int source, const struct stat& info, int copy) {
  const struct timespec times[2] = {info.st_atim, info.st_mtim};
  // Only root may give a file away, and a file system without owners and permission bits
  // (a FAT drive) refuses to be given them: the copy then has what it may.
  return (::fchown(copy, info.st_uid, info.st_gid) == 0 || errno == EPERM) &&
         (::fchmod(copy, info.st_mode & 07777) == 0 || errno == EPERM) &&
         copy_contents(source, copy) && ::futimens(copy, times) == 0 && ::fsync(copy) == 0;
}

// Deletes a file that a failed move made; names it when it stays.
std::string discard(const std::string& path, std::string_view what) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
    return {};
  }
  return std::string(what) + " " + path + " could not be deleted";
}

// The copy is made under a hidden name that no listing shows and no archive has, so
// that the destination's name never holds a part of the file, whenever the process ends.
MoveResult copy_across(const std::string& from, const std::string& to) {
  FileDescriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (source.get() < 0 || ::fstat(source.get(), &info) != 0) {
    return failed(errno);
  }
  std::string temp = join(folder_of(to), ".vexal-XXXXXX");
  FileDescriptor copy(::mkostemp(temp.data(), O_CLOEXEC));
  if (copy.get() < 0) {
    return failed(errno);
  }
  if (!fill_copy(source.get(), info, copy.get()) || !copy.reset() || !rename_exclusive(temp, to)) {
    const int error = errno;
    return failed(error, discard(temp, "the unfinished copy"));
  }
  // Only a copy that survives a power loss lets the source go.
  if (!sync_folder(folder_of(to)) || ::unlink(from.c_str()) != 0) {
    const int error = errno;
    return failed(error, discard(to, "the copy"));
  }
  // The file is whole and written through at its destination. Should a power loss undo
  // the deletion, a second copy stays at the source, which loses nothing: the move stands
  // whatever this flush says.
  [[maybe_unused]] const bool source_folder_synced = sync_folder(folder_of(from));
  return {};
}

}  // namespace

bool sync_folder(const std::string& folder) {
  const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // Some file systems keep nothing to write for a folder and refuse to be asked.
  return dir.get() >= 0 && (::fsync(dir.get()) == 0 || errno == EINVAL || errno == EOPNOTSUPP);
}

MoveResult move_no_replace(const std::string& from, const std::string& to) {
  struct stat info {};
  if (::stat(from.c_str(), &info) != 0) {
    return failed(errno);
  }
  if (!S_ISREG(info.st_mode)) {
    return failed(EISDIR);  // only files move
  }
  if (rename_exclusive(from, to)) {
    const std::string to_folder = folder_of(to);
    const std::string from_folder = folder_of(from);
    const bool synced =
        sync_folder(to_folder) && (from_folder == to_folder || sync_folder(from_folder));
    return synced ? MoveResult{} : undo_rename(from, to, errno);
  }
  return errno == EXDEV ? copy_across(from, to) : failed(errno);
}

MoveResult rename_in_place(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    return failed(errno);
  }
  return sync_folder(folder_of(to)) ? MoveResult{} : undo_rename(from, to, errno);
}

}  // namespace vexal::posix
