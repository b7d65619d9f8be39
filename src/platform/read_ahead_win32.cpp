#include "platform/read_ahead_win32.h"

#include <new>
#include <utility>

namespace vexal::win32 {
namespace {

// Files up to this size are read whole ahead; larger ones are only opened.
constexpr std::uint64_t kReadWhole = std::uint64_t{1} << 20;
// How far the thread may run ahead: bytes held and files (held or open).
constexpr std::size_t kAheadBytes = std::size_t{4} << 20;
constexpr std::size_t kAheadFiles = 64;

class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace

ReadAhead::ReadAhead(std::vector<PlannedAppend> files, Opener open)
    : files_(std::move(files)), open_(std::move(open)), thread_([this] { run(); }) {}

ReadAhead::~ReadAhead() {
  {
    const Locked locked(lock_);
    stop_ = true;
  }
  WakeAllConditionVariable(&changed_);
  thread_.join();
}

std::optional<AheadFile> ReadAhead::take(const std::string& path, std::uint64_t size) {
  if (next_ >= files_.size() || files_[next_].path != path || files_[next_].size != size) {
    next_ = files_.size();
    return std::nullopt;
  }
  ++next_;
  bool wake = false;
  std::optional<AheadFile> file;
  {
    const Locked locked(lock_);
    while (ready_.empty() && !finished_) {
      taker_waits_ = true;
      SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
      taker_waits_ = false;
    }
    if (ready_.empty()) {  // the thread gave up: the copies open the files themselves
      next_ = files_.size();
      return std::nullopt;
    }
    file = std::move(ready_.front());
    ready_.pop_front();
    ready_bytes_ -= file->bytes.size();
    wake = reader_waits_;
  }
  if (wake) {
    WakeAllConditionVariable(&changed_);
  }
  return file;
}

// Out of memory, the thread stops reading ahead; it never ends the program.
void ReadAhead::run() {
  try {
    read_all();
  } catch (const std::bad_alloc&) {
    // finished_ below sends the copies to open the files left themselves.
  }
  bool wake = false;
  {
    const Locked locked(lock_);
    finished_ = true;
    wake = taker_waits_;
  }
  if (wake) {
    WakeAllConditionVariable(&changed_);
  }
}

void ReadAhead::read_all() {
  for (const PlannedAppend& planned : files_) {
    {
      const Locked locked(lock_);
      while (!stop_ && (ready_bytes_ >= kAheadBytes || ready_.size() >= kAheadFiles)) {
        reader_waits_ = true;
        SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
        reader_waits_ = false;
      }
      if (stop_) {
        return;
      }
    }
    AheadFile file = fetch(planned);
    bool wake = false;
    {
      const Locked locked(lock_);
      ready_bytes_ += file.bytes.size();
      ready_.push_back(std::move(file));
      wake = taker_waits_;
    }
    if (wake) {
      WakeAllConditionVariable(&changed_);
    }
  }
}

// A small file is read with one call of a byte more than it should hold: a file gives at
// once what it has, so the count tells both a short and a grown file.
AheadFile ReadAhead::fetch(const PlannedAppend& planned) const {
  AheadFile file;
  Handle handle = open_(planned.path);
  if (!handle.valid()) {
    return file;
  }
  if (planned.size > kReadWhole) {
    file.state = AheadFile::State::open;
    file.handle = std::move(handle);
    return file;
  }
  const auto wanted = static_cast<std::size_t>(planned.size);
  file.bytes.resize(wanted + 1);
  DWORD count = 0;
  if (ReadFile(handle.get(), file.bytes.data(), static_cast<DWORD>(wanted + 1), &count, nullptr) ==
          0 ||
      count != wanted) {
    file.bytes = {};
    return file;
  }
  file.bytes.resize(wanted);
  file.state = AheadFile::State::read;
  return file;
}

}  // namespace vexal::win32
