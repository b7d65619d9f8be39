#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "archive/folder_loader.h"
#include "engine_fixture.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

using test::build_flat;
using test::build_two_level;
using test::kModFolder;
using test::le32;

class FolderLoadTest : public test::EngineTest {};

// Each row loads a path as a definition names it and saves what it loaded as an archive
// of the same layout; what the loader warns about and explains is told.
TEST_F(FolderLoadTest, LoadsFoldersAndArchiveFiles) {
  add("flat\\b.dat", "bb");
  add("flat\\A.PCX", "a");
  add("flat\\TWELVECHARS1", "12");
  add("flat\\THIRTEENCHARS", "x");
  add("troop\\top.txt", "x");
  add("troop\\tank\\a09", "1");
  add("troop\\tank\\AZ2", "22");
  add("troop\\tank\\a-1", "x");
  add("troop\\tank\\MAX", std::string(65535, 'm'));
  add("troop\\tank\\BIG", std::string(65536, 'b'));
  add("troop\\ab\\z00", "z");
  add("troop\\empty\\toolong", "x");
  add("troop\\sixchr\\x01", "x");
  add("mixed\\A.PCX", "a");
  fs.add_directory(kModFolder + "mixed\\toolongname");
  add("wrong\\ab_\\x01", "x");  // the group AB___ reads its items from the folder ab
  add("sub\\dir\\A", "rel");
  fs.add_file("D:\\abs\\dir\\A", "abs");
  const std::string fsu = build_two_level({{"G", {{"I01", "i"}}}});
  add("data\\x.Fsu", fsu);
  fs.add_directory(kModFolder + "folder.fs");
  add("data.fsx\\E", "folder");
  add("file", "not a folder");
  // A folder whose own listing fits the platform's limit, but whose group's items do not.
  const std::string deep = "D:\\" + std::string(max_path_bytes - 9, 'd');
  fs.add_file(deep + "\\ab\\X01", "x");
  const std::string troop = kModFolder + "troop\\";
  const std::string no_item = ": skipped: an item name is exactly 3 ASCII letters or digits\n";
  const std::string no_group = ": skipped: a group folder name has at most 5 bytes\n";
  const std::string beside = ": skipped: a file beside group folders is no item\n";
  const std::string refused = ": refused by the fake file system\n";
  const auto missing = [](const std::string& name) {
    return "the source folder \"" + kModFolder + name +
           "\" does not exist; check its name and the path in the definition\n";
  };
  const auto too_long = [](const std::string& folder) {
    return folder + ": the paths of its files would be longer than " +
           std::to_string(max_path_bytes - 1) +
           " bytes; move the mod to a folder with a shorter path\n";
  };
  struct Row {
    std::string path;
    Status status;
    bool archive;
    std::string saved;
    std::string told;  // warnings, then the explanation of a failure
  };
  const Row rows[] = {
      {"flat", Status::ok, false,
       build_flat({{"A.PCX", "a"}, {"B.DAT", "bb"}, {"TWELVECHARS1", "12"}}),
       kModFolder + "flat\\THIRTEENCHARS: skipped: an entry name has at most 12 bytes\n"},
      {"troop", Status::ok, false,
       build_two_level({{"AB", {{"Z00", "z"}}},
                        {"TANK", {{"A09", "1"}, {"AZ2", "22"}, {"MAX", std::string(65535, 'm')}}}}),
       troop + "empty\\toolong" + no_item + troop +
           "empty: skipped: the group folder holds no item files\n" + troop + "sixchr" + no_group +
           troop + "tank\\a-1" + no_item + troop +
           "tank\\BIG: skipped: an item holds at most 65535 bytes\n" + troop + "top.txt" + beside},
      {"mixed", Status::ok, false, le32(8) + le32(0),
       kModFolder + "mixed\\A.PCX" + beside + kModFolder + "mixed\\toolongname" + no_group},
      {"sub/dir/", Status::ok, false, build_flat({{"A", "rel"}}), ""},
      {"D:\\abs\\dir", Status::ok, false, build_flat({{"A", "abs"}}), ""},
      {"data\\x.Fsu", Status::ok, true, fsu, ""},
      {"data.fsx", Status::ok, false, build_flat({{"E", "folder"}}), ""},
      {"folder.fs", Status::archive_not_opened, true, "", kModFolder + "folder.fs" + refused},
      {"wrong", Status::source_not_opened, false, "", kModFolder + "wrong\\AB\\x01" + refused},
      {"none", Status::source_not_opened, false, "", missing("none")},
      {"file", Status::source_not_opened, false, "", missing("file")},
      {deep, Status::source_not_opened, false, "", too_long(deep + "\\ab")},
      {deep + "ddddd", Status::source_not_opened, false, "", too_long(deep + "ddddd")},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.path.substr(0, 40));
    ASSERT_EQ(load(r.path), r.status);
    EXPECT_EQ(reporter.text, (r.archive ? "0 " : "1 ") + r.path +
                                 (r.status == Status::ok ? " done\n" : " failed\n"));
    EXPECT_EQ(reporter.warnings + reporter.explanations, r.told);
    if (r.status == Status::ok) {
      ASSERT_EQ(save_copy(), Status::ok);
      EXPECT_TRUE(saved("COPY") == r.saved);
    }
  }
}

// A file that cannot be opened, that holds fewer bytes than listed once opened, or a
// folder that cannot be listed fails the load; so does a file larger
// than a flat entry records.
TEST_F(FolderLoadTest, UnreadableShortOrHugeFilesAndUnlistableFoldersFailTheLoad) {
  add("flat\\A", "a");
  add("troop\\G\\I01", "i");
  const std::string refused = ": refused by the fake file system\n";
  const struct {
    const char* folder;
    std::string_view call;  // fails at its nth time; "shrink": every file loses a byte
    int nth;
    std::string told;
  } rows[] = {
      {"flat", "open_read", 1, "flat\\A" + refused},
      {"troop", "open_read", 1, "troop\\G\\I01" + refused},
      {"flat", "shrink", 1, "flat\\A: holds fewer bytes than its folder listing said\n"},
      {"troop", "shrink", 1, "troop\\G\\I01: holds fewer bytes than its folder listing said\n"},
      {"flat", "list", 1, "flat" + refused},
      {"troop", "list", 2, "troop\\G" + refused},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.folder) + " " + std::string(row.call));
    int seen = 0;
    fs.hook = [&](const test::FakeFileSystem::Op& op) {
      if (row.call == "shrink" && op.name == "open_read") {
        fs.add_file(op.path, fs.contents(op.path).value_or("?").substr(1));
      }
      return op.name == row.call && ++seen == row.nth ? test::FakeFileSystem::Verdict::fail
                                                      : test::FakeFileSystem::Verdict::pass;
    };
    EXPECT_EQ(load(row.folder), Status::source_not_opened);
    EXPECT_EQ(reporter.text, "1 " + std::string(row.folder) + " failed\n");
    EXPECT_EQ(reporter.explanations, kModFolder + row.told);
    fs.restart();
    add("flat\\A", "a");
    add("troop\\G\\I01", "i");
  }

  const test::TempDir root;  // a sparse file
  root.write_file("big/A", "");
  std::filesystem::resize_file(root.path() / "big" / "A", std::uint64_t{1} << 32);
  const auto native = make_native_file_system();
  EXPECT_EQ(load(root.join("big"), native.get()), Status::source_not_opened);
}

// The files stay on disk until the save, which copies them as they were when listed: a
// file changed since then (the file system's copy tells any change; a file of the
// output's name is checked by its size) fails it and leaves no output.
TEST_F(FolderLoadTest, FilesChangedBeforeTheSaveFailItAndLeaveNoOutput) {
  for (const auto& [folder, file] :
       {std::pair{"flat", "flat\\B"}, {"flat", "flat\\COPY"}, {"troop", "troop\\g\\I02"}}) {
    fs.restart();
    add("flat\\A", "a");
    add("flat\\B", "bb");
    add("flat\\COPY", "cc");  // the output's name: taken whole before the output is made
    add("troop\\g\\I01", "1");
    add("troop\\g\\I02", "22");
    ASSERT_EQ(load(folder), Status::ok);
    add(file, "2");
    EXPECT_EQ(save_copy(), Status::source_not_opened) << folder;
    EXPECT_FALSE(saved("COPY")) << folder;
  }
}

TEST_F(FolderLoadTest, MissingArgumentsAreRefused) {
  SourceArchive& source = list.add_source("");
  EXPECT_EQ(read_archive_file(fs, source, "").status(), Status::programmer_error);
  EXPECT_EQ(load_source(fs, reporter, source, kModFolder).status(), Status::programmer_error);
  EXPECT_EQ(load_folder(fs, reporter, source, "").status(), Status::programmer_error);
}

// On disk, where file names keep their letter case: the group folder Ab is found as AB,
// a large file goes through the copy in several blocks, and an output saved over a file
// of its source folder (a mod built into its own folder twice) keeps that file's bytes.
TEST_F(FolderLoadTest, SavesFoldersOnDiskAsListedAndOverTheirOwnFiles) {
  const test::TempDir root;
  std::string large(1'100'000, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) {
    large[i] = static_cast<char>('a' + i % 23);
  }
  root.write_file("mod/b.dat", "bb");
  root.write_file("mod/A.pcx", "a");
  root.write_file("mod/large.bin", large);
  root.write_file("mod/OUT.FS", "old");
  root.write_file("troop/tank/a01", "1");
  root.write_file("troop/Ab/z00", "z");
  const std::unique_ptr<FileSystem> native = make_native_file_system();
  // Output names composed as the tool composes them.
  for (const auto& [folder, output, two_level] :
       {std::tuple{"mod", "\\mod\\OUT.FS", false}, {"troop", "\\OUT.FSU", true}}) {
    SourceArchive& source = list.add_source(folder);
    ASSERT_EQ(told(load_source(*native, reporter, source, root.str() + "/")), Status::ok);
    OutputArchive& out = list.add_output("OUT", two_level);
    out.file_path = root.str() + output;
    ASSERT_TRUE(list.link_archive(out, source));
    ASSERT_EQ(save(out, native.get()), Status::ok);
  }
  EXPECT_TRUE(
      root.read_file("mod/OUT.FS") ==
      build_flat({{"A.PCX", "a"}, {"B.DAT", "bb"}, {"LARGE.BIN", large}, {"OUT.FS", "old"}}));
  EXPECT_EQ(root.read_file("OUT.FSU"),
            build_two_level({{"AB", {{"Z00", "z"}}}, {"TANK", {{"A01", "1"}}}}));
}

}  // namespace
}  // namespace vexal
