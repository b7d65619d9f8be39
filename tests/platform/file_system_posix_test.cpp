// What only the POSIX backend does: the system's reasons, permissions and hidden dot files.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

class PosixFileSystemTest : public ::testing::Test {
 protected:
  std::string path(std::string_view relative) const {
    std::string path = dir_.join(relative);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }
  mode_t mode_of(std::string_view relative) const {
    struct stat info {};
    ::stat(dir_.join(relative).c_str(), &info);
    return info.st_mode & 07777;
  }
  void chmod(std::string_view relative, mode_t mode) const {
    ::chmod(dir_.join(relative).c_str(), mode);
  }

  test::TempDir dir_;
  std::unique_ptr<FileSystem> fs_ = make_native_file_system();
};

// A file another program holds (here: a file mounted over, which the system keeps busy)
// says what to do about it; a listing names the entry it could not read.
TEST_F(PosixFileSystemTest, FailedCallsTellTheSystemsReason) {
  dir_.write_file("a", "1");
  dir_.write_file("b", "2");
  dir_.write_file("busy", "");
  std::filesystem::create_directory(dir_.path() / "links");
  std::filesystem::create_symlink("nowhere", dir_.path() / "links" / "dangling");
  const bool mounted =
      ::mount(dir_.join("a").c_str(), dir_.join("busy").c_str(), nullptr, MS_BIND, nullptr) == 0;
  struct Case {
    std::function<IoResult()> call;
    std::string reason;
  };
  std::vector<Case> cases = {
      {[&] { return fs_->open_read(path("missing")).result(); }, std::strerror(ENOENT)},
      {[&] { return fs_->map_read(path("")).result(); }, std::strerror(EISDIR)},
      {[&] { return fs_->open_write(path("missing\\x")).result(); }, std::strerror(ENOENT)},
      {[&] { return fs_->move(path("a"), path("b")); }, std::strerror(EEXIST)},
      {[&] { return fs_->make_directory(path("A")); }, std::strerror(EEXIST)},
      {[&] { return fs_->remove(path("missing")); }, std::strerror(ENOENT)},
      {[&] { return fs_->make_directory(path(std::string(4096, 'x'))); },
       std::strerror(ENAMETOOLONG)},
      {[&] { return fs_->list(path("LINKS\\*"), ListMode::files_only).result(); },
       "the attributes of \"dangling\" cannot be read: " + std::string(std::strerror(ENOENT))},
  };
  if (mounted) {
    const std::string busy = held_open_reason(std::strerror(EBUSY));
    cases.push_back({[&] { return fs_->remove(path("busy")); }, busy});
    cases.push_back({[&] { return fs_->move(path("busy"), path("c")); }, busy});
  }
  for (const auto& row : cases) {
    const IoResult result = row.call();
    EXPECT_FALSE(result);
    EXPECT_EQ(result.reason(), row.reason);
  }
  if (mounted) {
    ::umount2(dir_.join("busy").c_str(), MNT_DETACH);
  }
}

// The atomic replacement goes through a hidden temporary file, which listings leave out.
TEST_F(PosixFileSystemTest, ReplaceFileKeepsPermissionsAndListingsHideDotFiles) {
  dir_.write_file("config.ini", "old");
  dir_.write_file(".hidden", "");
  chmod("config.ini", 0640);
  EXPECT_TRUE(fs_->replace_file(path("CONFIG.INI"), "new"));
  EXPECT_EQ(mode_of("config.ini"), 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2);
  EXPECT_EQ(fs_->list(path("*"), ListMode::files_only)->size(), 1u);
}

TEST_F(PosixFileSystemTest, FilesWithoutReadPermissionHaveNoReadableSize) {
  dir_.write_file("File.dat", "1");
  chmod("File.dat", 0);
  const auto expected = ::geteuid() == 0 ? std::optional<std::uint64_t>(1) : std::nullopt;
  EXPECT_EQ(fs_->readable_file_size(path("File.dat")).ok(), expected.has_value());
  ASSERT_TRUE(fs_->list(path("*"), ListMode::files_only));
  EXPECT_EQ(fs_->readable_file_size(path("File.dat")).ok(), expected.has_value());
}

}  // namespace
}  // namespace vexal
