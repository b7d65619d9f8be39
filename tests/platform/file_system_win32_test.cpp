// What only the Windows backend does: the system's reasons, attributes, the drive
// letter and the profile functions (run under Wine on the build machine).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "platform/file_system.h"
#include "platform/settings.h"
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

// Between volumes a move copies, and a mapped original, which cannot be deleted, is kept
// under a hidden name until its mapping goes. Under Wine, Z:\dev\shm is another volume.
TEST_F(Win32FileSystemTest, MovesAMappedFileToAnotherVolume) {
  if (!std::filesystem::is_directory("Z:\\dev\\shm")) {
    GTEST_SKIP() << "no second volume at Z:\\dev\\shm";
  }
  test::TempDir other("Z:\\dev\\shm");
  other.write_file("archive.fs", "bytes");
  auto mapped = fs_->map_read(other.str() + "\\archive.fs").value_or(nullptr);
  ASSERT_NE(mapped, nullptr);
  EXPECT_TRUE(fs_->move(other.str() + "\\ARCHIVE.FS", path("Moved.fs")));
  EXPECT_EQ(dir_.read_file("Moved.fs"), "bytes");
  EXPECT_FALSE(fs_->is_file(other.str() + "\\archive.fs"));
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(mapped->bytes().data()), 5), "bytes");
  mapped.reset();
  EXPECT_TRUE(std::filesystem::is_empty(other.path()));
}

// config.ini through the system's profile functions (which the portable service
// follows: see settings_win32_test.cpp), with values longer than their first buffer.
TEST_F(Win32FileSystemTest, SettingsReadAndWriteThroughTheProfileFunctions) {
  dir_.write_file("config.ini", "[STATUS]\r\nA_FS=1\r\n");
  auto settings = open_settings(*fs_, path("config.ini"));
  ASSERT_NE(settings, nullptr);
  const std::string long_value(1000, 'v');
  EXPECT_TRUE(settings->write_string("STATUS", "mod_data", long_value));
  EXPECT_EQ(settings->read_string("status", "MOD_DATA", ""), long_value);
  EXPECT_FALSE(settings->write_string("STATUS", "x", "1\r\nD_FS=1"));
  EXPECT_FALSE(settings->key_exists("STATUS", "D_FS"));

  SetFileAttributesA(path("config.ini").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(settings->write_integer("STATUS", "A_FS", 0));
  SetFileAttributesA(path("config.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(settings->read_integer("STATUS", "A_FS", -1), 1);

  EXPECT_EQ(open_settings(*fs_, path("missing.ini")), nullptr);
}

}  // namespace
}  // namespace vexal
