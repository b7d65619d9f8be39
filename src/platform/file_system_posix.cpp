// The file system on POSIX systems. The tool was made for Windows, whose file system
// ignores letter case and whose paths use "\": paths are turned into "/" form and looked
// up without regard to case (path_lookup_posix.h) before they reach the system.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>
#include <unordered_map>

#include "platform/file_system.h"
#include "platform/files_posix.h"
#include "platform/list_pattern.h"
#include "platform/moves_posix.h"
#include "platform/path_lookup_posix.h"

namespace vexal::posix {
namespace {

constexpr std::size_t kWriteBufferSize = std::size_t{256} << 10;

// As root every file can be written, so a file without any write bit stands for the
// read-only attribute of the Windows file system.
bool is_read_only(const struct stat& info) {
  return (info.st_mode & 0222) == 0;
}

// The current umask, which a new file's permissions follow.
mode_t current_umask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// Closing the descriptor releases the lock.
class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}

 private:
  FileDescriptor fd_;
};

// What the last listing found about its files: loading a folder asks whether each of
// them can be read right after listing it, which then costs no system call of its own.
class ListedFiles {
 public:
  struct File {
    mode_t mode;
    uid_t owner;
    std::uint64_t size;
  };
  // Starts over for a listing of the folder, in "/" form as it was given.
  void start(std::string folder) {
    forget();
    folder_ = std::move(folder);
  }
  void add(std::string_view name, const struct stat& info) {
    files_.try_emplace(std::string(name),
                       File{info.st_mode, info.st_uid, static_cast<std::uint64_t>(info.st_size)});
  }
  // The file at a path in "/" form as listed, or null when it was not.
  const File* find(const std::string& os_path) const {
    const std::size_t slash = os_path.rfind('/');
    if (files_.empty() || slash == std::string::npos ||
        std::string_view(os_path).substr(0, slash) != folder_) {
      return nullptr;
    }
    const auto found = files_.find(std::string_view(os_path).substr(slash + 1));
    return found == files_.end() ? nullptr : &found->second;
  }
  // After any change made through the file system.
  void forget() {
    folder_.clear();
    files_.clear();
  }

 private:
  // Looks names up without making a string of each.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
      return std::hash<std::string_view>{}(name);
    }
  };

  std::string folder_;
  std::unordered_map<std::string, File, NameHash, std::equal_to<>> files_;
};

class PosixFileSystem : public FileSystem {
 public:
  bool is_file(const std::string& path) override {
    struct stat info {};
    const auto resolved = resolve_existing_path(path);
    return resolved && stat_path(*resolved, info) && S_ISREG(info.st_mode);
  }

  bool is_directory(const std::string& path) override {
    struct stat info {};
    const auto resolved = resolve_existing_path(path);
    return resolved && stat_path(*resolved, info) && S_ISDIR(info.st_mode);
  }

  IoExpected<FileInfo> stat(const std::string& path) override {
    struct stat info {};
    const auto resolved = resolve_existing_path(path);
    if (!resolved || ::lstat(resolved->c_str(), &info) != 0) {
      return fail(resolved ? errno : ENOENT);
    }
    FileInfo result;
    result.kind = S_ISLNK(info.st_mode)   ? FileInfo::Kind::link
                  : S_ISREG(info.st_mode) ? FileInfo::Kind::file
                  : S_ISDIR(info.st_mode) ? FileInfo::Kind::directory
                                          : FileInfo::Kind::other;
    result.size = static_cast<std::uint64_t>(info.st_size);
    result.modified = std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
    result.identity = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    return result;
  }

  IoResult sync_file(const std::string& path) override {
    const auto resolved = resolve_existing_path(path);
    const FileDescriptor fd(resolved ? ::open(resolved->c_str(), O_RDONLY | O_CLOEXEC) : -1);
    if (fd.get() >= 0 && ::fsync(fd.get()) == 0) {
      return {};
    }
    return fail(resolved ? errno : ENOENT);
  }

  OpenedFile open_read(const std::string& path) override {
    const auto os_path = os_form(path);
    if (!os_path) {
      return fail(ENAMETOOLONG);
    }
    // The path as spelt is tried first: a folder of thousands of files is opened file by
    // file, and looking each one up beforehand would cost as much again.
    std::FILE* file = std::fopen(os_path->c_str(), "rb");
    int error = errno;
    if (file == nullptr && error == ENOENT) {
      if (const auto resolved = resolve_existing(*os_path)) {
        file = std::fopen(resolved->c_str(), "rb");
        error = errno;
      }
    }
    if (file == nullptr) {
      return fail(error);
    }
    // Every reader asks for whole blocks; a stream buffer would only add a copy and the
    // stat that sizes it.
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::unique_ptr<File> result = std::make_unique<PosixStdioFile>(file);
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
      return fail(EISDIR);
    }
    return result;
  }

  // One stat for each of the thousands of files of a folder: the permission bits decide
  // where they plainly allow reading, and access() only where they seem not to (it also
  // knows ACLs and privileges). A file that ACLs or security modules close to this process
  // after all is found out when it is read.
  IoExpected<std::uint64_t> readable_file_size(const std::string& path) override {
    const auto os_path = os_form(path);
    if (!os_path) {
      return fail(ENAMETOOLONG);
    }
    const OpenFolder::Place place = folder_.place_of(*os_path);
    std::optional<std::string> resolved;
    const ListedFiles::File* listed = listed_.find(*os_path);
    ListedFiles::File file{};
    if (listed != nullptr) {
      file = *listed;
    } else {
      // The path as spelt is tried first, as in open_read.
      struct stat info {};
      bool found = ::fstatat(place.folder, place.name, &info, 0) == 0;
      if (!found && errno == ENOENT) {
        resolved = resolve_existing(*os_path);
        found = resolved && stat_path(*resolved, info);
      }
      if (!found || !S_ISREG(info.st_mode)) {
        return fail(found ? EISDIR : ENOENT);
      }
      file = {info.st_mode, info.st_uid, static_cast<std::uint64_t>(info.st_size)};
    }
    if (!bits_allow_reading(file) &&
        (resolved ? ::access(resolved->c_str(), R_OK)
                  : ::faccessat(place.folder, place.name, R_OK, 0)) != 0) {
      return fail(errno);
    }
    return file.size;
  }

  IoExpected<std::shared_ptr<const MappedBytes>> map_read(const std::string& path) override {
    const auto os_path = os_form(path);
    if (!os_path) {
      return fail(ENAMETOOLONG);
    }
    int opened = ::open(os_path->c_str(), O_RDONLY | O_CLOEXEC);
    int error = errno;
    if (opened < 0 && error == ENOENT) {
      if (const auto resolved = resolve_existing(*os_path)) {
        opened = ::open(resolved->c_str(), O_RDONLY | O_CLOEXEC);
        error = errno;
      }
    }
    FileDescriptor fd(opened);
    struct stat info {};
    if (fd.get() < 0) {
      return fail(error);
    }
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
      return fail(EISDIR);
    }
    if (static_cast<std::uint64_t>(info.st_size) > std::numeric_limits<std::size_t>::max()) {
      return fail(EFBIG);
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* address = nullptr;
    if (size != 0) {
      address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
      if (address == MAP_FAILED) {
        return fail(errno);
      }
    }
    auto mapped = std::make_shared<const MappedFile>(fd.release(), info, address, size);
    std::erase_if(mapped_, [](const auto& weak) { return weak.expired(); });
    mapped_.push_back(mapped);
    return std::shared_ptr<const MappedBytes>(std::move(mapped));
  }

  OpenedFile open_write(const std::string& path) override {
    listed_.forget();
    const auto target = resolve_for_writing(path);
    struct stat info {};
    const bool exists = target && stat_path(*target, info);
    if (!target) {
      return fail(ENOENT);
    }
    if (exists && !S_ISREG(info.st_mode)) {
      return fail(EISDIR);
    }
    if (exists && is_read_only(info)) {
      return fail(EACCES);
    }
    // Truncating a mapped file would pull the bytes from under its mapping: an output
    // written over one of its own sources gets a new file instead, and the mapping keeps
    // the old one until it is released.
    if (exists && is_mapped(info) && ::unlink(target->c_str()) != 0) {
      return fail(errno);
    }
    std::FILE* file = std::fopen(target->c_str(), "wb");
    if (file == nullptr) {
      return fail(errno);
    }
    return std::unique_ptr<File>(std::make_unique<PosixStdioFile>(file, kWriteBufferSize));
  }

  CopyResult append_file(File& target, const std::string& path, std::uint64_t size) override {
    auto* const out = dynamic_cast<PosixStdioFile*>(&target);
    const auto os_path = os_form(path);
    if (out == nullptr || !os_path) {
      return FileSystem::append_file(target, path, size);
    }
    // Opened as open_read does, without its checks: a folder fails at the first read.
    const OpenFolder::Place place = folder_.place_of(*os_path);
    int opened = ::openat(place.folder, place.name, O_RDONLY | O_CLOEXEC);
    if (opened < 0 && errno == ENOENT) {
      if (const auto resolved = resolve_existing(*os_path)) {
        opened = ::open(resolved->c_str(), O_RDONLY | O_CLOEXEC);
      }
    }
    const FileDescriptor source(opened);
    if (source.get() < 0) {
      return {CopyEnd::source_failed, {}};
    }
    return out->append_from(source.get(), size);
  }

  IoResult move(const std::string& from, const std::string& to) override {
    folder_.forget();  // it may be the folder moved
    listed_.forget();
    const auto source = resolve_existing_path(from);
    const auto to_os = os_form(to);
    if (!source || !to_os) {
      return fail(source ? ENAMETOOLONG : ENOENT);
    }
    const auto target = resolve_new(*to_os);
    if (!target) {
      return fail(ENOENT);
    }
    if (const auto existing = resolve_existing(*to_os)) {
      // Only the source itself may stand there: the move then changes its letter case.
      if (*existing != *source || *target == *source) {
        return fail(EEXIST);
      }
      return moved(rename_in_place(*source, *target));
    }
    return moved(move_no_replace(*source, *target));
  }

  IoResult remove(const std::string& path) override {
    listed_.forget();
    struct stat info {};
    const auto resolved = resolve_existing_path(path);
    if (!resolved || !stat_path(*resolved, info)) {
      return fail(ENOENT);
    }
    if (S_ISDIR(info.st_mode)) {
      return fail(EISDIR);
    }
    return ::unlink(resolved->c_str()) == 0 ? IoResult() : fail(errno);
  }

  IoResult make_directory(const std::string& path) override {
    listed_.forget();
    const auto os_path = os_form(path);
    if (!os_path) {
      return fail(ENAMETOOLONG);
    }
    if (resolve_existing(*os_path)) {
      return fail(EEXIST);
    }
    const auto target = resolve_new(*os_path);
    if (!target) {
      return fail(ENOENT);
    }
    return ::mkdir(target->c_str(), 0777) == 0 ? IoResult() : fail(errno);
  }

  IoExpected<std::vector<DirEntry>> list(const std::string& pattern, ListMode mode) override {
    std::vector<DirEntry> result;
    const auto os_pattern = os_form(pattern);
    if (!os_pattern) {
      return result;
    }
    const std::size_t slash = os_pattern->rfind('/');
    const std::string wildcard =
        slash == std::string::npos ? *os_pattern : os_pattern->substr(slash + 1);
    listed_.start(folder_of(*os_pattern));
    const auto folder = resolve_existing(folder_of(*os_pattern));
    if (!folder) {
      return result;  // a folder that does not exist holds nothing
    }
    DirHandle dir(*folder);
    if (dir.get() == nullptr) {
      if (errno == ENOTDIR || errno == ENOENT) {
        return result;
      }
      return list_failed(errno, {});
    }
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir.get());
      if (entry == nullptr) {
        if (errno == 0) {
          return result;
        }
        return list_failed(errno, {});
      }
      const std::string_view name = entry->d_name;
      if (name.front() == '.' || !matches_listing_pattern(wildcard, name)) {
        continue;
      }
      struct stat info {};
      if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, 0) != 0) {
        return list_failed(errno, name);
      }
      if (S_ISREG(info.st_mode)) {
        result.push_back(
            DirEntry{std::string(name), static_cast<std::uint64_t>(info.st_size), false});
        listed_.add(name, info);
      } else if (S_ISDIR(info.st_mode) && mode == ListMode::directories_included) {
        result.push_back(DirEntry{std::string(name), 0, true});
      }
    }
  }

  LockAttempt lock_exclusive(const std::string& path, bool wait) override {
    const auto target = resolve_for_writing(path);
    if (!target) {
      return {};
    }
    int opened = ::open(target->c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (opened < 0) {
      // A lock file left in a folder that has since become read-only still locks.
      opened = ::open(target->c_str(), O_RDONLY | O_CLOEXEC);
    }
    FileDescriptor fd(opened);
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
      return {};
    }
    int locked = 0;
    do {
      locked = ::flock(fd.get(), LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      return {nullptr, errno == EWOULDBLOCK};
    }
    return {std::make_unique<PosixFileLock>(fd.release()), false};
  }

  std::string current_directory() override {
    std::error_code error;
    auto path = std::filesystem::current_path(error);
    return error ? std::string{} : path.string();
  }

  IoResult replace_file(const std::string& path, std::string_view contents) override {
    listed_.forget();
    const auto target = resolve_for_writing(path);
    if (!target) {
      return fail(ENOENT);
    }
    struct stat info {};
    const bool existed = stat_path(*target, info);
    if (existed && (!S_ISREG(info.st_mode) || is_read_only(info))) {
      return fail(S_ISREG(info.st_mode) ? EACCES : EISDIR);
    }
    const mode_t mode = existed ? (info.st_mode & 07777) : (0666 & ~current_umask());
    const std::string folder = folder_of(*target);
    std::string temp_name = join(folder, ".vexal-XXXXXX");
    FileDescriptor temp(::mkostemp(temp_name.data(), O_CLOEXEC));
    if (temp.get() < 0) {
      return fail(errno);
    }
    // Root may keep the owner too; anyone else keeps at least the permissions.
    const bool written =
        (!existed || ::fchown(temp.get(), info.st_uid, info.st_gid) == 0 || errno == EPERM) &&
        ::fchmod(temp.get(), mode) == 0 && write_all(temp.get(), contents) &&
        ::fsync(temp.get()) == 0 && temp.reset() &&
        ::rename(temp_name.c_str(), target->c_str()) == 0;
    if (!written) {
      std::string reason = reason_of(errno);
      if (::unlink(temp_name.c_str()) != 0) {
        reason += "; the unfinished copy " + temp_name + " could not be deleted";
      }
      return IoResult::failed(std::move(reason));
    }
    // The new content stands, but until the folder is written through a power loss may
    // bring the old one back: the caller must know that it is not safely written.
    return sync_folder(folder) ? IoResult() : fail(errno);
  }

 private:
  // A busy file is one another program holds open (a running program's file, or a file
  // of a mount in use).
  static std::string reason_of(int error) {
    return error == ETXTBSY || error == EBUSY ? held_open_reason(std::strerror(error))
                                              : std::string(std::strerror(error));
  }
  static IoResult fail(int error) { return IoResult::failed(reason_of(error)); }
  // A move that failed, with what it could not take back.
  static IoResult moved(const MoveResult& result) {
    if (result.error == 0) {
      return {};
    }
    std::string reason = reason_of(result.error);
    if (!result.left_behind.empty()) {
      reason += "; " + result.left_behind;
    }
    return IoResult::failed(std::move(reason));
  }
  // A listing that failed, for the folder or for the entry of that name.
  IoResult list_failed(int error, std::string_view entry) {
    listed_.forget();
    if (entry.empty()) {
      return fail(error);
    }
    return IoResult::failed("the attributes of \"" + std::string(entry) +
                            "\" cannot be read: " + reason_of(error));
  }

  // The owner's bits for the owner; for anyone else only what both group and others may,
  // since this process may belong to the file's group.
  bool bits_allow_reading(const ListedFiles::File& file) const {
    return file.owner == user_ ? (file.mode & S_IRUSR) != 0
                               : (file.mode & (S_IRGRP | S_IROTH)) == (S_IRGRP | S_IROTH);
  }

  bool is_mapped(const struct stat& info) const {
    return std::any_of(mapped_.begin(), mapped_.end(), [&](const auto& weak) {
      const auto mapped = weak.lock();
      return mapped && mapped->is(info);
    });
  }

  std::vector<std::weak_ptr<const MappedFile>> mapped_;
  const uid_t user_ = ::geteuid();
  OpenFolder folder_;
  ListedFiles listed_;
};

}  // namespace
}  // namespace vexal::posix

namespace vexal {

std::unique_ptr<FileSystem> make_native_file_system() {
  return std::make_unique<posix::PosixFileSystem>();
}

}  // namespace vexal
