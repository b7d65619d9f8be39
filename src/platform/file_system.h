// The file system as the tool sees it. Every subsystem reaches files and folders
// through this interface: the native backend (one file per platform) serves real
// runs, and tests substitute an in-memory fake that can fail chosen operations.
//
// Paths are composed by the system with "\" as separator and passed here as they
// were composed; each backend maps them onto its operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/io_result.h"

namespace vexal {

class Settings;

class MappedBytes;

// How appending one file to another ended.
enum class CopyEnd { copied, source_failed, target_failed };
struct [[nodiscard]] CopyResult {
  CopyEnd end = CopyEnd::copied;
  IoResult target;  // why the target could not be written, when it could not
};

// An open file, closed when destroyed. Reads and writes are buffered by the backend.
class File {
 public:
  virtual ~File() = default;
  // Reads up to buffer.size() bytes; returns how many were read, fewer only at the end
  // of the file, and 0 only there. A failure when the file could not be read: a read
  // error never passes for the end of the file.
  virtual IoExpected<std::size_t> read(std::span<std::byte> buffer) = 0;
  // Writes all bytes; fails when any could not be written.
  virtual IoResult write(std::span<const std::byte> bytes) = 0;
  // Writes bytes that lie inside source. A backend may copy them inside the operating
  // system from the file behind source instead of through memory; the default writes them.
  virtual IoResult write_from(const MappedBytes& source, std::span<const std::byte> bytes);
  // Tells the file system the size the file is about to be written to, so that it can
  // allocate the space at once instead of block by block. Only a hint; the default ignores it.
  virtual void expect_size(std::uint64_t /*size*/) {}
  virtual IoResult seek(std::uint64_t offset) = 0;
  // The size of the file in bytes, if it can be known.
  virtual IoExpected<std::uint64_t> size() = 0;
  // Flushes buffered writes to the operating system and closes; fails when that failed.
  virtual IoResult close() = 0;
};

// The whole contents of a file as read-only bytes, valid while the object lives. The
// native backends map the file, so the bytes come straight from the page cache; elsewhere
// (the test fake) they are read into memory owned by the object.
class MappedBytes {
 public:
  virtual ~MappedBytes() = default;
  virtual std::span<const std::byte> bytes() const = 0;
};

// An exclusive lock on a file, released when the object is destroyed (or the process ends).
class FileLock {
 public:
  virtual ~FileLock() = default;
};

struct LockAttempt {
  std::unique_ptr<FileLock> lock;  // set when the lock is held
  bool busy = false;               // without it: another process holds the lock
};

// A file opened for reading or writing.
using OpenedFile = IoExpected<std::unique_ptr<File>>;

struct DirEntry {
  std::string name;  // the long name as stored
  std::uint64_t size = 0;
  bool is_directory = false;
};

enum class ListMode { files_only, directories_included };

// A file that append_file is about to copy: its path and the size it must have.
struct PlannedAppend {
  std::string path;
  std::uint64_t size = 0;
};

// What the file system tells of a path without opening it: enough to know a file again
// in a later run.
struct FileInfo {
  enum class Kind { file, directory, link, other };
  Kind kind = Kind::other;
  std::uint64_t size = 0;
  // The last write time, in nanoseconds since 1970, as fine as the file system keeps it
  // (FAT drives keep 2 seconds). Moves keep it, also across volumes.
  std::int64_t modified = 0;
  // The platform's identity of the file (device and inode, or volume serial and file
  // index): a rename within one volume keeps it, a copy gets a new one.
  std::string identity;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True when the path names an existing file (not a folder).
  virtual bool is_file(const std::string& path) = 0;
  virtual bool is_directory(const std::string& path) = 0;
  // The path itself, not followed when it is a symbolic link (or a Windows reparse
  // point), which is described as a link; a failure when nothing is there or it cannot
  // be examined (its reason tells which).
  virtual IoExpected<FileInfo> stat(const std::string& path) = 0;
  // Writes everything the file at path holds through to the disk, so that it survives a
  // power loss.
  virtual IoResult sync_file(const std::string& path) = 0;
  virtual OpenedFile open_read(const std::string& path) = 0;
  // The size of the file at path if it is one this process may read, as far as the file
  // system tells without opening it; a failure otherwise. A cheap test for many files
  // that are read only later, when opening them may still fail. The default opens the file.
  virtual IoExpected<std::uint64_t> readable_file_size(const std::string& path);
  // Creates or truncates.
  virtual OpenedFile open_write(const std::string& path) = 0;
  // Writes the whole file at path, which must hold exactly `size` bytes, to target, a file
  // this file system opened for writing: source_failed when the file cannot be opened or
  // read or holds more or fewer bytes, target_failed when they cannot all be written. A
  // backend may copy them inside the operating system; the default reads large blocks.
  virtual CopyResult append_file(File& target, const std::string& path, std::uint64_t size);
  // Tells which files append_file will copy next, in this order, so that a backend may open
  // and read them ahead. Only a hint: calls that differ from it are served as without it, and
  // any change made through the file system ends it. The default ignores it.
  virtual void expect_appends(std::vector<PlannedAppend> /*files*/) {}
  // Renames a file; fails when the destination exists. Only files move. The move is
  // durable once it returns true: the folders of both ends are written through to the
  // disk. Between volumes the file is copied under a hidden temporary name in the
  // destination folder, written through, renamed into place and only then deleted at
  // its source, keeping its last write time: whenever the process ends, the destination
  // name holds nothing or the whole file. A failed move leaves the source as it was and
  // no copy behind.
  virtual IoResult move(const std::string& from, const std::string& to) = 0;
  virtual IoResult remove(const std::string& path) = 0;
  // Creates one folder; fails when it exists or its parent does not.
  virtual IoResult make_directory(const std::string& path) = 0;
  // Lists the entries of a folder whose names match the wildcard pattern in the last
  // component ("*", "*.*", "???"), in the file system's order. Hidden and system files
  // are left out; folders only with directories_included. Empty when nothing matches or
  // the folder does not exist; a failure when it exists but cannot be read, or an entry's
  // attributes cannot be (its reason tells which).
  virtual IoExpected<std::vector<DirEntry>> list(const std::string& pattern, ListMode mode) = 0;
  // The current working directory as the platform reports it (no trailing separator
  // except at a root); empty on failure.
  virtual std::string current_directory() = 0;
  // Replaces the whole content of a text file atomically, keeping its permissions, and
  // writes it through to the disk; fails when it cannot be written (the file unchanged)
  // or not through to the disk (the new content in place, but not safe from a power loss).
  virtual IoResult replace_file(const std::string& path, std::string_view contents) = 0;
  // Opens the file, creating it when missing, and locks it exclusively against other
  // processes; with wait, blocks until they release it. Without a lock, busy tells that
  // another process holds it (only when not waiting); otherwise the file could not be
  // created, opened or locked.
  [[nodiscard]] virtual LockAttempt lock_exclusive(const std::string& path, bool wait) = 0;
  // The whole contents of a file; a failure when it cannot be opened or read completely.
  // The default reads the file through open_read.
  virtual IoExpected<std::shared_ptr<const MappedBytes>> map_read(const std::string& path);
  // The operating system's own service for the settings file at the path, or null when
  // settings files are read and written through this interface like any other file.
  virtual std::unique_ptr<Settings> open_native_settings(const std::string& path);
};

// The system's message for a file that another program holds open, with what to do. The
// backends give it as the reason of a failure on such a file.
std::string held_open_reason(std::string_view system_message);

// The backend of the platform the program was built for.
std::unique_ptr<FileSystem> make_native_file_system();

// Reads a whole file; a failure when it cannot be opened or read completely.
IoExpected<std::string> read_whole_file(FileSystem& fs, const std::string& path);

}  // namespace vexal
