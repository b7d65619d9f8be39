#include "support/fake_file_system.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/ascii.h"
#include "platform/list_pattern.h"
#include "platform/path_rules.h"

namespace vexal::test {
namespace {

// The drive ("C:") and the names of the path, a path without a drive taken against the
// current directory.
std::vector<std::string> split(const std::string& path, const std::string& current_directory) {
  const std::string full =
      path.find(':') == std::string::npos ? current_directory + "\\" + path : path;
  std::vector<std::string> parts;
  std::string part;
  for (const char c : full + "\\") {
    if (c != '\\' && c != '/') {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(std::exchange(part, {}));
    }
  }
  return parts;
}

std::string parent_key(const std::string& key) {
  const auto pos = key.rfind('\\');
  return pos == std::string::npos ? std::string{} : key.substr(0, pos);
}

std::string last_name(const std::string& path) {
  return path.substr(path.find_last_of("\\/") + 1);
}

std::string drive_of(const std::string& key) {
  return key.substr(0, key.find('\\'));
}

IoResult refused() {
  return IoResult::failed("refused by the fake file system");
}

}  // namespace

// A file opened for reading holds a snapshot of the bytes; one opened for writing
// collects them until it is closed.
class FakeFileSystem::FakeFile : public File {
 public:
  FakeFile(FakeFileSystem& owner, std::string path, std::string data, bool writing)
      : owner_(owner), path_(std::move(path)), data_(std::move(data)), writing_(writing) {}
  ~FakeFile() override {
    // As a stream's destructor flushes what it holds, and as it throws nothing: a flush
    // that throws (a test's hook, out of memory) loses the bytes as a failed one would.
    try {
      if (writing_ && !closed_ && !owner_.crashed_) {
        static_cast<void>(close());
      }
    } catch (...) {
      closed_ = true;
    }
  }
  IoExpected<std::size_t> read(std::span<std::byte> buffer) override {
    if (!owner_.allow("read", path_)) {
      return refused();
    }
    const std::size_t count = data_.copy(reinterpret_cast<char*>(buffer.data()), buffer.size(),
                                         std::min(pos_, data_.size()));
    pos_ += count;
    return count;
  }
  IoResult write(std::span<const std::byte> bytes) override {
    if (!owner_.allow("write", path_) || !writing_ || closed_) {
      return refused();
    }
    const std::size_t end = pos_ + bytes.size();
    if (IoResult room = owner_.writable(owner_.key_of(path_), std::max(data_.size(), end)); !room) {
      return room;
    }
    data_.resize(std::max(data_.size(), end));
    data_.replace(pos_, bytes.size(), reinterpret_cast<const char*>(bytes.data()), bytes.size());
    pos_ = end;
    return {};
  }
  IoResult seek(std::uint64_t offset) override {
    pos_ = static_cast<std::size_t>(offset);
    return owner_.allow("seek", path_) ? IoResult() : refused();
  }
  IoExpected<std::uint64_t> size() override {
    return owner_.allow("size", path_) ? IoExpected<std::uint64_t>(data_.size()) : refused();
  }
  IoResult close() override {
    const bool allowed = owner_.allow("close", path_, writing_);
    if (std::exchange(closed_, true) || !allowed) {
      return refused();
    }
    return writing_ ? owner_.commit(path_, std::move(data_)) : IoResult();
  }

 private:
  FakeFileSystem& owner_;
  std::string path_;
  std::string data_;
  std::size_t pos_ = 0;
  bool writing_;
  bool closed_ = false;
};

struct FakeFileSystem::HeldLock : FileLock {
  HeldLock(std::set<std::string>& locked, std::string key) : locked(locked), key(std::move(key)) {}
  ~HeldLock() override { locked.erase(key); }
  std::set<std::string>& locked;
  const std::string key;
};

FakeFileSystem::FakeFileSystem(std::string current_directory)
    : current_directory_(std::move(current_directory)) {
  add_directory(current_directory_);
}

bool FakeFileSystem::allow(std::string_view name, const std::string& path, bool mutates) {
  if (crashed_) {
    throw FakeCrash{};
  }
  const Verdict verdict = hook ? hook(Op{name, path, mutates}) : Verdict::pass;
  crashed_ = verdict == Verdict::crash_after;
  return verdict != Verdict::fail && path.size() < max_path_bytes;
}

void FakeFileSystem::restart() {
  hook = nullptr;
  crashed_ = false;
}

std::string FakeFileSystem::key_of(const std::string& path) const {
  std::string key;
  for (const std::string& part :
       path.empty() ? std::vector<std::string>{} : split(path, current_directory_)) {
    key += (key.empty() ? "" : "\\") + upper_case(part);
  }
  return key;
}

const FakeFileSystem::Node* FakeFileSystem::find(const std::string& key, Kind kind) const {
  static const Node drive_root = [] {
    Node root;
    root.is_directory = true;
    return root;
  }();
  const auto it = nodes_.find(key);
  const Node* node = !key.empty() && key.find('\\') == std::string::npos ? &drive_root
                     : it == nodes_.end()                                ? nullptr
                                                                         : &it->second;
  return node && (kind == Kind::any || node->is_directory == (kind == Kind::folder)) ? node
                                                                                     : nullptr;
}

IoResult FakeFileSystem::writable(const std::string& key, std::uint64_t size) const {
  const Node* node = find(key);
  if (!find(parent_key(key), Kind::folder) || (node && (node->is_directory || node->read_only))) {
    return refused();
  }
  const auto capacity = capacity_.find(drive_of(key));
  std::uint64_t used = size;
  for (const auto& [other, file] : nodes_) {
    used += other != key && drive_of(other) == drive_of(key) ? file.data.size() : 0;
  }
  if (capacity != capacity_.end() && used > capacity->second) {
    return IoResult::failed("There is not enough space on the disk");
  }
  return {};
}

IoResult FakeFileSystem::commit(const std::string& path, std::string data) {
  const std::string key = key_of(path);
  if (IoResult ok = writable(key, data.size()); !ok) {
    return ok;
  }
  Node& node = nodes_[key];
  if (node.name.empty()) {
    node.name = last_name(path);
    node.id = next_id_++;
  }
  node.data = std::move(data);
  node.modified = stored_time(key, tick());
  return {};
}

std::int64_t FakeFileSystem::stored_time(const std::string& key, std::int64_t time) const {
  const auto rounding = time_rounding_.find(drive_of(key));
  if (rounding == time_rounding_.end()) {
    return time;
  }
  return (time + rounding->second - 1) / rounding->second * rounding->second;
}

bool FakeFileSystem::is_file(const std::string& path) {
  return allow("is_file", path) && find(key_of(path), Kind::file);
}

bool FakeFileSystem::is_directory(const std::string& path) {
  return allow("is_directory", path) && find(key_of(path), Kind::folder);
}

IoExpected<FileInfo> FakeFileSystem::stat(const std::string& path) {
  const std::string key = key_of(path);
  const Node* node = allow("stat", path) ? find(key) : nullptr;
  if (node == nullptr) {
    return refused();
  }
  if (node->is_directory) {
    return FileInfo{FileInfo::Kind::directory, 0, 0, key};
  }
  return FileInfo{FileInfo::Kind::file, node->data.size(), node->modified,
                  std::to_string(node->id)};
}

IoResult FakeFileSystem::sync_file(const std::string& path) {
  return allow("sync_file", path) && exists(path) ? IoResult() : refused();
}

OpenedFile FakeFileSystem::open_read(const std::string& path) {
  const Node* node = allow("open_read", path) ? find(key_of(path), Kind::file) : nullptr;
  if (node == nullptr) {
    return refused();
  }
  return std::unique_ptr<File>(std::make_unique<FakeFile>(*this, path, node->data, false));
}

OpenedFile FakeFileSystem::open_write(const std::string& path) {
  if (!allow("open_write", path) || !writable(key_of(path), 0)) {
    return refused();
  }
  return std::unique_ptr<File>(std::make_unique<FakeFile>(*this, path, std::string(), true));
}

IoResult FakeFileSystem::move(const std::string& from, const std::string& to) {
  const std::string from_key = key_of(from);
  const std::string to_key = key_of(to);
  if (drive_of(from_key) != drive_of(to_key)) {
    return move_across(from, to);
  }
  // Only the source itself may stand at the destination: the move then changes its case.
  const Node* taken = find(to_key);
  if (!allow("move", from, true) || to.size() >= max_path_bytes || !find(from_key, Kind::file) ||
      !find(parent_key(to_key), Kind::folder) ||
      (taken && (to_key != from_key || taken->name == last_name(to)))) {
    return refused();
  }
  rename(from_key, to_key, last_name(to));
  return {};
}

void FakeFileSystem::rename(const std::string& from_key, const std::string& to_key,
                            std::string name) {
  auto moved = nodes_.extract(from_key);
  moved.key() = to_key;
  moved.mapped().name = std::move(name);
  moved.mapped().hidden = false;
  nodes_.insert(std::move(moved));
}

// Copies to a hidden file beside the destination, renames it into place and removes the
// source, as the native backends do.
IoResult FakeFileSystem::move_across(const std::string& from, const std::string& to) {
  const Node* source = find(key_of(from), Kind::file);
  const std::string to_key = key_of(to);
  const std::string temp_name = ".vexal-" + std::to_string(next_id_);
  const std::string temp_key = parent_key(to_key) + "\\" + upper_case(temp_name);
  if (!allow("copy", from, true) || to.size() >= max_path_bytes || source == nullptr ||
      !find(parent_key(to_key), Kind::folder) || find(to_key)) {
    return refused();
  }
  if (IoResult room = writable(temp_key, source->data.size()); !room) {
    return room;
  }
  Node& copy = nodes_[temp_key] = *source;
  copy.name = temp_name;
  copy.modified = stored_time(temp_key, copy.modified);
  copy.id = next_id_++;
  copy.hidden = true;
  if (!allow("move", from, true) || find(to_key)) {
    nodes_.erase(temp_key);
    return refused();
  }
  rename(temp_key, to_key, last_name(to));
  if (!allow("remove", from, true)) {
    nodes_.erase(to_key);
    return refused();
  }
  nodes_.erase(key_of(from));
  return {};
}

IoResult FakeFileSystem::remove(const std::string& path) {
  const std::string key = key_of(path);
  return allow("remove", path, true) && nodes_.erase(find(key, Kind::file) ? key : "") != 0
             ? IoResult()
             : refused();
}

IoResult FakeFileSystem::make_directory(const std::string& path) {
  const std::string key = key_of(path);
  if (!allow("make_directory", path, true) || find(key) || !find(parent_key(key), Kind::folder)) {
    return refused();
  }
  Node& folder = nodes_[key];
  folder.name = last_name(path);
  folder.is_directory = true;
  return {};
}

IoResult FakeFileSystem::replace_file(const std::string& path, std::string_view contents) {
  return allow("replace_file", path, true) ? commit(path, std::string(contents)) : refused();
}

LockAttempt FakeFileSystem::lock_exclusive(const std::string& path, bool /*wait*/) {
  const std::string key = key_of(path);
  if (!allow("lock_exclusive", path)) {
    return {};
  }
  if (locked_.count(key) != 0) {
    return {nullptr, true};
  }
  const Node* node = find(key);
  if (node ? node->is_directory : !commit(path, {}).ok()) {
    return {};
  }
  locked_.insert(key);
  return {std::make_unique<HeldLock>(locked_, key), false};
}

IoExpected<std::vector<DirEntry>> FakeFileSystem::list(const std::string& pattern, ListMode mode) {
  std::vector<DirEntry> result;
  // A path longer than the system takes names no folder, like one that does not exist.
  if (!allow("list", pattern)) {
    return pattern.size() < max_path_bytes ? refused() : IoExpected(result);
  }
  const std::string folder_key = key_of(pattern.substr(0, pattern.find_last_of("\\/")));
  const std::string prefix = folder_key + "\\";
  for (auto it = nodes_.lower_bound(prefix);
       find(folder_key, Kind::folder) && it != nodes_.end() && it->first.starts_with(prefix);
       ++it) {
    const Node& node = it->second;
    if (it->first.find('\\', prefix.size()) == std::string::npos && !node.hidden &&
        (!node.is_directory || mode == ListMode::directories_included) &&
        matches_listing_pattern(last_name(pattern), node.name)) {
      result.push_back(DirEntry{node.name, node.data.size(), node.is_directory});
    }
  }
  return result;
}

std::string FakeFileSystem::current_directory() {
  return allow("current_directory", current_directory_) ? current_directory_ : std::string();
}

void FakeFileSystem::put(const std::string& path, bool directory, std::string data) {
  const std::vector<std::string> parts = split(path, current_directory_);
  std::string key = upper_case(parts[0]);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    key += "\\" + upper_case(parts[i]);
    Node& node = nodes_[key];
    const bool last = i + 1 == parts.size();
    node.name = node.name.empty() || last ? parts[i] : node.name;
    node.is_directory = !last || directory;
    node.data = node.is_directory ? std::string() : std::exchange(data, {});
    if (last && !node.is_directory) {
      node.id = next_id_++;
      node.modified = tick();
    }
  }
}

void FakeFileSystem::add_file(const std::string& path, std::string bytes) {
  put(path, false, std::move(bytes));
}

void FakeFileSystem::add_directory(const std::string& path) {
  put(path, true, {});
}

void FakeFileSystem::remove_tree(const std::string& path) {
  const std::string key = key_of(path);
  std::erase_if(nodes_, [&](const auto& node) {
    return node.first == key || node.first.starts_with(key + "\\");
  });
}

void FakeFileSystem::set_read_only(const std::string& path) {
  if (const auto it = nodes_.find(key_of(path)); it != nodes_.end()) {
    it->second.read_only = true;
  }
}

void FakeFileSystem::set_time_rounding(const std::string& drive, std::int64_t step) {
  time_rounding_[upper_case(drive)] = step;
}

void FakeFileSystem::set_capacity(const std::string& drive, std::uint64_t bytes) {
  capacity_[upper_case(drive)] = bytes;
}

std::optional<std::string> FakeFileSystem::contents(const std::string& path) const {
  const Node* node = find(key_of(path), Kind::file);
  return node ? std::optional(node->data) : std::nullopt;
}

bool FakeFileSystem::exists(const std::string& path) const {
  return find(key_of(path)) != nullptr;
}

std::map<std::string, std::string> FakeFileSystem::files() const {
  std::map<std::string, std::string> result;
  for (const auto& [key, node] : nodes_) {
    std::string path = drive_of(key);  // each name as spelled
    for (std::size_t at = key.find('\\'); at != std::string::npos && !node.is_directory;
         at = key.find('\\', at + 1)) {
      path += "\\" + find(key.substr(0, key.find('\\', at + 1)))->name;
    }
    if (!node.is_directory) {
      result.emplace(path, node.data);
    }
  }
  return result;
}

}  // namespace vexal::test
