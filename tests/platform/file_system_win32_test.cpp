// What only the Windows backend does: the system's reasons, attributes and the limit of a
// path (run under Wine on the build machine).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

class Win32FileSystemTest : public ::testing::Test {
 protected:
  std::string path(std::string_view relative) const {
    std::string text = dir_.str() + "\\" + std::string(relative);
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
  }

  test::TempDir dir_;
  std::unique_ptr<FileSystem> fs_ = make_native_file_system();
};

TEST_F(Win32FileSystemTest, FailedCallsTellTheSystemsReason) {
  dir_.write_file("a", "1");
  dir_.write_file("b", "2");
  const std::string missing = fs_->open_read(path("missing")).reason();
  const IoResult onto_existing = fs_->move(path("a"), path("b"));
  EXPECT_FALSE(onto_existing);
  const std::string exists = onto_existing.reason();
  EXPECT_FALSE(missing.empty());
  EXPECT_NE(missing, exists);
  EXPECT_NE(missing.back(), '\n');
  // A file another program holds open without sharing it, as the game holds its archives.
  const HANDLE held = CreateFileA(path("a").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::function<IoResult()> refused[] = {
      [&] { return fs_->open_read(path("a")).result(); },
      [&] { return fs_->remove(path("a")); },
      [&] { return fs_->move(path("a"), path("c")); },
  };
  for (const auto& call : refused) {
    const IoResult result = call();
    EXPECT_FALSE(result);
    EXPECT_TRUE(result.reason().ends_with(
        "; another program, such as the game, has the file open: close it and run again"))
        << result.reason();
  }
  CloseHandle(held);
}

TEST_F(Win32FileSystemTest, ListingLeavesOutHiddenAndSystemFiles) {
  dir_.write_file("m/A.PCX", "1");
  dir_.write_file("m/hidden.dat", "");
  dir_.write_file("m/system.dat", "");
  SetFileAttributesA(path("m\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA(path("m\\system.dat").c_str(), FILE_ATTRIBUTE_SYSTEM);
  const auto entries = fs_->list(path("M\\*"), ListMode::files_only);
  ASSERT_TRUE(entries && entries->size() == 1);
  EXPECT_EQ(entries->front().name, "A.PCX");
}

TEST_F(Win32FileSystemTest, PathsFitBelowMaxPathBytes) {
  const std::string long_name(260 - dir_.str().size(), 'x');  // one byte too many with "\"
  EXPECT_FALSE(fs_->open_write(path(long_name)));
  auto fits = fs_->open_write(path(long_name.substr(10)));
  ASSERT_TRUE(fits);
  EXPECT_TRUE((*fits)->close());
}

TEST_F(Win32FileSystemTest, ReplaceFileKeepsAttributes) {
  dir_.write_file("config.ini", "old");
  SetFileAttributesA(path("config.ini").c_str(), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(fs_->replace_file(path("CONFIG.INI"), "new"));
  EXPECT_EQ(dir_.read_file("config.ini"), "new");
  EXPECT_NE(GetFileAttributesA(path("config.ini").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

}  // namespace
}  // namespace vexal
