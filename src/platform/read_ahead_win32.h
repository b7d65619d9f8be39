// Files of a folder opened and read ahead of the build's copies (file_system_win32.cpp).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/files_win32.h"

namespace vexal::win32 {

// A planned file as the read-ahead found it.
struct AheadFile {
  enum class State { failed, read, open };
  State state = State::failed;   // failed: it could not be opened or read, or its size differs
  std::vector<std::byte> bytes;  // read: the whole file
  Handle handle;                 // open: a file too large to hold, still to be copied
};

// Under Wine every open and close of a file is a request to the server, which resolves the
// whole path each time: the main thread would wait for each in turn. A thread of its own opens
// the planned files in order, reads and closes the small ones, and keeps at most a few MiB and
// a few handles ahead of the copies. The thread is joined when the object goes. The two
// threads meet on a slim lock and its condition, which Wine serves without its server (the
// standard library's mutex and condition variable wait on events, each wait a request); each
// side wakes the other only when it waits.
class ReadAhead {
 public:
  using Opener = std::function<Handle(const std::string& path)>;
  ReadAhead(std::vector<PlannedAppend> files, Opener open);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next planned file, when it is the one at path with that size; nullopt when the calls
  // leave the plan, which then serves nothing more.
  [[nodiscard]] std::optional<AheadFile> take(const std::string& path, std::uint64_t size);

 private:
  void run();
  void read_all();
  [[nodiscard]] AheadFile fetch(const PlannedAppend& file) const;

  const std::vector<PlannedAppend> files_;
  const Opener open_;
  std::size_t next_ = 0;  // the planned file the next take expects (main thread only)
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
  std::deque<AheadFile> ready_;  // guarded by lock_, as are the fields below
  std::size_t ready_bytes_ = 0;
  bool stop_ = false;
  bool finished_ = false;  // the thread has ended, whether or not it read every file
  bool taker_waits_ = false;
  bool reader_waits_ = false;
  std::thread thread_;  // started last, joined first
};

}  // namespace vexal::win32
