#include "toolkit/plan_file_system.h"

#include <algorithm>

#include "install/config.h"
#include "install/install_state.h"
#include "install/restore.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "platform/settings.h"

namespace vexal::fs_tool {
namespace {

// A path as the file systems compare it: letter case ignored, any separator the same.
std::string path_key(std::string_view path) {
  std::string key;
  for (const char c : path) {
    if (!is_path_separator(c) && c != '/') {
      key += ascii_upper(c);
    } else if (key.empty() || key.back() != '\\') {
      key += '\\';
    }
  }
  return key;
}

// Takes what is written: counts it, and keeps the bytes when given a place for them.
// The two-level writer seeks back to fill in a field, so writes land at the position.
class PlannedFile final : public File {
 public:
  PlannedFile(std::uint64_t& count, std::shared_ptr<std::vector<std::byte>> bytes)
      : count_(count), bytes_(std::move(bytes)) {
    count_ = 0;
    if (bytes_ != nullptr) {
      bytes_->clear();
    }
  }
  IoExpected<std::size_t> read(std::span<std::byte> /*buffer*/) override { return 0; }
  IoResult write(std::span<const std::byte> bytes) override {
    const std::uint64_t end = position_ + bytes.size();
    if (bytes_ != nullptr) {
      bytes_->resize(static_cast<std::size_t>(std::max<std::uint64_t>(end, bytes_->size())));
      std::ranges::copy(bytes, bytes_->begin() + static_cast<std::ptrdiff_t>(position_));
    }
    position_ = end;
    count_ = std::max(count_, end);
    return {};
  }
  IoResult seek(std::uint64_t offset) override {
    position_ = offset;
    return {};
  }
  IoExpected<std::uint64_t> size() override { return count_; }
  IoResult close() override { return {}; }

 private:
  std::uint64_t& count_;
  std::shared_ptr<std::vector<std::byte>> bytes_;
  std::uint64_t position_ = 0;
};

// A kept file's bytes, shared with the file system until a later save of the path
// replaces them there.
class KeptBytes final : public MappedBytes {
 public:
  explicit KeptBytes(std::shared_ptr<const std::vector<std::byte>> bytes)
      : bytes_(std::move(bytes)) {}
  std::span<const std::byte> bytes() const override { return *bytes_; }

 private:
  std::shared_ptr<const std::vector<std::byte>> bytes_;
};

// Reads a kept file from its start.
class KeptFile final : public File {
 public:
  explicit KeptFile(std::vector<std::byte> bytes) : bytes_(std::move(bytes)) {}
  IoExpected<std::size_t> read(std::span<std::byte> buffer) override {
    const std::size_t count = std::min(buffer.size(), bytes_.size() - position_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), count, buffer.begin());
    position_ += count;
    return count;
  }
  IoResult write(std::span<const std::byte> /*bytes*/) override { return IoResult::failed({}); }
  IoResult seek(std::uint64_t offset) override {
    position_ = static_cast<std::size_t>(std::min<std::uint64_t>(offset, bytes_.size()));
    return {};
  }
  IoExpected<std::uint64_t> size() override { return std::uint64_t{bytes_.size()}; }
  IoResult close() override { return {}; }

 private:
  std::vector<std::byte> bytes_;
  std::size_t position_ = 0;
};

// What the restore does to one archive, as far as it changes what the build reads.
// Succeeds, or fails with restore_failed when the restore would leave the archive as it is.
Outcome preview_archive(FileSystem& fs, PlanFileSystem& plan_fs, const ArchiveState& archive,
                        const RestoreLine& restore_line) {
  if (archive.entry && archive.decision != Decision::swap_back &&
      archive.decision != Decision::put_back) {
    if (archive.decision == Decision::keep_both || archive.decision == Decision::changed) {
      restore_line("The restore leaves " + archive.installed +
                   " in the game: it has changed since the mod was installed");
    }
    const bool refused = archive.decision == Decision::game_copy_lost ||
                         archive.decision == Decision::missing ||
                         archive.decision == Decision::unreadable;
    if (refused) {
      return Failure(Status::restore_failed, refusal_reason(archive));
    }
    return {};
  }
  if (!archive.entry && !fs.is_file(archive.saved)) {
    return Failure(Status::restore_failed, "the restore cannot put back " + archive.installed +
                                               ": " + archive.saved + " does not exist");
  }
  restore_line("The restore puts back " + archive.installed + " from " + archive.saved);
  if (archive.decision != Decision::put_back) {
    plan_fs.redirect(archive.returned, archive.installed);
  }
  plan_fs.redirect(archive.installed, archive.saved);
  return {};
}

}  // namespace

void PlanFileSystem::redirect(const std::string& from, const std::string& to) {
  redirects_[path_key(from)] = to;
}

std::uint64_t PlanFileSystem::written(const std::string& path) {
  return written_[path_key(path)];
}

bool PlanFileSystem::is_file(const std::string& path) {
  return kept(path) != nullptr || base_.is_file(read_from(path));
}

IoExpected<FileInfo> PlanFileSystem::stat(const std::string& path) {
  if (const std::vector<std::byte>* bytes = kept(path)) {
    return FileInfo{FileInfo::Kind::file, bytes->size(), 0, {}};
  }
  return base_.stat(read_from(path));
}

OpenedFile PlanFileSystem::open_read(const std::string& path) {
  if (const std::vector<std::byte>* bytes = kept(path)) {
    return std::unique_ptr<File>(std::make_unique<KeptFile>(*bytes));
  }
  return base_.open_read(read_from(path));
}

IoExpected<std::shared_ptr<const MappedBytes>> PlanFileSystem::map_read(const std::string& path) {
  if (const auto found = kept_.find(path_key(path)); found != kept_.end()) {
    return std::shared_ptr<const MappedBytes>(std::make_shared<KeptBytes>(found->second));
  }
  return base_.map_read(read_from(path));
}

OpenedFile PlanFileSystem::open_write(const std::string& path) {
  const std::string key = path_key(path);
  std::shared_ptr<std::vector<std::byte>> bytes;
  if (keep_written_) {
    bytes = std::make_shared<std::vector<std::byte>>();
    kept_[key] = bytes;
  }
  return std::unique_ptr<File>(std::make_unique<PlannedFile>(written_[key], std::move(bytes)));
}

IoResult PlanFileSystem::remove(const std::string& path) {
  return kept_.erase(path_key(path)) > 0 ? IoResult() : IoResult::failed({});
}

std::string PlanFileSystem::read_from(const std::string& path) const {
  const auto found = redirects_.find(path_key(path));
  return found == redirects_.end() ? path : found->second;
}

const std::vector<std::byte>* PlanFileSystem::kept(const std::string& path) const {
  const auto found = kept_.find(path_key(path));
  return found == kept_.end() ? nullptr : found->second.get();
}

Outcome preview_restore(FileSystem& fs, PlanFileSystem& plan_fs, const RestoreLine& restore_line) {
  Expected<std::unique_ptr<Settings>> settings = open_config(fs);
  if (!settings) {
    return std::move(settings).failure();
  }
  const InstallState state = read_install_state(fs, **settings, fs.current_directory());
  Expected<bool> skip_as_before = check_restore(state);
  if (!skip_as_before) {
    return std::move(skip_as_before).failure();
  }
  // Every archive is previewed, so that the failure names each one the restore refuses.
  std::optional<Failure> refused;
  for (const ArchiveState& archive : state.archives) {
    if (!archive.entry && *skip_as_before) {
      continue;
    }
    if (Outcome previewed = preview_archive(fs, plan_fs, archive, restore_line); !previewed) {
      if (refused) {
        refused->include(previewed.failure());
      } else {
        refused = std::move(previewed).failure();
      }
    }
  }
  return refused ? Outcome(std::move(*refused)) : Outcome();
}

}  // namespace vexal::fs_tool
