#include "support/fake_file_system.h"

#include <gtest/gtest.h>

namespace vexal::test {
namespace {

std::vector<std::string> names(const std::vector<DirEntry>& entries) {
  std::vector<std::string> result;
  for (const auto& entry : entries) {
    result.push_back(entry.name);
  }
  return result;
}

bool write(FileSystem& fs, const std::string& path, std::string_view text) {
  auto file = fs.open_write(path);
  return file && file->write(std::as_bytes(std::span(text))) && file->close();
}

TEST(FakeFileSystemTest, NamesIgnoreCaseAndKeepTheirSpelling) {
  FakeFileSystem fs;
  fs.add_file("C:\\Game\\Data\\Words.fs", "abc");
  EXPECT_TRUE(fs.is_file("c:/GAME/data/WORDS.FS"));
  EXPECT_TRUE(fs.is_directory("C:\\game\\DATA\\"));
  EXPECT_TRUE(fs.is_directory("C:\\"));
  EXPECT_TRUE(fs.is_directory("D:"));
  EXPECT_EQ(read_whole_file(fs, "C:\\GAME\\DATA\\words.FS"), "abc");
  EXPECT_TRUE(fs.move("C:\\game\\data\\words.fs", "C:\\GAME\\Moved.FS"));
  const std::map<std::string, std::string> expected{{"C:\\Game\\Moved.FS", "abc"}};
  EXPECT_EQ(fs.files(), expected);
}

TEST(FakeFileSystemTest, RelativePathsStartAtTheCurrentDirectory) {
  FakeFileSystem fs("C:\\tools\\mb");
  EXPECT_EQ(fs.current_directory(), "C:\\tools\\mb");
  ASSERT_TRUE(write(fs, "config.ini", "x"));
  EXPECT_EQ(fs.contents("C:\\tools\\mb\\config.ini"), "x");
  EXPECT_TRUE(fs.make_directory("backup"));
  EXPECT_TRUE(fs.is_directory("C:\\TOOLS\\MB\\BACKUP"));
}

TEST(FakeFileSystemTest, MutationsFollowWindowsRules) {
  FakeFileSystem fs;
  fs.add_file("C:\\a\\one", "1");
  fs.add_file("C:\\a\\two", "2");
  EXPECT_FALSE(fs.move("C:\\a\\one", "C:\\a\\TWO"));  // destination exists
  EXPECT_FALSE(fs.move("C:\\a\\none", "C:\\a\\three"));
  EXPECT_FALSE(fs.move("C:\\a\\one", "C:\\missing\\one"));
  EXPECT_FALSE(fs.make_directory("C:\\A"));
  EXPECT_FALSE(fs.make_directory("C:\\x\\y"));
  EXPECT_FALSE(fs.remove("C:\\a"));  // a folder
  EXPECT_TRUE(fs.remove("C:\\A\\ONE"));
  EXPECT_FALSE(fs.exists("C:\\a\\one"));
  fs.set_read_only("C:\\a\\two");
  EXPECT_FALSE(fs.replace_file("C:\\a\\two", "new"));
  EXPECT_EQ(fs.open_write("C:\\a\\two"), nullptr);
  EXPECT_EQ(fs.contents("C:\\a\\two"), "2");
}

TEST(FakeFileSystemTest, ListingLeavesOutHiddenNamesAndFoldersUnlessAsked) {
  FakeFileSystem fs;
  fs.add_file("C:\\m\\b.dat", "12");
  fs.add_file("C:\\m\\A.PCX", "1");
  fs.add_file("C:\\m\\.hidden", "");
  fs.add_file("C:\\m\\tank\\a01", "");
  fs.add_file("C:\\m\\tank\\readme.txt", "");
  EXPECT_EQ(names(fs.list("C:\\m\\*.*", ListMode::files_only)),
            (std::vector<std::string>{"A.PCX", "b.dat"}));
  const auto all = fs.list("C:\\M\\*", ListMode::directories_included);
  EXPECT_EQ(names(all), (std::vector<std::string>{"A.PCX", "b.dat", "tank"}));
  EXPECT_EQ(all[1].size, 2u);
  EXPECT_TRUE(all[2].is_directory);
  EXPECT_EQ(names(fs.list("C:\\m\\tank\\???", ListMode::files_only)),
            std::vector<std::string>{"a01"});
  EXPECT_TRUE(fs.list("C:\\nowhere\\*", ListMode::files_only).empty());
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
