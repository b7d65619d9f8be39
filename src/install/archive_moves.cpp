#include "install/archive_moves.h"

#include <array>
#include <ctime>

namespace vexal {

std::string move_failure(FileSystem& fs, const IoResult& failed, const std::string& from,
                         const std::string& to) {
  const std::string what = "cannot move " + from + " to " + to;
  // move_file refuses a missing file before the file system is asked.
  return fs.is_file(from) ? failed.describe(what) : what + ": the file does not exist";
}

IoResult move_file(FileSystem& fs, const std::string& from, const std::string& to, bool replace) {
  if (!fs.is_file(from)) {
    return IoResult::failed({});
  }
  if (fs.is_file(to)) {
    if (!replace) {
      return IoResult::failed({});
    }
    if (IoResult removed = fs.remove(to); !removed) {
      return removed;
    }
  }
  return fs.move(from, to);
}

std::string kept_name(FileSystem& fs, const std::string& path) {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  std::array<char, 32> stamp{};
  if (local == nullptr || std::strftime(stamp.data(), stamp.size(), "%Y%m%d-%H%M%S", local) == 0) {
    stamp = {'0'};
  }
  const std::string base = path + ".old-" + stamp.data();
  std::string name = base;
  for (int copy = 2; fs.stat(name).ok(); ++copy) {
    name = base + "-" + std::to_string(copy);
  }
  return name;
}

}  // namespace vexal
