#include "install/archive_moves.h"

#include <algorithm>
#include <array>
#include <ctime>

namespace vexal {

std::string move_failure(FileSystem& fs, const std::string& from, const std::string& to) {
  const std::string what = "cannot move " + from + " to " + to;
  // move_file refuses a missing file before the file system is asked.
  return fs.is_file(from) ? describe_failure(fs, what) : what + ": the file does not exist";
}

bool move_file(FileSystem& fs, const std::string& from, const std::string& to, bool replace) {
  if (!fs.is_file(from)) {
    return false;
  }
  if (fs.is_file(to)) {
    if (!replace || !fs.remove(to)) {
      return false;
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
  for (int copy = 2; fs.stat(name).has_value(); ++copy) {
    name = base + "-" + std::to_string(copy);
  }
  return name;
}

bool same_bytes(FileSystem& fs, const std::string& a, const std::string& b) {
  const std::unique_ptr<File> first = fs.open_read(a);
  const std::unique_ptr<File> second = fs.open_read(b);
  if (!first || !second || first->size() != second->size() || !first->size()) {
    return false;
  }
  std::array<std::byte, std::size_t{64} * 1024> one{};
  std::array<std::byte, std::size_t{64} * 1024> other{};
  for (std::uint64_t left = *first->size(); left > 0;) {
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(left, one.size()));
    if (first->read(std::span(one).first(wanted)) != wanted ||
        second->read(std::span(other).first(wanted)) != wanted ||
        !std::equal(one.begin(), one.begin() + wanted, other.begin())) {
      return false;
    }
    left -= wanted;
  }
  return true;
}

}  // namespace vexal
