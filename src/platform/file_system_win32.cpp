// The file system on Windows: paths go to the ANSI functions as the system composed them.
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/file_system.h"
#include "platform/list_pattern.h"
#include "platform/moves_win32.h"
#include "platform/path_rules.h"
#include "platform/settings_win32.h"
#include "platform/stdio_file.h"

namespace vexal {
namespace {

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

// The system's text for an error code, without its closing period and line end.
std::string system_message(DWORD error) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
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

// The volume serial number and file index of the file (not of a link's target), or empty
// when the file cannot be opened to ask.
std::string identity_of(const std::string& path) {
  const HANDLE handle = CreateFileA(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return {};
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!known) {
    return {};
  }
  const std::uint64_t index =
      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(index);
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

  std::optional<FileInfo> stat(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!usable(path) || GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == 0) {
      fail(last_error(path));
      return std::nullopt;
    }
    FileInfo info;
    const DWORD attributes = data.dwFileAttributes;
    info.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileInfo::Kind::link
                : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FileInfo::Kind::directory
                                                                 : FileInfo::Kind::file;
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.modified = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
    info.identity = identity_of(path);
    return info;
  }

  bool sync_file(const std::string& path) override {
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
    return flushed || fail(error);
  }

  std::unique_ptr<File> open_read(const std::string& path) override {
    const DWORD attributes = attributes_of(path);
    if (!names_file(attributes)) {
      return fail_open(attributes == INVALID_FILE_ATTRIBUTES ? last_error(path)
                                                             : ERROR_ACCESS_DENIED);
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    return file == nullptr ? fail_open(GetLastError()) : std::make_unique<StdioFile>(file);
  }

  // The attributes are all Windows tells without opening the file; a file another program
  // holds open without sharing is found out only when it is read.
  std::optional<std::uint64_t> readable_file_size(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!usable(path)) {
      fail(ERROR_FILENAME_EXCED_RANGE);
      return std::nullopt;
    }
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == 0) {
      fail(GetLastError());
      return std::nullopt;
    }
    if (!names_file(data.dwFileAttributes)) {
      fail(ERROR_ACCESS_DENIED);
      return std::nullopt;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  std::unique_ptr<File> open_write(const std::string& path) override {
    // Checked here too: under Wine, root could write a read-only file.
    if (!usable(path) || is_read_only(attributes_of(path))) {
      return fail_open(usable(path) ? ERROR_ACCESS_DENIED : ERROR_FILENAME_EXCED_RANGE);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    return file == nullptr ? fail_open(GetLastError()) : std::make_unique<StdioFile>(file);
  }

  bool move(const std::string& from, const std::string& to) override {
    if (!usable(from) || !usable(to)) {
      return fail(ERROR_FILENAME_EXCED_RANGE);
    }
    const win32::MoveResult result = win32::move_no_replace(from, to);
    if (result.error == ERROR_SUCCESS) {
      return true;
    }
    fail(result.error);
    if (!result.left_behind.empty()) {
      reason_ += "; " + result.left_behind;
    }
    return false;
  }

  bool remove(const std::string& path) override {
    return (usable(path) && DeleteFileA(path.c_str()) != 0) || fail(last_error(path));
  }

  bool make_directory(const std::string& path) override {
    return (usable(path) && CreateDirectoryA(path.c_str(), nullptr) != 0) || fail(last_error(path));
  }

  std::string failure_reason() const override { return reason_; }

  std::optional<std::vector<DirEntry>> list(const std::string& pattern, ListMode mode) override {
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
    WIN32_FIND_DATAA data{};
    FindHandle find(everything, data);
    if (!find.found()) {
      const DWORD error = GetLastError();
      // A folder that does not exist holds nothing.
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
          error == ERROR_DIRECTORY) {
        return result;
      }
      fail(error);
      return std::nullopt;
    }
    do {
      if (const auto entry = listed(data, wildcard, mode)) {
        result.push_back(*entry);
      }
    } while (find.next(data));
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) {
      fail(error);
      return std::nullopt;
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

  bool replace_file(const std::string& path, std::string_view contents) override {
    const DWORD attributes = attributes_of(path);
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (!usable(path)) {
      return fail(ERROR_FILENAME_EXCED_RANGE);
    }
    if (existed && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
      return fail(ERROR_ACCESS_DENIED);
    }
    const std::string folder = folder_of(path);
    std::string temp(MAX_PATH, '\0');
    if (folder.size() + 14 > MAX_PATH) {
      return fail(ERROR_FILENAME_EXCED_RANGE);
    }
    if (GetTempFileNameA(folder.c_str(), "vx", 0, temp.data()) == 0) {
      return fail(GetLastError());
    }
    temp.resize(temp.find('\0'));
    const bool replaced = write_through(temp, contents) &&
                          (!existed || SetFileAttributesA(temp.c_str(), attributes) != 0) &&
                          MoveFileExA(temp.c_str(), path.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!replaced) {
      fail(GetLastError());
      if (DeleteFileA(temp.c_str()) == 0) {
        reason_ += "; the unfinished copy " + temp + " could not be deleted";
      }
    }
    return replaced;
  }

  std::unique_ptr<Settings> open_native_settings(const std::string& path) override {
    return open_profile_settings(path);
  }

 private:
  // The error of the last system call, or the one for a path the calls were never given.
  static DWORD last_error(const std::string& path) {
    return usable(path) ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
  }
  // Remembers the reason for failure_reason; false, as the failed call returns.
  bool fail(DWORD error) {
    reason_ = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
                  ? held_open_reason(system_message(error))
                  : system_message(error);
    return false;
  }
  std::nullptr_t fail_open(DWORD error) {
    fail(error);
    return nullptr;
  }

  // The entry for a found name, or nullopt for names a listing leaves out.
  static std::optional<DirEntry> listed(const WIN32_FIND_DATAA& data, std::string_view wildcard,
                                        ListMode mode) {
    const std::string_view name = data.cFileName;
    const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0 ||
        name == "." || name == ".." || (directory && mode == ListMode::files_only) ||
        !matches_list_pattern(wildcard, name)) {
      return std::nullopt;
    }
    if (directory) {
      return DirEntry{std::string(name), 0, true};
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return DirEntry{std::string(name), size, false};
  }

  std::string reason_;
};

}  // namespace

std::unique_ptr<FileSystem> make_native_file_system() {
  return std::make_unique<Win32FileSystem>();
}

}  // namespace vexal
