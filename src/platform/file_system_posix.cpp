// The file system on POSIX systems. The tool was made for Windows, whose file system
// ignores letter case and whose paths use "\": paths are turned into "/" form only here,
// and a name that does not exist in the given spelling is looked up again, one component
// at a time, without regard to ASCII case.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/ascii.h"
#include "platform/file_system.h"
#include "platform/list_pattern.h"
#include "platform/path_rules.h"

namespace vexal {
namespace {

// The path as the operating system takes it; nullopt for a path it must not be given.
std::optional<std::string> os_form(const std::string& path) {
  if (path.empty() || path.size() >= max_path_bytes || path.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  std::string result = path;
  for (char& c : result) {
    if (c == '\\') {
      c = '/';
    }
  }
  return result;
}

std::string join(const std::string& base, const std::string& name) {
  if (base.empty()) {
    return name;
  }
  return base.back() == '/' ? base + name : base + "/" + name;
}

bool stat_path(const std::string& path, struct stat& info) {
  return ::stat(path.c_str(), &info) == 0;
}

bool exists(const std::string& path) {
  struct stat info {};
  return stat_path(path, info);
}

class DirHandle {
 public:
  explicit DirHandle(const std::string& path) : dir_(::opendir(path.c_str())) {}
  ~DirHandle() {
    if (dir_ != nullptr) {
      ::closedir(dir_);
    }
  }
  DirHandle(const DirHandle&) = delete;
  DirHandle& operator=(const DirHandle&) = delete;
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

std::optional<std::string> find_ignoring_case(const std::string& folder, const std::string& name) {
  DirHandle dir(folder.empty() ? "." : folder);
  if (dir.get() == nullptr) {
    return std::nullopt;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    if (equal_ignoring_case(entry->d_name, name)) {
      return std::string(entry->d_name);
    }
  }
  return std::nullopt;
}

// The spelling on disk of an existing path.
std::optional<std::string> resolve_existing(const std::string& os_path) {
  if (exists(os_path)) {
    return os_path;
  }
  std::string resolved = os_path.front() == '/' ? "/" : "";
  std::size_t start = 0;
  while (start < os_path.size()) {
    std::size_t end = os_path.find('/', start);
    if (end == std::string::npos) {
      end = os_path.size();
    }
    const std::string component = os_path.substr(start, end - start);
    start = end + 1;
    if (component.empty()) {
      continue;
    }
    const std::string exact = join(resolved, component);
    if (exists(exact)) {
      resolved = exact;
      continue;
    }
    const auto found = find_ignoring_case(resolved, component);
    if (!found) {
      return std::nullopt;
    }
    resolved = join(resolved, *found);
  }
  return resolved;
}

std::optional<std::string> resolve_existing_path(const std::string& path) {
  const auto os_path = os_form(path);
  return os_path ? resolve_existing(*os_path) : std::nullopt;
}

// Where a new entry goes: its existing parent folder, and the name as given.
std::optional<std::string> resolve_new(const std::string& os_path) {
  std::string trimmed = os_path;
  while (trimmed.size() > 1 && trimmed.back() == '/') {
    trimmed.pop_back();
  }
  const std::size_t slash = trimmed.rfind('/');
  const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") {
    return std::nullopt;
  }
  if (slash == std::string::npos) {
    return name;
  }
  const auto parent = resolve_existing(slash == 0 ? "/" : trimmed.substr(0, slash));
  return parent ? std::optional(join(*parent, name)) : std::nullopt;
}

// The operating system's path for writing a file: the existing file in whatever case,
// or a new name in its folder.
std::optional<std::string> resolve_for_writing(const std::string& path) {
  const auto os_path = os_form(path);
  if (!os_path) {
    return std::nullopt;
  }
  if (auto existing = resolve_existing(*os_path)) {
    return existing;
  }
  return resolve_new(*os_path);
}

// As root every file can be written, so a file without any write bit stands for the
// read-only attribute of the Windows file system.
bool is_read_only(const struct stat& info) {
  return (info.st_mode & 0222) == 0;
}

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
  MappedFile(int fd, const struct stat& info, void* address, std::size_t size)
      : fd_(fd), device_(info.st_dev), inode_(info.st_ino), address_(address), size_(size) {}
  ~MappedFile() override {
    if (address_ != nullptr) {
      ::munmap(address_, size_);
    }
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::span<const std::byte> bytes() const override {
    return {static_cast<const std::byte*>(address_), size_};
  }
  int descriptor() const { return fd_.get(); }
  bool is(const struct stat& info) const { return info.st_dev == device_ && info.st_ino == inode_; }

 private:
  FileDescriptor fd_;
  dev_t device_;
  ino_t inode_;
  void* address_;  // null for an empty file, which needs no mapping
  std::size_t size_;
};

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

constexpr std::size_t kDirectWriteSize = std::size_t{16} << 10;
constexpr std::size_t kWriteBufferSize = std::size_t{256} << 10;

class StdioFile : public File {
 public:
  explicit StdioFile(std::FILE* file) : file_(file) {}
  ~StdioFile() override {
    if (file_ != nullptr) {
      std::fclose(file_);
    }
  }
  StdioFile(const StdioFile&) = delete;
  StdioFile& operator=(const StdioFile&) = delete;

  std::size_t read(std::span<std::byte> buffer) override {
    return file_ == nullptr ? 0 : std::fread(buffer.data(), 1, buffer.size(), file_);
  }
  // Small writes (the entries of a folder of small files) are gathered in the stream's
  // buffer; large ones go straight to the file instead of being copied through it.
  bool write(std::span<const std::byte> bytes) override {
    if (file_ == nullptr) {
      return false;
    }
    if (bytes.size() < kDirectWriteSize) {
      return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    }
    return std::fflush(file_) == 0 &&
           write_all(::fileno(file_),
                     std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  // Large runs of a mapped archive are copied by the kernel, as cat does, instead of
  // being faulted into this process only to be copied out again.
  bool write_from(const MappedBytes& source, std::span<const std::byte> bytes) override {
    const auto* mapped = dynamic_cast<const MappedFile*>(&source);
    if (file_ == nullptr || mapped == nullptr || bytes.size() < kDirectWriteSize) {
      return write(bytes);
    }
    if (std::fflush(file_) != 0) {
      return false;
    }
    return write(bytes.subspan(copy_in_kernel(*mapped, bytes, ::fileno(file_))));
  }
  bool seek(std::uint64_t offset) override {
    if (file_ == nullptr ||
        offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
      return false;
    }
    return ::fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
  }
  std::optional<std::uint64_t> size() override {
    struct stat info {};
    if (file_ == nullptr || std::fflush(file_) != 0 || ::fstat(::fileno(file_), &info) != 0) {
      return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
  }
  bool close() override {
    if (file_ == nullptr) {
      return false;
    }
    const bool had_error = std::ferror(file_) != 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed && !had_error;
  }

 private:
  std::FILE* file_;
};

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

std::string folder_of(const std::string& os_path) {
  const std::size_t slash = os_path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : os_path.substr(0, slash);
}

// Makes a rename or a new entry in the folder survive a power loss.
void sync_folder(const std::string& folder) {
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) {
    ::fsync(dir.get());
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

// The current umask, which a new file's permissions follow.
mode_t current_umask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

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

  std::unique_ptr<File> open_read(const std::string& path) override {
    const auto os_path = os_form(path);
    if (!os_path) {
      return nullptr;
    }
    // The path as spelt is tried first: a folder of thousands of files is opened file by
    // file, and looking each one up beforehand would cost as much again.
    std::FILE* file = std::fopen(os_path->c_str(), "rb");
    if (file == nullptr && errno == ENOENT) {
      if (const auto resolved = resolve_existing(*os_path)) {
        file = std::fopen(resolved->c_str(), "rb");
      }
    }
    if (file == nullptr) {
      return nullptr;
    }
    // Every reader asks for whole blocks; a stream buffer would only add a copy and the
    // stat that sizes it.
    std::setvbuf(file, nullptr, _IONBF, 0);
    auto result = std::make_unique<StdioFile>(file);
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
      return nullptr;
    }
    return result;
  }

  std::shared_ptr<const MappedBytes> map_read(const std::string& path) override {
    const auto os_path = os_form(path);
    if (!os_path) {
      return nullptr;
    }
    int opened = ::open(os_path->c_str(), O_RDONLY | O_CLOEXEC);
    if (opened < 0 && errno == ENOENT) {
      if (const auto resolved = resolve_existing(*os_path)) {
        opened = ::open(resolved->c_str(), O_RDONLY | O_CLOEXEC);
      }
    }
    FileDescriptor fd(opened);
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > std::numeric_limits<std::size_t>::max()) {
      return nullptr;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* address = nullptr;
    if (size != 0) {
      address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
      if (address == MAP_FAILED) {
        return nullptr;
      }
    }
    auto mapped = std::make_shared<const MappedFile>(fd.release(), info, address, size);
    std::erase_if(mapped_, [](const auto& weak) { return weak.expired(); });
    mapped_.push_back(mapped);
    return mapped;
  }

  std::unique_ptr<File> open_write(const std::string& path) override {
    const auto target = resolve_for_writing(path);
    struct stat info {};
    const bool exists = target && stat_path(*target, info);
    if (!target || (exists && (!S_ISREG(info.st_mode) || is_read_only(info)))) {
      return nullptr;
    }
    // Truncating a mapped file would pull the bytes from under its mapping: an output
    // written over one of its own sources gets a new file instead, and the mapping keeps
    // the old one until it is released.
    if (exists && is_mapped(info) && ::unlink(target->c_str()) != 0) {
      return nullptr;
    }
    std::FILE* file = std::fopen(target->c_str(), "wb");
    if (file == nullptr) {
      return nullptr;
    }
    std::setvbuf(file, nullptr, _IOFBF, kWriteBufferSize);
    return std::make_unique<StdioFile>(file);
  }

  bool move(const std::string& from, const std::string& to) override {
    const auto source = resolve_existing_path(from);
    const auto to_os = os_form(to);
    if (!source || !to_os) {
      return false;
    }
    if (const auto existing = resolve_existing(*to_os)) {
      // Only the source itself may stand there: the move then changes its letter case.
      const auto target = resolve_new(*to_os);
      return *existing == *source && target && *target != *source &&
             ::rename(source->c_str(), target->c_str()) == 0;
    }
    const auto target = resolve_new(*to_os);
    return target && rename_no_replace(*source, *target);
  }

  bool remove(const std::string& path) override {
    struct stat info {};
    const auto resolved = resolve_existing_path(path);
    return resolved && stat_path(*resolved, info) && !S_ISDIR(info.st_mode) &&
           ::unlink(resolved->c_str()) == 0;
  }

  bool make_directory(const std::string& path) override {
    const auto os_path = os_form(path);
    if (!os_path || resolve_existing(*os_path)) {
      return false;
    }
    const auto target = resolve_new(*os_path);
    return target && ::mkdir(target->c_str(), 0777) == 0;
  }

  std::vector<DirEntry> list(const std::string& pattern, ListMode mode) override {
    std::vector<DirEntry> result;
    const auto os_pattern = os_form(pattern);
    if (!os_pattern) {
      return result;
    }
    const std::size_t slash = os_pattern->rfind('/');
    const std::string wildcard =
        slash == std::string::npos ? *os_pattern : os_pattern->substr(slash + 1);
    const auto folder = resolve_existing(folder_of(*os_pattern));
    if (!folder) {
      return result;
    }
    DirHandle dir(*folder);
    if (dir.get() == nullptr) {
      return result;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string_view name = entry->d_name;
      if (name.front() == '.' || !matches_list_pattern(wildcard, name)) {
        continue;
      }
      struct stat info {};
      if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, 0) != 0) {
        continue;
      }
      if (S_ISREG(info.st_mode)) {
        result.push_back(
            DirEntry{std::string(name), static_cast<std::uint64_t>(info.st_size), false});
      } else if (S_ISDIR(info.st_mode) && mode == ListMode::directories_included) {
        result.push_back(DirEntry{std::string(name), 0, true});
      }
    }
    return result;
  }

  std::string current_directory() override {
    std::error_code error;
    auto path = std::filesystem::current_path(error);
    return error ? std::string{} : path.string();
  }

  bool replace_file(const std::string& path, std::string_view contents) override {
    const auto target = resolve_for_writing(path);
    if (!target) {
      return false;
    }
    struct stat info {};
    const bool existed = stat_path(*target, info);
    if (existed && (!S_ISREG(info.st_mode) || is_read_only(info))) {
      return false;
    }
    const mode_t mode = existed ? (info.st_mode & 07777) : (0666 & ~current_umask());
    const std::string folder = folder_of(*target);
    std::string temp_name = join(folder, ".vexal-XXXXXX");
    FileDescriptor temp(::mkstemp(temp_name.data()));
    if (temp.get() < 0) {
      return false;
    }
    if (existed) {
      // Root may keep the owner too; others keep at least the permissions.
      [[maybe_unused]] const int ignored = ::fchown(temp.get(), info.st_uid, info.st_gid);
    }
    const bool written = ::fchmod(temp.get(), mode) == 0 && write_all(temp.get(), contents) &&
                         ::fsync(temp.get()) == 0 && temp.reset() &&
                         ::rename(temp_name.c_str(), target->c_str()) == 0;
    if (!written) {
      ::unlink(temp_name.c_str());
      return false;
    }
    sync_folder(folder);
    return true;
  }

 private:
  bool is_mapped(const struct stat& info) const {
    return std::any_of(mapped_.begin(), mapped_.end(), [&](const auto& weak) {
      const auto mapped = weak.lock();
      return mapped && mapped->is(info);
    });
  }

  std::vector<std::weak_ptr<const MappedFile>> mapped_;
};

}  // namespace

std::unique_ptr<FileSystem> make_native_file_system() {
  return std::make_unique<PosixFileSystem>();
}

}  // namespace vexal
