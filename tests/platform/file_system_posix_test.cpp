// What only the POSIX backend does: the system's reasons, permissions, hidden dot files
// and moves across file systems.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

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

TEST_F(PosixFileSystemTest, FailedCallsTellTheSystemsReason) {
  dir_.write_file("a", "1");
  dir_.write_file("b", "2");
  const struct {
    std::function<bool()> call;
    int error;
  } cases[] = {
      {[&] { return fs_->open_read(path("missing")) != nullptr; }, ENOENT},
      {[&] { return fs_->map_read(path("")) != nullptr; }, EISDIR},
      {[&] { return fs_->open_write(path("missing\\x")) != nullptr; }, ENOENT},
      {[&] { return fs_->move(path("a"), path("b")); }, EEXIST},
      {[&] { return fs_->make_directory(path("A")); }, EEXIST},
      {[&] { return fs_->remove(path("missing")); }, ENOENT},
      {[&] { return fs_->make_directory(path(std::string(4096, 'x'))); }, ENAMETOOLONG},
  };
  for (const auto& row : cases) {
    EXPECT_FALSE(row.call());
    EXPECT_EQ(fs_->failure_reason(), std::strerror(row.error));
  }
}

TEST_F(PosixFileSystemTest, MoveToAnotherFileSystemCopiesAndDeletes) {
  struct stat shm {
  }, tmp{};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(dir_.str().c_str(), &tmp) != 0 ||
      shm.st_dev == tmp.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  test::TempDir other("/dev/shm");
  other.write_file("archive.fs", "bytes");
  ::chmod(other.join("archive.fs").c_str(), 0604);
  EXPECT_TRUE(fs_->move(other.join("ARCHIVE.FS"), path("Moved.fs")));
  EXPECT_EQ(dir_.read_file("Moved.fs"), "bytes");
  EXPECT_EQ(mode_of("Moved.fs"), 0604u);
  EXPECT_FALSE(fs_->is_file(other.join("archive.fs")));

  other.write_file("again.fs", "1");
  EXPECT_FALSE(fs_->move(other.join("again.fs"), path("MOVED.FS")));
  EXPECT_EQ(other.read_file("again.fs"), "1");
}

// The atomic replacement goes through a hidden temporary file, which listings leave out.
TEST_F(PosixFileSystemTest, ReplaceFileKeepsPermissionsAndListingsHideDotFiles) {
  dir_.write_file("config.ini", "old");
  dir_.write_file(".hidden", "");
  chmod("config.ini", 0640);
  EXPECT_TRUE(fs_->replace_file(path("CONFIG.INI"), "new"));
  EXPECT_EQ(mode_of("config.ini"), 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2);
  EXPECT_EQ(fs_->list(path("*"), ListMode::files_only).size(), 1u);
}

TEST_F(PosixFileSystemTest, FilesWithoutReadPermissionHaveNoReadableSize) {
  dir_.write_file("File.dat", "1");
  chmod("File.dat", 0);
  const auto expected = ::geteuid() == 0 ? std::optional<std::uint64_t>(1) : std::nullopt;
  EXPECT_EQ(fs_->readable_file_size(path("File.dat")), expected);
  fs_->list(path("*"), ListMode::files_only);
  EXPECT_EQ(fs_->readable_file_size(path("File.dat")), expected);
}

}  // namespace
}  // namespace vexal
