#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "support/fake_file_system.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

std::string text_of(std::span<const std::byte> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Backends without mappings (the fake, Windows) read the file and write copies.
TEST(FileSystemDefaultsTest, MapReadReadsTheFileAndWriteFromWritesTheBytes) {
  test::FakeFileSystem fs;
  fs.add_file("C:\\data\\Game.fs", "0123456789");
  fs.add_file("C:\\data\\Empty.fs", "");
  const auto mapped = fs.map_read("C:\\DATA\\GAME.FS");
  ASSERT_NE(mapped, nullptr);
  EXPECT_EQ(text_of(mapped->bytes()), "0123456789");
  const auto empty = fs.map_read("C:\\data\\Empty.fs");
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->bytes().empty());
  EXPECT_EQ(fs.map_read("C:\\data\\Missing.fs"), nullptr);
  EXPECT_EQ(fs.map_read("C:\\data"), nullptr);

  auto out = fs.open_write("C:\\data\\Out.fs");
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out->write_from(*mapped, mapped->bytes().subspan(3, 4)));
  EXPECT_TRUE(out->close());
  EXPECT_EQ(read_whole_file(fs, "C:\\data\\Out.fs"), "3456");
}

// The backend of the platform: a second lock on the same file, as another run would
// take it, is refused while the first is held.
TEST(NativeFileLockTest, ExclusiveUntilReleased) {
  const test::TempDir dir;
  dir.write_file("folder/x", "");
  const std::unique_ptr<FileSystem> fs = make_native_file_system();
  const std::string path = dir.str() + "\\run.lock";
  LockAttempt first = fs->lock_exclusive(path, false);
  ASSERT_NE(first.lock, nullptr);
  const LockAttempt second = fs->lock_exclusive(path, false);
  EXPECT_EQ(second.lock, nullptr);
  EXPECT_TRUE(second.busy);
  first.lock.reset();
  EXPECT_NE(fs->lock_exclusive(path, true).lock, nullptr);

  const LockAttempt folder = fs->lock_exclusive(dir.str() + "\\folder", false);
  EXPECT_EQ(folder.lock, nullptr);
  EXPECT_FALSE(folder.busy);
}

// The default copy reads in blocks of 1 MiB and checks the file's end with the last read.
TEST(FileSystemDefaultsTest, AppendFileTakesExactlyTheExpectedBytes) {
  const std::string big(std::size_t{1} << 20, 'b');
  struct Row {
    const char* name;
    std::optional<std::string> contents;  // nullopt: no such file
    std::uint64_t expected;
    CopyResult result;
  };
  const std::vector<Row> rows = {
      {"exact", "abc", 3, CopyResult::copied},
      {"empty", "", 0, CopyResult::copied},
      {"block and more", big + "xyz", big.size() + 3, CopyResult::copied},
      {"exactly a block", big, big.size(), CopyResult::copied},
      {"shorter", "ab", 3, CopyResult::source_failed},
      {"longer", "abcd", 3, CopyResult::source_failed},
      {"a block longer", big + "x", big.size(), CopyResult::source_failed},
      {"missing", std::nullopt, 0, CopyResult::source_failed},
  };
  for (const Row& row : rows) {
    test::FakeFileSystem fs;
    if (row.contents) {
      fs.add_file("C:\\in\\File", *row.contents);
    }
    auto out = fs.open_write("C:\\out");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(fs.append_file(*out, "C:\\IN\\FILE", row.expected), row.result) << row.name;
    EXPECT_TRUE(out->close());
    if (row.result == CopyResult::copied) {
      EXPECT_TRUE(read_whole_file(fs, "C:\\out") == row.contents) << row.name;
    }
  }
  test::FakeFileSystem fs;
  fs.add_file("C:\\in\\File", "abc");
  auto read_only = fs.open_read("C:\\in\\File");
  EXPECT_EQ(fs.append_file(*read_only, "C:\\in\\File", 3), CopyResult::target_failed);
  EXPECT_EQ(fs.readable_file_size("C:\\IN\\file"), 3u);
  EXPECT_EQ(fs.readable_file_size("C:\\in"), std::nullopt);
}

}  // namespace
}  // namespace vexal
