#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "fs/archive_writer.h"
#include "fs/folder_loader.h"
#include "fs/source_loader.h"
#include "fs_test_support.h"
#include "platform/path_rules.h"
#include "support/archive_builder.h"
#include "support/status_print.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

using test::build_flat;
using test::build_two_level;
using test::entry_names;
using Names = std::vector<std::string>;

const std::string kModFolder = "C:\\mods\\demo\\";

class FolderLoadTest : public ::testing::Test {
 protected:
  void add(const std::string& relative, std::string bytes) {
    fs.add_file(kModFolder + relative, std::move(bytes));
  }
  // Loads path as a definition names it; the progress line goes to `output`, the
  // explanation of a failure to `explanation`.
  Status load(const std::string& path, FileSystem* through = nullptr) {
    list.clear();
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    reporter = {};
    const Status status =
        load_source(list, through ? *through : fs, reporter, slot, path, kModFolder);
    output = reporter.text;
    explanation = reporter.explanations;
    return status;
  }
  // Saves every entry of the loaded record into an archive file at path.
  Status save_copy(const std::string& path = "C:\\out.bin") {
    int out = -1;
    EXPECT_EQ(list.append(out), Status::ok);
    list.get(out)->name = path;
    list.get(out)->two_level = list.get(0)->two_level;
    EXPECT_EQ(list.link_archive(out, 0), Status::ok);
    return save_archive(list, fs, reporter, out);
  }
  // The loaded record written back as an archive file, to compare whole layouts.
  std::string resaved() {
    EXPECT_EQ(save_copy(), Status::ok);
    return fs.contents("C:\\out.bin").value_or("");
  }
  const ArchiveRecord& record() { return *list.get(0); }

  test::FakeFileSystem fs;
  ArchiveList list;
  test::RecordingReporter reporter;
  std::string output;
  std::string explanation;
};

TEST_F(FolderLoadTest, FlatFolderBecomesSortedUpperCaseEntries) {
  add("flat\\b.dat", "bb");
  add("flat\\A.PCX", "a");
  add("flat\\TWELVECHARS1", "12");
  add("flat\\THIRTEENCHARS", "skipped");
  ASSERT_EQ(load("flat"), Status::ok);
  EXPECT_EQ(output, "Loading folder \"flat\" ... done\n");
  EXPECT_EQ(record().name, "flat");
  EXPECT_FALSE(record().two_level);
  EXPECT_EQ(entry_names(record()), (Names{"A.PCX", "B.DAT", "TWELVECHARS1"}));
  EXPECT_EQ(resaved(), build_flat({{"A.PCX", "a"}, {"B.DAT", "bb"}, {"TWELVECHARS1", "12"}}));
}

TEST_F(FolderLoadTest, SubfoldersMakeATwoLevelArchive) {
  add("troop\\top.txt", "ignored");
  add("troop\\tank\\a01", "1");
  add("troop\\tank\\B02", "22");
  add("troop\\tank\\readme.txt", "skipped");
  add("troop\\tank\\a-1", "skipped");
  add("troop\\tank\\a1", "skipped");
  add("troop\\tank\\MAX", std::string(65535, 'm'));
  add("troop\\tank\\BIG", std::string(65536, 'b'));
  add("troop\\ab\\z00", "z");
  add("troop\\empty\\toolong", "no items");
  add("troop\\sixchr\\x01", "name too long");
  ASSERT_EQ(load("troop"), Status::ok);
  EXPECT_TRUE(record().two_level);
  EXPECT_EQ(entry_names(record()), (Names{"AB___", "TANK_"}));
  EXPECT_EQ(
      resaved(),
      build_two_level({{"AB", {{"Z00", "z"}}},
                       {"TANK", {{"A01", "1"}, {"B02", "22"}, {"MAX", std::string(65535, 'm')}}}}));
  // Tables lie in listing order (ab, tank), the dropped "empty" one leaving no gap.
  EXPECT_EQ(record().entries[0].offset, 0u);
  EXPECT_EQ(record().entries[1].offset, 2u + 9);
}

TEST_F(FolderLoadTest, AnyFolderMakesItTwoLevelEvenWithoutGroups) {
  add("mixed\\A.PCX", "a");
  fs.add_directory(kModFolder + "mixed\\toolongname");
  ASSERT_EQ(load("mixed"), Status::ok);
  EXPECT_TRUE(record().two_level);
  EXPECT_TRUE(record().entries.empty());
}

TEST_F(FolderLoadTest, MissingFoldersAndPathsTooLongFailButEmptyFoldersLoad) {
  // A folder path whose own listing fits the platform's limit, but whose group's items
  // do not.
  const std::string deep = "D:\\" + std::string(max_path_bytes - 9, 'd');
  fs.add_directory(kModFolder + "empty");
  add("file", "not a folder");
  fs.add_file(deep + "\\ab\\X01", "x");
  struct Case {
    std::string path;
    Status status;
    std::string explained;  // the folder the explanation names
  };
  const Case cases[] = {
      {"empty", Status::ok, ""},
      {"none", Status::source_not_opened, kModFolder + "none\" does not exist"},
      {"file", Status::source_not_opened, kModFolder + "file\" does not exist"},
      {deep, Status::source_not_opened, deep + "\\ab: the paths of its files would be longer"},
      {deep + "ddddd", Status::source_not_opened,
       deep + "ddddd: the paths of its files would be longer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.substr(0, 40));
    EXPECT_EQ(load(c.path), c.status);
    EXPECT_EQ(output, "Loading folder \"" + c.path + "\" ... " +
                          (c.status == Status::ok ? "done\n" : "failed\n"));
    if (c.explained.empty()) {
      EXPECT_EQ(explanation, "");
    } else {
      EXPECT_NE(explanation.find(c.explained), std::string::npos) << explanation;
    }
  }
}

TEST_F(FolderLoadTest, ItemsAreReadFromTheFolderNamedByTheGroup) {
  // The group AB___ of the folder ab_ reads its items from the folder ab.
  add("troop\\ab_\\x01", "x");
  EXPECT_EQ(load("troop"), Status::source_not_opened);
}

TEST_F(FolderLoadTest, PathsResolveAgainstTheModFolderUnlessAbsolute) {
  add("sub\\dir\\A", "rel");
  fs.add_file("D:\\abs\\dir\\A", "abs");
  ASSERT_EQ(load("sub/dir/"), Status::ok);
  EXPECT_EQ(record().name, "sub/dir/");
  EXPECT_EQ(resaved(), build_flat({{"A", "rel"}}));
  ASSERT_EQ(load("D:\\abs\\dir"), Status::ok);
  EXPECT_EQ(resaved(), build_flat({{"A", "abs"}}));
}

TEST_F(FolderLoadTest, ArchiveExtensionsLoadArchiveFiles) {
  add("data\\x.Fsu", build_two_level({{"G", {{"I01", "i"}}}}));
  add("data\\y.fs", build_flat({{"E", "e"}}));
  fs.add_directory(kModFolder + "folder.fs");
  add("data.fsx\\E", "folder");

  ASSERT_EQ(load("data\\x.Fsu"), Status::ok);
  EXPECT_EQ(output, "Loading archive \"data\\x.Fsu\" ... done\n");
  EXPECT_TRUE(record().two_level);
  ASSERT_EQ(load("data\\y.fs"), Status::ok);
  EXPECT_FALSE(record().two_level);
  ASSERT_EQ(load("data.fsx"), Status::ok);
  EXPECT_EQ(output, "Loading folder \"data.fsx\" ... done\n");

  EXPECT_EQ(load("folder.fs"), Status::archive_not_opened);
  EXPECT_EQ(output, "Loading archive \"folder.fs\" ... failed\n");
  EXPECT_EQ(list.size(), 0u);
}

TEST_F(FolderLoadTest, UnreadableFilesFailTheLoadAndFreeTheList) {
  add("flat\\A", "a");
  add("troop\\g\\I01", "i");
  fs.hook = [](const test::FakeFileSystem::Op& op) {
    return op.name == "open_read" ? test::FakeFileSystem::Verdict::fail
                                  : test::FakeFileSystem::Verdict::pass;
  };
  for (const char* path : {"flat", "troop"}) {
    EXPECT_EQ(load(path), Status::source_not_opened) << path;
    EXPECT_EQ(output, std::string("Loading folder \"") + path + "\" ... failed\n");
    EXPECT_EQ(list.size(), 0u);
  }
}

TEST_F(FolderLoadTest, FilesShorterThanListedOrTooLargeFailTheLoad) {
  add("flat\\A", "a");
  add("troop\\g\\I01", "i");
  fs.hook = [&](const test::FakeFileSystem::Op& op) {  // each file loses a byte once listed
    if (op.name == "open_read") {
      fs.add_file(op.path, fs.contents(op.path).value_or("?").substr(1));
    }
    return test::FakeFileSystem::Verdict::pass;
  };
  EXPECT_EQ(load("flat"), Status::source_not_opened);
  EXPECT_EQ(reporter.explanations,
            "C:\\mods\\demo\\flat\\A: holds fewer bytes than its folder listing said\n");
  EXPECT_EQ(list.size(), 0u);
  EXPECT_EQ(load("troop"), Status::source_not_opened);
  EXPECT_EQ(list.size(), 0u);

  const test::TempDir root;  // a sparse file, beyond what a flat entry can record
  root.write_file("big/A", "");
  std::filesystem::resize_file(root.path() / "big" / "A", std::uint64_t{1} << 32);
  const auto native = make_native_file_system();
  EXPECT_EQ(load(root.join("big"), native.get()), Status::source_not_opened);
  EXPECT_EQ(list.size(), 0u);
}

TEST_F(FolderLoadTest, EverySkippedFileAndFolderIsWarnedAbout) {
  add("flat\\THIRTEENCHARS", "x");
  add("flat\\A", "a");
  ASSERT_EQ(load("flat"), Status::ok);
  EXPECT_EQ(reporter.warnings,
            "C:\\mods\\demo\\flat\\THIRTEENCHARS: skipped: an entry name has "
            "at most 12 bytes\n");
  add("troop\\loose.txt", "x");
  add("troop\\LONGER\\A01", "x");
  add("troop\\none\\readme.txt", "x");
  add("troop\\g\\B01", std::string(65536, 'b'));
  add("troop\\g\\C01", "c");
  ASSERT_EQ(load("troop"), Status::ok);
  EXPECT_EQ(entry_names(record()), Names{"G____"});
  std::vector<std::string> lines;
  for (std::istringstream in(reporter.warnings); std::getline(in, lines.emplace_back());) {
  }
  lines.pop_back();
  std::sort(lines.begin(), lines.end());
  const std::string troop = "C:\\mods\\demo\\troop\\";
  EXPECT_EQ(lines, (Names{troop + "LONGER: skipped: a group folder name has at most 5 bytes",
                          troop + "g\\B01: skipped: an item holds at most 65535 bytes",
                          troop + "loose.txt: skipped: a file beside group folders is no item",
                          troop + "none: skipped: the group folder holds no item files",
                          troop + "none\\readme.txt: skipped: an item name is exactly 3 ASCII "
                                  "letters or digits"}));
}

// The files stay on disk until the save, which copies them as they were when listed.
TEST_F(FolderLoadTest, FilesChangedBeforeTheSaveFailItAndLeaveNoOutput) {
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"grown", [&] { add("flat\\B", "bbb"); }},
      {"shrunk", [&] { add("flat\\B", "b"); }},
      {"removed", [&] { fs.remove(kModFolder + "flat\\B"); }},
      {"unreadable",
       [&] {
         fs.hook = [](const test::FakeFileSystem::Op& op) {
           return op.name == "open_read" && op.path.ends_with("B")
                      ? test::FakeFileSystem::Verdict::fail
                      : test::FakeFileSystem::Verdict::pass;
         };
       }},
      {"item removed", [&] { fs.remove(kModFolder + "troop\\g\\I02"); }},
  };
  for (const auto& [name, change] : changes) {
    fs.restart();
    add("flat\\A", "a");
    add("flat\\B", "bb");
    add("troop\\g\\I01", "1");
    add("troop\\g\\I02", "2");
    ASSERT_EQ(load(std::string_view(name).starts_with("item") ? "troop" : "flat"), Status::ok);
    change();
    EXPECT_EQ(save_copy(), Status::source_not_opened) << name;
    EXPECT_FALSE(fs.exists("C:\\out.bin")) << name;
  }
}

TEST_F(FolderLoadTest, MissingArgumentsLeaveTheListAlone) {
  int slot = -1;
  ASSERT_EQ(list.append(slot), Status::ok);
  EXPECT_EQ(load_source(list, fs, reporter, 1, "x", kModFolder), Status::programmer_error);
  EXPECT_EQ(load_source(list, fs, reporter, slot, "", kModFolder), Status::programmer_error);
  EXPECT_EQ(load_folder(list, fs, reporter, slot, ""), Status::programmer_error);
  EXPECT_EQ(list.size(), 1u);
}

// The same folders on the disk, where file names keep their letter case.
TEST(FolderLoadOnDisk, LoadsFlatAndTwoLevelFoldersUnderTheirListedNames) {
  const test::TempDir root;
  root.write_file("flat/b.dat", "bb");
  root.write_file("flat/A.pcx", "a");
  root.write_file("troop/tank/a01", "1");
  root.write_file("troop/Ab/z00", "z");
  const std::unique_ptr<FileSystem> native = make_native_file_system();
  ArchiveList list;
  SilentReporter reporter;
  const auto load = [&](const std::string& path) {
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    EXPECT_EQ(load_source(list, *native, reporter, slot, path, root.str() + "/"), Status::ok);
    return slot;
  };
  const auto save = [&](int source, const char* name, bool two_level) {
    int out = -1;
    ASSERT_EQ(list.append(out), Status::ok);
    list.get(out)->name = root.join(name);
    list.get(out)->two_level = two_level;
    ASSERT_EQ(list.link_archive(out, source), Status::ok);
    ASSERT_EQ(save_archive(list, *native, reporter, out), Status::ok);
  };
  save(load("flat"), "OUT.FS", false);
  save(load("troop"), "OUT.FSU", true);
  EXPECT_EQ(root.read_file("OUT.FS"), build_flat({{"A.PCX", "a"}, {"B.DAT", "bb"}}));
  EXPECT_EQ(root.read_file("OUT.FSU"),
            build_two_level({{"AB", {{"Z00", "z"}}}, {"TANK", {{"A01", "1"}}}}));
}

// On disk: a large file goes through the copy in several blocks, and an output saved over
// a file of its source folder (a mod built into its own folder twice) keeps that file's
// bytes.
TEST(FolderLoadOnDisk, CopiesLargeFilesAndKeepsAFileTheOutputReplaces) {
  const test::TempDir root;
  std::string large(1'100'000, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) {
    large[i] = static_cast<char>('a' + i % 23);
  }
  root.write_file("mod/large.bin", large);
  root.write_file("mod/OUT.FS", "old");
  const std::unique_ptr<FileSystem> native = make_native_file_system();
  ArchiveList list;
  int source = -1;
  int out = -1;
  ASSERT_EQ(list.append(source), Status::ok);
  SilentReporter reporter;
  ASSERT_EQ(load_source(list, *native, reporter, source, "mod", root.str() + "/"), Status::ok);
  ASSERT_EQ(list.append(out), Status::ok);
  list.get(out)->name = root.str() + "\\mod\\OUT.FS";  // composed as the tool composes it
  ASSERT_EQ(list.link_archive(out, source), Status::ok);
  ASSERT_EQ(save_archive(list, *native, reporter, out), Status::ok);
  EXPECT_TRUE(root.read_file("mod/OUT.FS") ==
              build_flat({{"LARGE.BIN", large}, {"OUT.FS", "old"}}));
}

}  // namespace
}  // namespace vexal
