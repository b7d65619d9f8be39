// The file system a planned build runs on: it reads what a build would read and writes
// nothing. Saved archives are counted (or kept in memory, for a tool that reads them
// back), and while the last installation is still in place, the game's archives are
// read from the backup folder, where the restore would take them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/expected.h"
#include "base/reporter.h"
#include "base/status.h"
#include "platform/file_system.h"

namespace vexal::fs_tool {

class PlanFileSystem final : public FileSystem {
 public:
  explicit PlanFileSystem(FileSystem& base) : base_(base) {}

  // Reads of from are served by to.
  void redirect(const std::string& from, const std::string& to);
  // The bytes a save sent to the path.
  std::uint64_t written(const std::string& path);
  // From now on the bytes saved to a path are kept, and reads of that path are served
  // from them, so that a planned build's archives can be read back.
  void keep_written_bytes() { keep_written_ = true; }

  bool is_file(const std::string& path) override;
  bool is_directory(const std::string& path) override { return base_.is_directory(path); }
  IoExpected<FileInfo> stat(const std::string& path) override;
  IoResult sync_file(const std::string& /*path*/) override { return {}; }
  OpenedFile open_read(const std::string& path) override;
  IoExpected<std::shared_ptr<const MappedBytes>> map_read(const std::string& path) override;
  OpenedFile open_write(const std::string& path) override;
  IoResult move(const std::string& /*from*/, const std::string& /*to*/) override {
    return IoResult::failed({});
  }
  IoResult remove(const std::string& path) override;
  IoResult make_directory(const std::string& /*path*/) override { return IoResult::failed({}); }
  IoExpected<std::vector<DirEntry>> list(const std::string& pattern, ListMode mode) override {
    return base_.list(pattern, mode);
  }
  std::string current_directory() override { return base_.current_directory(); }
  IoResult replace_file(const std::string& /*path*/, std::string_view /*contents*/) override {
    return IoResult::failed({});
  }
  std::unique_ptr<Settings> open_native_settings(const std::string& path) override {
    return base_.open_native_settings(path);
  }
  LockAttempt lock_exclusive(const std::string& path, bool wait) override {
    return base_.lock_exclusive(path, wait);
  }

 private:
  std::string read_from(const std::string& path) const;
  const std::vector<std::byte>* kept(const std::string& path) const;

  FileSystem& base_;
  bool keep_written_ = false;
  std::unordered_map<std::string, std::string> redirects_;
  std::unordered_map<std::string, std::uint64_t> written_;
  std::unordered_map<std::string, std::shared_ptr<std::vector<std::byte>>> kept_;
};

// Told each line of what the restore would do to an archive.
using RestoreLine = std::function<void(const std::string&)>;

// The restore a build begins with, as far as it changes what the build reads: each
// archive it puts back is read from the backup folder. Succeeds, or gives the failure
// the restore would end with, explaining every archive it would leave as it is.
Outcome preview_restore(FileSystem& fs, PlanFileSystem& plan_fs, const RestoreLine& restore_line);

}  // namespace vexal::fs_tool
