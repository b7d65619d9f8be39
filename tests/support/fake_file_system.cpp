#include "support/fake_file_system.h"

#include <algorithm>
#include <cstring>

#include "platform/list_pattern.h"

namespace vexal::test {
namespace {

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return result;
}

bool is_separator(char c) {
  return c == '\\' || c == '/';
}

// The drive ("C:") and the remaining components of an absolute path, "." and ".." applied.
struct SplitPath {
  std::string drive;
  std::vector<std::string> parts;
};

SplitPath split_absolute(const std::string& path, const std::string& current_directory) {
  std::string full;
  const auto colon = path.find(':');
  if (colon != std::string::npos) {
    full = path;
  } else if (!path.empty() && is_separator(path.front())) {
    full = current_directory.substr(0, current_directory.find(':') + 1) + path;
  } else {
    full = current_directory + "\\" + path;
  }
  SplitPath result;
  const auto drive_end = full.find(':') + 1;
  result.drive = upper(full.substr(0, drive_end));
  std::string part;
  auto flush = [&] {
    if (part == "..") {
      if (!result.parts.empty()) {
        result.parts.pop_back();
      }
    } else if (!part.empty() && part != ".") {
      result.parts.push_back(part);
    }
    part.clear();
  };
  for (std::size_t i = drive_end; i < full.size(); ++i) {
    if (is_separator(full[i])) {
      flush();
    } else {
      part += full[i];
    }
  }
  flush();
  return result;
}

// Memory of a file opened for reading: a snapshot of its bytes at the time of opening.
class ReadFile : public File {
 public:
  ReadFile(const FakeFileSystem& owner, std::string data) : owner_(owner), data_(std::move(data)) {}
  std::size_t read(std::span<std::byte> buffer) override {
    check();
    const std::size_t count = std::min(buffer.size(), data_.size() - std::min(pos_, data_.size()));
    if (count > 0) {
      std::memcpy(buffer.data(), data_.data() + pos_, count);
    }
    pos_ += count;
    return count;
  }
  bool write(std::span<const std::byte>) override {
    check();
    return false;
  }
  bool seek(std::uint64_t offset) override {
    check();
    pos_ = static_cast<std::size_t>(offset);
    return true;
  }
  std::optional<std::uint64_t> size() override {
    check();
    return data_.size();
  }
  bool close() override {
    check();
    return true;
  }

 private:
  void check() const {
    if (owner_.crashed()) {
      throw FakeCrash{"(file read after crash)"};
    }
  }
  const FakeFileSystem& owner_;
  std::string data_;
  std::size_t pos_ = 0;
};

}  // namespace

class FakeFileSystem::WrittenFile : public File {
 public:
  WrittenFile(FakeFileSystem& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
  ~WrittenFile() override {
    if (!closed_ && !owner_.crashed()) {
      owner_.commit_write(path_, std::move(data_));
    }
  }
  std::size_t read(std::span<std::byte>) override {
    owner_.check_alive();
    return 0;
  }
  bool write(std::span<const std::byte> bytes) override {
    owner_.check_alive();
    if (closed_) {
      return false;
    }
    if (data_.size() < pos_ + bytes.size()) {
      data_.resize(pos_ + bytes.size());
    }
    if (!bytes.empty()) {
      std::memcpy(data_.data() + pos_, bytes.data(), bytes.size());
    }
    pos_ += bytes.size();
    return true;
  }
  bool seek(std::uint64_t offset) override {
    owner_.check_alive();
    pos_ = static_cast<std::size_t>(offset);
    return true;
  }
  std::optional<std::uint64_t> size() override {
    owner_.check_alive();
    return data_.size();
  }
  bool close() override {
    owner_.check_alive();
    if (closed_) {
      return false;
    }
    closed_ = true;
    return owner_.commit_write(path_, std::move(data_));
  }

 private:
  FakeFileSystem& owner_;
  std::string path_;
  std::string data_;
  std::size_t pos_ = 0;
  bool closed_ = false;
};

class FakeFileSystem::HeldLock : public FileLock {
 public:
  HeldLock(FakeFileSystem& owner, std::string key) : owner_(owner), key_(std::move(key)) {}
  ~HeldLock() override { owner_.locked_.erase(key_); }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

 private:
  FakeFileSystem& owner_;
  std::string key_;
};

FakeFileSystem::FakeFileSystem(std::string current_directory)
    : current_directory_(std::move(current_directory)) {
  add_directory(current_directory_);
}

// --- paths ---

std::string FakeFileSystem::key_of(const std::string& path) const {
  if (path.empty()) {
    return {};
  }
  const SplitPath split = split_absolute(path, current_directory_);
  std::string key = split.drive;
  for (const auto& part : split.parts) {
    key += "\\" + upper(part);
  }
  return key;
}

std::string FakeFileSystem::parent_key(const std::string& key) {
  const auto pos = key.rfind('\\');
  return pos == std::string::npos ? std::string{} : key.substr(0, pos);
}

std::string FakeFileSystem::last_name(const std::string& path) {
  std::string trimmed = path;
  while (!trimmed.empty() && is_separator(trimmed.back())) {
    trimmed.pop_back();
  }
  const auto pos = trimmed.find_last_of("\\/");
  return pos == std::string::npos ? trimmed : trimmed.substr(pos + 1);
}

std::string FakeFileSystem::canonical(const std::string& path) const {
  if (path.empty()) {
    return {};
  }
  const SplitPath split = split_absolute(path, current_directory_);
  std::string key = split.drive;
  std::string shown = split.drive;
  for (const auto& part : split.parts) {
    key += "\\" + upper(part);
    const Node* node = find(key);
    shown += "\\" + (node != nullptr ? node->name : part);
  }
  return split.parts.empty() ? shown + "\\" : shown;
}

const FakeFileSystem::Node* FakeFileSystem::find(const std::string& key) const {
  const auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : &it->second;
}

bool FakeFileSystem::is_directory_key(const std::string& key) const {
  if (key.empty()) {
    return false;
  }
  if (key.find('\\') == std::string::npos) {
    return true;  // a drive root
  }
  const Node* node = find(key);
  return node != nullptr && node->is_directory;
}

bool FakeFileSystem::can_write_file(const std::string& key) const {
  if (key.empty() || !is_directory_key(parent_key(key))) {
    return false;
  }
  const Node* node = find(key);
  return node == nullptr || (!node->is_directory && !node->read_only);
}

// --- faults ---

void FakeFileSystem::check_alive() const {
  if (crashed_) {
    throw FakeCrash{journal_.empty() ? std::string{} : journal_.back()};
  }
}

bool FakeFileSystem::hook_fails(std::string_view op, const std::string& path) const {
  return fail_if && fail_if(op, path);
}

bool FakeFileSystem::begin_mutation() {
  ++mutations_;
  return failing_.count(mutations_) == 0;
}

void FakeFileSystem::end_mutation(const std::string& description, bool injected, bool succeeded) {
  std::string line = std::to_string(mutations_) + " " + description;
  if (injected) {
    line += " [injected failure]";
  } else if (!succeeded) {
    line += " [failed]";
  }
  journal_.push_back(std::move(line));
  if (crash_at_ && *crash_at_ == mutations_) {
    crashed_ = true;
  }
}

void FakeFileSystem::fail_operation(std::uint64_t n) {
  failing_.insert(mutations_ + n);
}

void FakeFileSystem::crash_after(std::uint64_t n) {
  crash_at_ = mutations_ + n;
}

void FakeFileSystem::clear_faults() {
  failing_.clear();
  crash_at_.reset();
  crashed_ = false;
  fail_if = nullptr;
}

// --- FileSystem ---

bool FakeFileSystem::is_file(const std::string& path) {
  check_alive();
  if (hook_fails("is_file", path)) {
    return false;
  }
  const Node* node = find(key_of(path));
  return node != nullptr && !node->is_directory;
}

bool FakeFileSystem::is_directory(const std::string& path) {
  check_alive();
  return !hook_fails("is_directory", path) && is_directory_key(key_of(path));
}

std::unique_ptr<File> FakeFileSystem::open_read(const std::string& path) {
  check_alive();
  if (hook_fails("open_read", path)) {
    return nullptr;
  }
  const Node* node = find(key_of(path));
  if (node == nullptr || node->is_directory) {
    return nullptr;
  }
  return std::make_unique<ReadFile>(*this, node->data);
}

std::unique_ptr<File> FakeFileSystem::open_write(const std::string& path) {
  check_alive();
  if (hook_fails("open_write", path) || !can_write_file(key_of(path))) {
    return nullptr;
  }
  return std::make_unique<WrittenFile>(*this, canonical(path));
}

bool FakeFileSystem::commit_write(const std::string& path, std::string data) {
  check_alive();
  const bool allowed = begin_mutation();
  const std::string key = key_of(path);
  const bool ok = allowed && can_write_file(key);
  if (ok) {
    Node& node = nodes_[key];
    node.name = last_name(path);
    node.data = std::move(data);
  }
  end_mutation("write " + path, !allowed, ok);
  return ok;
}

bool FakeFileSystem::move(const std::string& from, const std::string& to) {
  check_alive();
  const bool allowed = begin_mutation();
  const std::string description = "move " + canonical(from) + " -> " + canonical(to);
  const bool hooked = hook_fails("move", from) || hook_fails("move", to);
  const std::string from_key = key_of(from);
  const std::string to_key = key_of(to);
  bool ok = allowed && !hooked && find(from_key) != nullptr && find(to_key) == nullptr &&
            is_directory_key(parent_key(to_key)) && to_key.rfind(from_key + "\\", 0) != 0;
  if (ok) {
    // Re-key the node and, for a folder, everything below it.
    std::vector<std::pair<std::string, Node>> moved;
    for (auto it = nodes_.begin(); it != nodes_.end();) {
      if (it->first == from_key || it->first.rfind(from_key + "\\", 0) == 0) {
        moved.emplace_back(to_key + it->first.substr(from_key.size()), std::move(it->second));
        it = nodes_.erase(it);
      } else {
        ++it;
      }
    }
    for (auto& [key, node] : moved) {
      if (key == to_key) {
        node.name = last_name(to);
      }
      nodes_.emplace(key, std::move(node));
    }
  }
  end_mutation(description, !allowed || hooked, ok);
  return ok;
}

bool FakeFileSystem::remove(const std::string& path) {
  check_alive();
  const bool allowed = begin_mutation();
  const std::string description = "remove " + canonical(path);
  const bool hooked = hook_fails("remove", path);
  const auto it = nodes_.find(key_of(path));
  const bool ok = allowed && !hooked && it != nodes_.end() && !it->second.is_directory;
  if (ok) {
    nodes_.erase(it);
  }
  end_mutation(description, !allowed || hooked, ok);
  return ok;
}

bool FakeFileSystem::make_directory(const std::string& path) {
  check_alive();
  const bool allowed = begin_mutation();
  const std::string description = "make_directory " + canonical(path);
  const bool hooked = hook_fails("make_directory", path);
  const std::string key = key_of(path);
  const bool ok = allowed && !hooked && key.find('\\') != std::string::npos &&
                  find(key) == nullptr && is_directory_key(parent_key(key));
  if (ok) {
    nodes_[key] = Node{last_name(path), true, false, {}};
  }
  end_mutation(description, !allowed || hooked, ok);
  return ok;
}

bool FakeFileSystem::replace_file(const std::string& path, std::string_view contents) {
  check_alive();
  const bool allowed = begin_mutation();
  const std::string description = "replace_file " + canonical(path);
  const bool hooked = hook_fails("replace_file", path);
  const std::string key = key_of(path);
  const bool ok = allowed && !hooked && can_write_file(key);
  if (ok) {
    Node& node = nodes_[key];
    if (node.name.empty()) {
      node.name = last_name(path);
    }
    node.data = std::string(contents);
  }
  end_mutation(description, !allowed || hooked, ok);
  return ok;
}

LockAttempt FakeFileSystem::lock_exclusive(const std::string& path, bool /*wait*/) {
  check_alive();
  const std::string key = key_of(path);
  if (hook_fails("lock_exclusive", path) || key.empty()) {
    return {};
  }
  if (locked_.count(key) != 0) {
    return {nullptr, true};
  }
  const Node* node = find(key);
  if (node == nullptr) {
    if (!can_write_file(key)) {
      return {};
    }
    nodes_[key] = Node{last_name(path), false, false, {}};
  } else if (node->is_directory) {
    return {};
  }
  locked_.insert(key);
  return {std::make_unique<HeldLock>(*this, key), false};
}

std::vector<DirEntry> FakeFileSystem::list(const std::string& pattern, ListMode mode) {
  check_alive();
  std::vector<DirEntry> result;
  if (hook_fails("list", pattern)) {
    return result;
  }
  const auto split = pattern.find_last_of("\\/");
  const std::string folder = split == std::string::npos ? std::string{} : pattern.substr(0, split);
  const std::string wildcard = split == std::string::npos ? pattern : pattern.substr(split + 1);
  const std::string folder_key =
      split == std::string::npos ? key_of(".") : key_of(folder.empty() ? "\\" : folder);
  if (!is_directory_key(folder_key)) {
    return result;
  }
  const std::string prefix = folder_key + "\\";
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
    if (it->first.rfind(prefix, 0) != 0) {
      break;
    }
    const Node& node = it->second;
    const bool direct_child = it->first.find('\\', prefix.size()) == std::string::npos;
    if (!direct_child || node.name.front() == '.' ||
        (node.is_directory && mode == ListMode::files_only) ||
        !matches_list_pattern(wildcard, node.name)) {
      continue;
    }
    result.push_back(DirEntry{node.name, node.data.size(), node.is_directory});
  }
  return result;
}

std::string FakeFileSystem::current_directory() {
  check_alive();
  return hook_fails("current_directory", current_directory_) ? std::string() : current_directory_;
}

// --- setting up and inspection ---

void FakeFileSystem::add_node(const std::string& path, bool directory) {
  const SplitPath split = split_absolute(path, current_directory_);
  std::string key = split.drive;
  for (std::size_t i = 0; i < split.parts.size(); ++i) {
    key += '\\';
    key += upper(split.parts[i]);
    const bool last = i + 1 == split.parts.size();
    Node& node = nodes_[key];
    if (node.name.empty() || last) {
      node.name = split.parts[i];
    }
    node.is_directory = last ? directory : true;
    if (node.is_directory) {
      node.data.clear();
    }
  }
}

void FakeFileSystem::add_file(const std::string& path, std::string bytes) {
  add_node(path, false);
  nodes_[key_of(path)].data = std::move(bytes);
}

void FakeFileSystem::add_directory(const std::string& path) {
  add_node(path, true);
}

void FakeFileSystem::set_read_only(const std::string& path, bool read_only) {
  const auto it = nodes_.find(key_of(path));
  if (it != nodes_.end()) {
    it->second.read_only = read_only;
  }
}

std::optional<std::string> FakeFileSystem::contents(const std::string& path) const {
  const Node* node = find(key_of(path));
  if (node == nullptr || node->is_directory) {
    return std::nullopt;
  }
  return node->data;
}

bool FakeFileSystem::exists(const std::string& path) const {
  const std::string key = key_of(path);
  return is_directory_key(key) || find(key) != nullptr;
}

std::map<std::string, std::string> FakeFileSystem::files() const {
  std::map<std::string, std::string> result;
  for (const auto& [key, node] : nodes_) {
    if (!node.is_directory) {
      result.emplace(canonical(key), node.data);
    }
  }
  return result;
}

}  // namespace vexal::test
