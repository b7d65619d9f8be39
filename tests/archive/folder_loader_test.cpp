#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "archive/folder_loader.h"
#include "engine_fixture.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "support/archive_builder.h"
#include "support/seeded.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

using test::build_flat;
using test::build_two_level;
using test::kModFolder;

class FolderLoadTest : public test::EngineTest {};
using Verdict = test::FakeFileSystem::Verdict;

// Random folder trees, loaded and saved whole, against a model of what loading keeps:
// with no folder at the top, the files of at most 12 bytes of name; else the group
// folders of at most 5 bytes of name that hold items, files named by exactly three
// letters or digits, of at most 65535 bytes. Everything else is skipped with a warning.
// Then a file loaded changes before a second save, which fails and leaves no output; or
// any one call of a second load fails it, naming what failed below the folder, or a file
// shrinks between listing and opening.
TEST_F(FolderLoadTest, LoadsRandomTreesAsTheModelKeeps) {
  test::for_each_seed(31000, 400, [&](std::mt19937& random, unsigned round) {
    const auto pick = [&](std::size_t n) { return test::pick(random, n); };
    // The folder as a definition may name it; files are named as it is written.
    const std::string named = std::array{"t", "t/", "sub/t\\", "D:\\abs\\t", "t.fsx"}[pick(5)];
    const std::string root = (named[1] == ':' ? "" : kModFolder) + named +
                             (named.back() == 't' || named.back() == 'x' ? "\\" : "");
    std::set<std::string> taken;
    const auto fresh_name = [&](std::size_t min, std::size_t max) {
      for (;;) {
        if (std::string name = test::random_text(random, "aBz09-.", min, max);
            name.find_first_not_of('.') != name.npos && taken.insert(upper_case(name)).second) {
          return name;
        }
      }
    };
    fs.remove_tree(kModFolder);
    fs.remove_tree("D:\\abs");
    fs.add_directory(root);
    std::vector<std::string> warned, files;  // the warnings due, the files loaded
    const auto skipped = [&](const std::string& path, const std::string& why) {
      warned.push_back(path + ": skipped: " + why);
    };
    std::vector<test::FlatEntryBytes> entries;
    std::vector<test::GroupBytes> groups;
    const bool two_level = round % 2 == 1;
    for (std::size_t n = two_level + pick(6); n > 0; --n) {
      const bool folder = two_level && (n == 1 || pick(3) != 0);
      // A file of the output's name is taken whole before the output is made.
      const bool copy = !two_level && n == 1 && pick(3) == 0;
      const std::string name = copy ? "copy" : fresh_name(1, folder ? 6 : 14);
      const std::string path = root + name;
      if (!folder) {
        const std::string bytes = test::random_text(random, "xyz", 0, 3);
        fs.add_file(path, bytes);
        if (two_level || name.size() > 12) {
          skipped(path, two_level ? "a file beside group folders is no item"
                                  : "an entry name has at most 12 bytes");
        } else {
          entries.push_back({upper_case(name), bytes}), files.push_back(path);
        }
        continue;
      }
      fs.add_directory(path);
      test::GroupBytes group{upper_case(name), {}};
      for (std::size_t i = pick(4); i > 0; --i) {
        const std::string item = path + "\\" + fresh_name(2, 4);
        const std::string bytes(pick(12) == 0 ? 65535 + pick(2) : pick(3), 'i');
        fs.add_file(item, bytes);
        if (group.name.size() > 5) {
          continue;  // not listed
        }
        if (item.size() - path.size() != 4 || item.find_first_of("-.", path.size()) != item.npos) {
          skipped(item, "an item name is exactly 3 ASCII letters or digits");
        } else if (bytes.size() > 65535) {
          skipped(item, "an item holds at most 65535 bytes");
        } else {
          group.items.push_back({upper_case(item.substr(path.size() + 1)), bytes});
          files.push_back(item);
        }
      }
      std::ranges::sort(group.items, {}, &test::ItemBytes::name);
      if (group.name.size() > 5) {
        skipped(path, "a group folder name has at most 5 bytes");
      } else if (group.items.empty()) {
        skipped(path, "the group folder holds no item files");
      } else {
        groups.push_back(group);
      }
    }
    ASSERT_EQ(load(named), Status::ok);
    ASSERT_EQ(reporter.text, "1 " + named + " done\n");
    for (const std::string& line : warned) {
      ASSERT_NE(reporter.warnings.find(line + "\n"), std::string::npos) << line;
    }
    ASSERT_EQ(std::ranges::count(reporter.warnings, '\n'), std::ssize(warned));
    ASSERT_EQ(save_copy(), Status::ok);
    ASSERT_TRUE(saved("COPY") ==
                (two_level ? test::saved_form(groups) : test::saved_form(entries)));
    fs.remove_tree("C:\\out\\COPY");

    if (!files.empty() && pick(2) == 0) {
      const std::string& changed = files[pick(files.size())];
      fs.add_file(changed, *fs.contents(changed) + "!");
      ASSERT_EQ(save_copy(), Status::source_not_opened) << changed;
      ASSERT_FALSE(saved("COPY")) << changed;
      return;
    }
    std::size_t calls = 0;
    fs.hook = [&](const test::FakeFileSystem::Op&) { return ++calls, Verdict::pass; };
    ASSERT_EQ(load(named), Status::ok);
    const std::size_t failing = pick(calls);
    const bool shrink = pick(2) == 0;
    std::string told;
    fs.hook = [&](const test::FakeFileSystem::Op& op) {
      if (failing != --calls) {
        return Verdict::pass;
      }
      if (shrink && op.name == "open_read" && !fs.contents(op.path)->empty()) {
        fs.add_file(op.path, fs.contents(op.path)->substr(1));
        return told = op.path + ": holds fewer bytes than its folder listing said\n", Verdict::pass;
      }
      told = op.path.substr(0, op.path.find_last_not_of("\\*") + 1);
      return Verdict::fail;
    };
    ASSERT_EQ(load(named), Status::source_not_opened);
    ASSERT_EQ(reporter.text, "1 " + named + " failed\n");
    std::ranges::replace(reporter.explanations, '/', '\\');
    ASSERT_NE(reporter.explanations.find(told), std::string::npos) << told;
    fs.hook = nullptr;
  });
}

// Each row loads a path as a definition names it, which fails with the explanation.
TEST_F(FolderLoadTest, RefusesFoldersThatCannotBeLoadedWhole) {
  // The group AB___ reads its items from the folder ab.
  fs.add_file(kModFolder + "wrong\\ab_\\x01", "x");
  fs.add_directory(kModFolder + "folder.fs");
  fs.add_file(kModFolder + "file", "not a folder");
  // A folder whose own listing fits the platform's limit, but whose group's items do not.
  const std::string deep = "D:\\" + std::string(max_path_bytes - 9, 'd');
  fs.add_file(deep + "\\ab\\X01", "x");
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
  for (const auto& [path, told] :
       {std::pair{std::string("folder.fs"), kModFolder + "folder.fs" + refused},
        {"wrong", kModFolder + "wrong\\AB\\x01" + refused},
        {"none", missing("none")},
        {"file", missing("file")},
        {deep, too_long(deep + "\\ab")},
        {deep + "ddddd", too_long(deep + "ddddd")}}) {
    const bool archive = path == "folder.fs";
    EXPECT_EQ(load(path), archive ? Status::archive_not_opened : Status::source_not_opened);
    EXPECT_EQ(reporter.text, (archive ? "0 " : "1 ") + path + " failed\n");
    EXPECT_EQ(reporter.explanations, told);
  }
}

// On disk, where file names keep their letter case: the group folder Ab is found as AB,
// and an output saved over a file of its source folder (a mod built into its own folder
// twice) keeps that file's bytes.
TEST_F(FolderLoadTest, SavesFoldersOnDiskAsListedAndOverTheirOwnFiles) {
  const test::TempDir root;
  root.write_file("mod/A.pcx", "a");
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
  EXPECT_TRUE(root.read_file("mod/OUT.FS") == build_flat({{"A.PCX", "a"}, {"OUT.FS", "old"}}));
  EXPECT_EQ(root.read_file("OUT.FSU"),
            build_two_level({{"AB", {{"Z00", "z"}}}, {"TANK", {{"A01", "1"}}}}));
  // A sparse file larger than a flat entry records fails the load.
  root.write_file("big/A", "");
  std::filesystem::resize_file(root.path() / "big" / "A", std::uint64_t{1} << 32);
  EXPECT_EQ(load(root.join("big"), native.get()), Status::source_not_opened);
}

}  // namespace
}  // namespace vexal
