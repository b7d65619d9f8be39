#include "support/fake_file_system.h"

#include <gtest/gtest.h>

namespace vexal::test {
namespace {

bool write(FileSystem& fs, const std::string& path, std::string_view text) {
  auto file = fs.open_write(path);
  return file && file->write(std::as_bytes(std::span(text))) && file->close();
}

TEST(FakeFileSystemTest, AnInjectedFailureHasNoEffect) {
  FakeFileSystem fs;
  fs.add_file("C:\\a", "1");
  fs.fail_operation(2);
  EXPECT_TRUE(fs.make_directory("C:\\d"));
  EXPECT_FALSE(fs.move("C:\\a", "C:\\d\\a"));
  EXPECT_TRUE(fs.move("C:\\a", "C:\\d\\a"));
  EXPECT_EQ(fs.mutation_count(), 3u);
  EXPECT_EQ(fs.journal()[1], "2 move C:\\a -> C:\\d\\a [injected failure]");
  fs.fail_if = [](std::string_view op, const std::string& path) {
    return op == "open_read" && path == "C:\\d\\a";
  };
  EXPECT_EQ(fs.open_read("C:\\d\\a"), nullptr);
  EXPECT_NE(fs.open_read("C:\\D\\A"), nullptr);
}

TEST(FakeFileSystemTest, AFileWrittenAppearsWhenClosedAsOneOperation) {
  FakeFileSystem fs;
  auto file = fs.open_write("C:\\out.fs");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->write(std::as_bytes(std::span(std::string_view("data")))));
  EXPECT_FALSE(fs.exists("C:\\out.fs"));
  EXPECT_EQ(fs.mutation_count(), 0u);
  fs.fail_operation(1);
  EXPECT_FALSE(file->close());
  EXPECT_FALSE(fs.exists("C:\\out.fs"));
  EXPECT_TRUE(write(fs, "C:\\out.fs", "data"));
  EXPECT_EQ(fs.contents("C:\\out.fs"), "data");
}

TEST(FakeFileSystemTest, ACrashStopsEveryLaterCall) {
  FakeFileSystem fs;
  fs.add_file("C:\\a", "1");
  fs.crash_after(2);
  EXPECT_TRUE(fs.make_directory("C:\\d"));
  auto pending = fs.open_write("C:\\pending");
  EXPECT_TRUE(fs.move("C:\\a", "C:\\d\\a"));
  EXPECT_TRUE(fs.crashed());
  EXPECT_THROW(fs.is_file("C:\\d\\a"), FakeCrash);
  EXPECT_THROW(pending->close(), FakeCrash);
  pending.reset();  // dying with the process leaves no file behind
  EXPECT_EQ(fs.files(), (std::map<std::string, std::string>{{"C:\\d\\a", "1"}}));
  fs.clear_faults();
  EXPECT_TRUE(fs.is_file("C:\\d\\a"));
}

}  // namespace
}  // namespace vexal::test
