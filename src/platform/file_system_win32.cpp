// The file system on Windows: paths go to the ANSI functions as the system composed them.
// Source archives are mapped; files are read and written through their handles in large
// blocks (files_win32.h).
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "platform/file_system.h"
#include "platform/files_win32.h"
#include "platform/list_pattern.h"
#include "platform/moves_win32.h"
#include "platform/path_rules.h"
#include "platform/read_ahead_win32.h"
#include "platform/settings_win32.h"

namespace vexal {
namespace {

using win32::FileId;
using win32::Handle;
using win32::HandleFile;
using win32::MappedFile;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A path the ANSI functions can take whole; anything longer would be cut or refused by
// them in ways that differ from function to function.
bool usable(const std::string& path) {
  return !path.empty() && path.size() < max_path_bytes && path.find('\0') == std::string::npos;
}

DWORD attributes_of(const std::string& path) {
  return usable(path) ? GetFileAttributesA(path.c_str()) : INVALID_FILE_ATTRIBUTES;
}

bool names_file(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool is_read_only(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool names_directory(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class FindHandle {
 public:
  FindHandle(const std::string& pattern, WIN32_FIND_DATAA& data)
      : handle_(FindFirstFileA(pattern.c_str(), &data)) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) {
      FindClose(handle_);
    }
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool found() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool next(WIN32_FIND_DATAA& data) { return FindNextFileA(handle_, &data) != 0; }

 private:
  HANDLE handle_;
};

std::string folder_of(const std::string& path) {
  const std::size_t separator = last_separator(path);
  if (separator == std::string::npos) {
    return ".";
  }
  // "C:\" is the root; "C:" alone would mean the drive's current folder.
  return path.substr(0, separator == 0 || path[separator - 1] == ':' ? separator + 1 : separator);
}

// Writes the whole text to a file that does not yet hold anything else, through to the disk.
bool write_through(const std::string& path, std::string_view contents) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size() &&
                       std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
  return std::fclose(file) == 0 && written;
}

// The identity of the file at path (not of a link's target), or nullopt when the file
// cannot be opened to ask.
std::optional<FileId> id_at(const std::string& path) {
  const Handle handle(CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
  return handle.valid() ? win32::id_of(handle.get()) : std::nullopt;
}

// The volume serial number and file index, or empty when they cannot be told.
std::string identity_of(const std::string& path) {
  const std::optional<FileId> id = id_at(path);
  return id ? std::to_string(id->volume) + ":" + std::to_string(id->index) : std::string{};
}

// Opens an existing file for reading, sharing it with every other use: a source stays open
// while the build and the installation write, move and remove other files, and itself.
// (No FILE_FLAG_SEQUENTIAL_SCAN: Wine's server makes a system call of it at every open, and
// most files are read whole with one call.) A path the ANSI functions cannot take whole
// opens nothing.
Handle open_existing(const std::string& path) {
  if (!usable(path)) {
    return Handle();
  }
  return Handle(CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The path with its last name spelt as the file system stores it (the path as it is when
// nothing is found).
std::string stored_spelling(const std::string& path) {
  WIN32_FIND_DATAA data{};
  const FindHandle find(path, data);
  const std::size_t separator = last_separator(path);
  return find.found() ? path.substr(0, separator + 1) + data.cFileName : path;
}

// A new empty file with a name of its own in the folder of path, or nullopt.
std::optional<std::string> new_temporary_file(const std::string& path) {
  const std::string folder = folder_of(path);
  std::string temp(MAX_PATH, '\0');
  if (folder.size() + 14 > MAX_PATH ||
      GetTempFileNameA(folder.c_str(), "vx", 0, temp.data()) == 0) {
    return std::nullopt;
  }
  temp.resize(temp.find('\0'));
  return temp;
}

// Closing the handle releases the lock.
class Win32FileLock : public FileLock {
 public:
  explicit Win32FileLock(HANDLE handle) : handle_(handle) {}
  ~Win32FileLock() override { CloseHandle(handle_); }
  Win32FileLock(const Win32FileLock&) = delete;
  Win32FileLock& operator=(const Win32FileLock&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

HANDLE open_lock_file(const std::string& path, DWORD access, DWORD disposition) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class Win32FileSystem : public FileSystem {
 public:
  bool is_file(const std::string& path) override { return names_file(attributes_of(path)); }

  bool is_directory(const std::string& path) override {
    return names_directory(attributes_of(path));
  }

  IoExpected<FileInfo> stat(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!usable(path) || GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == 0) {
      return fail(last_error(path));
    }
    FileInfo info;
    const DWORD attributes = data.dwFileAttributes;
    info.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileInfo::Kind::link
                : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FileInfo::Kind::directory
                                                                 : FileInfo::Kind::file;
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // FILETIME counts 100 ns since 1601.
    constexpr std::int64_t kTicksFrom1601To1970 = 116'444'736'000'000'000;
    const auto ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
    info.modified = (ticks - kTicksFrom1601To1970) * 100;
    info.identity = identity_of(path);
    return info;
  }

  IoResult sync_file(const std::string& path) override {
    const HANDLE handle = usable(path)
                              ? CreateFileA(path.c_str(), GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                              : INVALID_HANDLE_VALUE;
    if (handle == INVALID_HANDLE_VALUE) {
      return fail(last_error(path));
    }
    const bool flushed = FlushFileBuffers(handle) != 0;
    const DWORD error = GetLastError();
    CloseHandle(handle);
    return flushed ? IoResult() : fail(error);
  }

  OpenedFile open_read(const std::string& path) override {
    const DWORD attributes = attributes_of(path);
    if (!names_file(attributes)) {
      return fail(attributes == INVALID_FILE_ATTRIBUTES ? last_error(path) : ERROR_ACCESS_DENIED);
    }
    return opened(open_existing(path));
  }

  // The attributes are all Windows tells without opening the file; a file another program
  // holds open without sharing is found out only when it is read. The files of the folder
  // listed last are answered from what the listing found.
  IoExpected<std::uint64_t> readable_file_size(const std::string& path) override {
    const std::size_t separator = last_separator(path);
    if (separator != std::string::npos &&
        std::string_view(path).substr(0, separator) == listed_folder_) {
      if (const auto found = listed_sizes_.find(path.substr(separator + 1));
          found != listed_sizes_.end()) {
        return found->second;
      }
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!usable(path)) {
      return fail(ERROR_FILENAME_EXCED_RANGE);
    }
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == 0) {
      return fail(GetLastError());
    }
    if (!names_file(data.dwFileAttributes)) {
      return fail(ERROR_ACCESS_DENIED);
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  OpenedFile open_write(const std::string& path) override {
    forget_listing();
    // Checked here too: under Wine, root could write a read-only file.
    if (!usable(path) || is_read_only(attributes_of(path))) {
      return fail(usable(path) ? ERROR_ACCESS_DENIED : ERROR_FILENAME_EXCED_RANGE);
    }
    // A mapped file cannot be truncated: an output written over one of its own sources
    // gets a new file under the old one's spelling, and the mapping keeps the old one.
    std::string target = path;
    if (const auto mappings = mappings_of(path); !mappings.empty()) {
      target = stored_spelling(path);
      if (const win32::MoveResult aside = set_aside(path, mappings); aside.error != ERROR_SUCCESS) {
        return moved(aside);
      }
    }
    return opened(
        Handle(CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
  }

  CopyResult append_file(File& target, const std::string& path, std::uint64_t size) override {
    auto* const out = dynamic_cast<HandleFile*>(&target);
    if (out == nullptr) {
      return FileSystem::append_file(target, path, size);
    }
    if (read_ahead_) {
      if (std::optional<win32::AheadFile> ahead = read_ahead_->take(path, size)) {
        return copy_ahead(*out, *ahead, size);
      }
      read_ahead_.reset();
    }
    const Handle source = open_existing(path);
    if (!source.valid()) {
      return {CopyEnd::source_failed, {}};
    }
    return out->append_from(source.get(), size);
  }

  void expect_appends(std::vector<PlannedAppend> files) override {
    read_ahead_.reset();
    if (files.empty()) {
      return;
    }
    try {
      read_ahead_ = std::make_unique<win32::ReadAhead>(std::move(files), open_existing);
    } catch (const std::system_error&) {
      // No thread to be had: the copies open the files themselves, as without the hint.
    }
  }

  IoExpected<std::shared_ptr<const MappedBytes>> map_read(const std::string& path) override {
    Handle file = open_existing(path);
    LARGE_INTEGER size{};
    if (!file.valid() || GetFileSizeEx(file.get(), &size) == 0) {
      return fail(last_error(path));
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > std::numeric_limits<std::size_t>::max()) {
      return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (size.QuadPart == 0) {  // nothing to map, and nothing to lose when it is written over
      return std::shared_ptr<const MappedBytes>(
          std::make_shared<const MappedFile>(Handle(), FileId{}, Handle(), nullptr, 0));
    }
    const std::optional<FileId> id = win32::id_of(file.get());
    Handle section(id ? CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr)
                      : nullptr);
    const void* view =
        section.valid() ? MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (view == nullptr) {
      return fail(GetLastError());
    }
    auto mapped = std::make_shared<MappedFile>(std::move(file), *id, std::move(section), view,
                                               static_cast<std::size_t>(size.QuadPart));
    std::erase_if(mapped_, [](const auto& weak) { return weak.expired(); });
    mapped_.push_back(mapped);
    return std::shared_ptr<const MappedBytes>(std::move(mapped));
  }

  IoResult move(const std::string& from, const std::string& to) override {
    forget_listing();
    if (!usable(from) || !usable(to)) {
      return fail(ERROR_FILENAME_EXCED_RANGE);
    }
    // A mapped file is renamed, but it cannot be deleted: between volumes, once its copy
    // is in place, it is set aside instead.
    const auto mappings = mappings_of(from);
    const win32::MoveResult result = win32::move_no_replace(from, to, [&] {
      if (mappings.empty()) {
        return DeleteFileA(from.c_str()) != 0 ? ERROR_SUCCESS : GetLastError();
      }
      return set_aside(from, mappings).error;
    });
    return moved(result);
  }

  IoResult remove(const std::string& path) override {
    forget_listing();
    if (!usable(path)) {
      return fail(ERROR_FILENAME_EXCED_RANGE);
    }
    // A mapped file cannot be deleted: it goes by another name until its mapping goes.
    if (const auto mappings = mappings_of(path); !mappings.empty()) {
      return is_read_only(attributes_of(path)) ? fail(ERROR_ACCESS_DENIED)
                                               : moved(set_aside(path, mappings));
    }
    return DeleteFileA(path.c_str()) != 0 ? IoResult() : fail(GetLastError());
  }

  IoResult make_directory(const std::string& path) override {
    forget_listing();
    if (usable(path) && CreateDirectoryA(path.c_str(), nullptr) != 0) {
      return {};
    }
    return fail(last_error(path));
  }

  IoExpected<std::vector<DirEntry>> list(const std::string& pattern, ListMode mode) override {
    std::vector<DirEntry> result;
    if (!usable(pattern)) {
      return result;
    }
    // The folder is searched for every name and the pattern applied here: the search's
    // own matching also takes the short 8.3 alias of a long name ("*.FS" would find
    // "MUSIC.FSX" through "MUSIC~1.FS"), and Wine's lacks the rule that "?"s at the end
    // may match nothing, so the names listed would differ from machine to machine.
    const std::size_t separator = last_separator(pattern);
    const std::string_view wildcard = file_name_part(pattern);
    const std::string everything =
        separator == std::string::npos ? "*" : pattern.substr(0, separator + 1) + "*";
    // Forgotten before the search: what it forgets may reset the search's last error.
    forget_listing();
    WIN32_FIND_DATAA data{};
    FindHandle find(everything, data);
    if (!find.found()) {
      const DWORD error = GetLastError();
      // A folder that does not exist holds nothing, nor does a file taken for a folder
      // (which Wine calls an invalid name).
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
          error == ERROR_DIRECTORY || error == ERROR_INVALID_NAME) {
        return result;
      }
      return fail(error);
    }
    const bool remember = separator != std::string::npos;
    if (remember) {
      listed_folder_ = pattern.substr(0, separator);
    }
    do {
      if (const auto entry = listed(data, wildcard, mode)) {
        result.push_back(*entry);
        if (remember && !entry->is_directory) {
          listed_sizes_.emplace(entry->name, entry->size);
        }
      }
    } while (find.next(data));
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) {
      return fail(error);
    }
    return result;
  }

  LockAttempt lock_exclusive(const std::string& path, bool wait) override {
    if (!usable(path)) {
      return {};
    }
    HANDLE handle = open_lock_file(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE) {
      // A lock file left in a folder that has since become read-only still locks.
      handle = open_lock_file(path, GENERIC_READ, OPEN_EXISTING);
    }
    if (handle == INVALID_HANDLE_VALUE) {
      return {};
    }
    auto lock = std::make_unique<Win32FileLock>(handle);
    OVERLAPPED overlapped{};
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (LockFileEx(lock->get(), flags, 0, 1, 0, &overlapped) == 0) {
      return {nullptr, GetLastError() == ERROR_LOCK_VIOLATION};
    }
    return {std::move(lock), false};
  }

  std::string current_directory() override {
    std::string buffer(max_path_bytes, '\0');
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) {
      return {};
    }
    buffer.resize(length);
    return buffer;
  }

  IoResult replace_file(const std::string& path, std::string_view contents) override {
    forget_listing();
    const DWORD attributes = attributes_of(path);
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (!usable(path)) {
      return fail(ERROR_FILENAME_EXCED_RANGE);
    }
    if (existed && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
      return fail(ERROR_ACCESS_DENIED);
    }
    const std::optional<std::string> temp = new_temporary_file(path);
    if (!temp) {
      return fail(GetLastError());
    }
    const bool replaced = write_through(*temp, contents) &&
                          (!existed || SetFileAttributesA(temp->c_str(), attributes) != 0) &&
                          MoveFileExA(temp->c_str(), path.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (replaced) {
      return {};
    }
    std::string reason = win32::reason_of(GetLastError());
    if (DeleteFileA(temp->c_str()) == 0) {
      reason += "; the unfinished copy " + *temp + " could not be deleted";
    }
    return IoResult::failed(std::move(reason));
  }

  std::unique_ptr<Settings> open_native_settings(const std::string& path) override {
    return open_profile_settings(path);
  }

 private:
  // The error of the last system call, or the one for a path the calls were never given.
  static DWORD last_error(const std::string& path) {
    return usable(path) ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
  }
  static IoResult fail(DWORD error) { return IoResult::failed(win32::reason_of(error)); }
  // A move that failed, with what it could not take back; done when it did not fail.
  static IoResult moved(const win32::MoveResult& result) {
    if (result.error == ERROR_SUCCESS) {
      return {};
    }
    std::string reason = win32::reason_of(result.error);
    if (!result.left_behind.empty()) {
      reason += "; " + result.left_behind;
    }
    return IoResult::failed(std::move(reason));
  }
  // The file CreateFile opened, or why it could not.
  static OpenedFile opened(Handle file) {
    if (!file.valid()) {
      return fail(GetLastError());
    }
    return std::unique_ptr<File>(std::make_unique<HandleFile>(std::move(file)));
  }

  // The live mappings of the file at path; none when it is not mapped or not there.
  std::vector<std::shared_ptr<MappedFile>> mappings_of(const std::string& path) {
    std::erase_if(mapped_, [](const auto& weak) { return weak.expired(); });
    std::vector<std::shared_ptr<MappedFile>> found;
    const std::optional<FileId> id = mapped_.empty() ? std::nullopt : id_at(path);
    for (const auto& weak : mapped_) {
      if (auto mapped = weak.lock(); mapped && id && mapped->id() == *id) {
        found.push_back(std::move(mapped));
      }
    }
    return found;
  }

  // Renames the mapped file at path to a hidden temporary name in its folder, deleted when
  // its last mapping goes (or left hidden, out of every listing, if the process dies first).
  [[nodiscard]] static win32::MoveResult set_aside(
      const std::string& path, const std::vector<std::shared_ptr<MappedFile>>& mappings) {
    const std::optional<std::string> temp = new_temporary_file(path);
    if (!temp) {
      return {GetLastError(), {}};
    }
    if (MoveFileExA(path.c_str(), temp->c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
      const DWORD error = GetLastError();
      if (DeleteFileA(temp->c_str()) == 0) {
        return {error, "the temporary file " + *temp + " could not be deleted"};
      }
      return {error, {}};
    }
    if (const DWORD attributes = GetFileAttributesA(temp->c_str());
        attributes != INVALID_FILE_ATTRIBUTES) {
      SetFileAttributesA(temp->c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
    }
    const auto file = std::make_shared<win32::SetAsideFile>(*temp);
    for (const auto& mapped : mappings) {
      mapped->set_aside(file);
    }
    return {};
  }

  // The entry for a found name, or nullopt for names a listing leaves out.
  static std::optional<DirEntry> listed(const WIN32_FIND_DATAA& data, std::string_view wildcard,
                                        ListMode mode) {
    const std::string_view name = data.cFileName;
    const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0 ||
        name == "." || name == ".." || (directory && mode == ListMode::files_only) ||
        !matches_listing_pattern(wildcard, name)) {
      return std::nullopt;
    }
    if (directory) {
      return DirEntry{std::string(name), 0, true};
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return DirEntry{std::string(name), size, false};
  }

  // After any change made through the file system, which may have changed what the last
  // listing found and what was read ahead.
  void forget_listing() {
    listed_folder_.clear();
    listed_sizes_.clear();
    read_ahead_.reset();
  }

  // Copies a file the read-ahead opened or read, as append_file copies one it opens itself.
  static CopyResult copy_ahead(HandleFile& out, win32::AheadFile& file, std::uint64_t size) {
    switch (file.state) {
      case win32::AheadFile::State::failed:
        return {CopyEnd::source_failed, {}};
      case win32::AheadFile::State::open:
        return out.append_from(file.handle.get(), size);
      case win32::AheadFile::State::read:
        break;
    }
    IoResult written = out.write(file.bytes);
    return written ? CopyResult{} : CopyResult{CopyEnd::target_failed, std::move(written)};
  }

  std::vector<std::weak_ptr<MappedFile>> mapped_;
  // What the last listing found: its folder as given, and the sizes of its files by name.
  std::string listed_folder_;
  std::unordered_map<std::string, std::uint64_t> listed_sizes_;
  // The files append_file is told it will copy next, opened and read on a thread of their own.
  std::unique_ptr<win32::ReadAhead> read_ahead_;
};

}  // namespace

std::unique_ptr<FileSystem> make_native_file_system() {
  return std::make_unique<Win32FileSystem>();
}

}  // namespace vexal
