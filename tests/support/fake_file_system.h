// An in-memory file system with the rules of the Windows file system the tool was made
// for: "\" and "/" both separate, names match without regard to ASCII case but keep the
// spelling they were created with, and relative paths are taken against the fake's
// current directory. Any drive root ("C:" or "C:\") always exists as a folder.
//
// Fault injection: every mutating call (move, remove, make_directory, replace_file, and
// a file written through open_write when it is closed) takes the next sequence number,
// whether it succeeds or not. fail_operation(n) makes the n-th of them from now fail
// without effect; crash_after(n) lets the n-th complete and then makes every later call
// of a FileSystem or File method throw FakeCrash, as if the process had died there.
// The inspection helpers (contents, files, journal, ...) keep working after a crash.
//
// A file written through open_write appears (or gets its new content) only when it is
// closed or destroyed, as one committed operation; a crash before that leaves no trace.
//
// lock_exclusive creates its file (not counted as a mutating call) and keeps the lock in
// memory until the lock object is destroyed. The fake cannot wait: a lock on a file that
// is held already is refused as busy, waiting or not.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace vexal::test {

// Thrown by every call after a simulated crash. Deliberately not a std::exception, so
// that no handler of the code under test can catch it by accident.
struct FakeCrash {
  std::string after;  // the journal line of the last operation that completed
};

class FakeFileSystem : public FileSystem {
 public:
  explicit FakeFileSystem(std::string current_directory = "C:\\work");

  // --- FileSystem ---
  bool is_file(const std::string& path) override;
  bool is_directory(const std::string& path) override;
  std::unique_ptr<File> open_read(const std::string& path) override;
  std::unique_ptr<File> open_write(const std::string& path) override;
  bool move(const std::string& from, const std::string& to) override;
  bool remove(const std::string& path) override;
  bool make_directory(const std::string& path) override;
  std::vector<DirEntry> list(const std::string& pattern, ListMode mode) override;
  std::string current_directory() override;
  bool replace_file(const std::string& path, std::string_view contents) override;
  // The same text for every failure.
  std::string failure_reason() const override { return "refused by the fake file system"; }
  LockAttempt lock_exclusive(const std::string& path, bool wait) override;

  // --- Setting up (never counted, never failed) ---
  // Creates or overwrites a file, creating its missing parent folders.
  void add_file(const std::string& path, std::string bytes);
  // Creates a folder and its missing parents.
  void add_directory(const std::string& path);
  // A read-only file refuses open_write and replace_file.
  void set_read_only(const std::string& path, bool read_only = true);

  // --- Inspection ---
  std::optional<std::string> contents(const std::string& path) const;
  bool exists(const std::string& path) const;  // file or folder
  // Every file and its bytes, by full path with the spelling as stored ("C:\work\a.txt").
  std::map<std::string, std::string> files() const;
  // The full path with stored spelling for existing parts and given spelling for the rest.
  std::string canonical(const std::string& path) const;

  // --- Faults ---
  void fail_operation(std::uint64_t n);
  void crash_after(std::uint64_t n);
  void clear_faults();
  bool crashed() const { return crashed_; }
  // The number of mutating calls so far.
  std::uint64_t mutation_count() const { return mutations_; }
  // One line per mutating call: "3 move C:\a -> C:\b", with " [failed]" or
  // " [injected failure]" when it had no effect.
  const std::vector<std::string>& journal() const { return journal_; }
  // Consulted by every FileSystem call with its name ("is_file", "is_directory",
  // "open_read", "open_write", "move" (once with each path), "remove", "make_directory",
  // "list", "replace_file", "lock_exclusive", "current_directory" with the folder) and the
  // path as the caller passed it; true makes the call fail without effect (a mutating call
  // still takes its sequence number).
  std::function<bool(std::string_view op, const std::string& path)> fail_if;

 private:
  struct Node {
    std::string name;  // spelling as created
    bool is_directory = false;
    bool read_only = false;
    std::string data;
  };
  class WrittenFile;
  class HeldLock;

  // Upper-cased, "\"-separated absolute key ("C:\WORK\A.TXT"); empty for an unusable path.
  std::string key_of(const std::string& path) const;
  static std::string parent_key(const std::string& key);
  static std::string last_name(const std::string& path);
  bool is_directory_key(const std::string& key) const;
  const Node* find(const std::string& key) const;
  void add_node(const std::string& path, bool directory);

  void check_alive() const;
  bool hook_fails(std::string_view op, const std::string& path) const;
  // Takes the next sequence number; false when that number is to fail.
  bool begin_mutation();
  // Journals the call and arms a pending crash.
  void end_mutation(const std::string& description, bool injected, bool succeeded);
  bool commit_write(const std::string& path, std::string data);
  bool can_write_file(const std::string& key) const;

  std::string current_directory_;
  std::map<std::string, Node> nodes_;
  std::uint64_t mutations_ = 0;
  std::set<std::uint64_t> failing_;
  std::optional<std::uint64_t> crash_at_;
  bool crashed_ = false;
  std::vector<std::string> journal_;
  std::set<std::string> locked_;  // keys of the files locked now
};

}  // namespace vexal::test
