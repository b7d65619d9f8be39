// An in-memory file system with the rules of the Windows file system the tool was made
// for: "\" and "/" both separate, names match without regard to ASCII case but keep the
// spelling they were created with, relative paths are taken against the fake's current
// directory, and any drive root ("C:") exists.
//
// A file written through open_write appears (or gets its new content) when it is closed,
// as one operation. Only files move, as the tool never moves a folder. lock_exclusive
// cannot wait, so a lock that is held already is refused as busy.
//
// Each drive is a volume, which set_capacity may make small. A move between drives goes
// in the steps of the native backends, each asking the hook with the source's path:
// "copy" makes a hidden copy in the destination's folder, with the source's last write
// time and a new identity; "move" renames it into place; "remove" deletes the source. A
// step that fails takes the copy away again.
//
// Faults: every call of the FileSystem and of its files first asks the hook, which may
// let it pass, make it fail without effect (a failed read reads nothing), or let it
// complete and end the process there: every later call throws FakeCrash. The hook may
// change the fake's contents itself. Setting up and inspecting never ask it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace vexal::test {

// Thrown by every call after a simulated crash. Deliberately not a std::exception, so
// that no handler of the code under test can catch it by accident.
struct FakeCrash {};

class FakeFileSystem : public FileSystem {
 public:
  enum class Verdict { pass, fail, crash_after };
  struct Op {
    std::string_view name;  // the method: "open_read", "read", "write", "close", "move", ...
    const std::string& path;
    bool mutates;  // move, copy, remove, make_directory, replace_file, close of a written file
  };
  using Hook = std::function<Verdict(const Op&)>;

  explicit FakeFileSystem(std::string current_directory = "C:\\work");

  bool is_file(const std::string& path) override;
  bool is_directory(const std::string& path) override;
  // A failure's reason is "refused by the fake file system", or that the drive is full.
  IoExpected<FileInfo> stat(const std::string& path) override;
  IoResult sync_file(const std::string& path) override;
  OpenedFile open_read(const std::string& path) override;
  OpenedFile open_write(const std::string& path) override;
  IoResult move(const std::string& from, const std::string& to) override;
  IoResult remove(const std::string& path) override;
  IoResult make_directory(const std::string& path) override;
  IoExpected<std::vector<DirEntry>> list(const std::string& pattern, ListMode mode) override;
  std::string current_directory() override;
  IoResult replace_file(const std::string& path, std::string_view contents) override;
  LockAttempt lock_exclusive(const std::string& path, bool wait) override;

  Hook hook;  // null lets everything pass
  // A new process on the same files: no hook, and calls work again after a crash.
  void restart();

  // Setting up: creates or overwrites, with the missing parent folders.
  void add_file(const std::string& path, std::string bytes);
  void add_directory(const std::string& path);
  // Removes a file, or a folder with everything in it.
  void remove_tree(const std::string& path);
  // Another process, started in another folder.
  void change_directory(std::string path) { current_directory_ = std::move(path); }
  // A read-only file refuses open_write and replace_file.
  void set_read_only(const std::string& path);
  // The files of the drive ("D:") may hold that many bytes together: writes, closes and
  // copies that would pass it fail, as on a full disk.
  void set_capacity(const std::string& drive, std::uint64_t bytes);
  // The drive keeps last write times only to a step (FAT: 2 seconds), rounding them up
  // when a file is written or copied onto it.
  void set_time_rounding(const std::string& drive, std::int64_t step);

  std::optional<std::string> contents(const std::string& path) const;
  bool exists(const std::string& path) const;  // file or folder
  // Every file and its bytes, by full path with the stored spelling ("C:\work\a.txt"),
  // hidden ones too.
  std::map<std::string, std::string> files() const;

 private:
  struct Node {
    std::string name;  // spelling as created
    bool is_directory = false;
    bool read_only = false;
    bool hidden = false;  // left out of listings
    std::string data;
    std::uint64_t id = 0;       // the file's identity: kept by a move, new for a new file
    std::int64_t modified = 0;  // the fake's clock when the bytes were last written
  };
  class FakeFile;
  struct HeldLock;

  // False when the call is to fail; throws FakeCrash once the process has ended.
  bool allow(std::string_view name, const std::string& path, bool mutates = false);
  // Upper-cased, "\"-separated absolute key ("C:\WORK\A.TXT"); empty for an unusable path.
  std::string key_of(const std::string& path) const;
  // The node of a key, a drive root being a folder; null for nothing of that kind there.
  enum class Kind { any, file, folder };
  const Node* find(const std::string& key, Kind kind = Kind::any) const;
  // Done when the key may name a file with size bytes: its folder exists, no folder or
  // read-only file stands there, and the drive has room.
  IoResult writable(const std::string& key, std::uint64_t size) const;
  IoResult commit(const std::string& path, std::string data);
  IoResult move_across(const std::string& from, const std::string& to);
  void rename(const std::string& from_key, const std::string& to_key, std::string name);
  void put(const std::string& path, bool directory, std::string data);
  std::int64_t stored_time(const std::string& key, std::int64_t time) const;

  std::string current_directory_;
  std::map<std::string, Node> nodes_;
  std::set<std::string> locked_;
  std::map<std::string, std::uint64_t> capacity_;  // by upper-case drive
  std::map<std::string, std::int64_t> time_rounding_;
  bool crashed_ = false;
  std::uint64_t next_id_ = 1;
  // The last write time of each write, ten seconds after the one before, so that no two
  // writes look alike to a comparison that allows for the rounding of FAT drives.
  std::int64_t tick() { return clock_ += 10'000'000'001; }
  std::int64_t clock_ = 0;
};

}  // namespace vexal::test
