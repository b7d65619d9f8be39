#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "platform/ascii.h"

#include "engine_fixture.h"
#include "support/archive_builder.h"
#include "support/seeded.h"

namespace vexal {
namespace {

using test::build_flat;
using test::build_two_level;

class ArchiveSaveTest : public test::EngineTest {};
using Verdict = test::FakeFileSystem::Verdict;

constexpr std::string_view kNameBytes = "ABCXYZabcxyz0189._";
constexpr std::string_view kDataBytes{"\0\1a\xFF\x80Z", 6};

// Distinct names without regard to case, in random order.
template <typename T, typename Make>
std::vector<T> random_members(std::mt19937& random, std::size_t max_length, const Make& make) {
  std::vector<T> members;
  std::set<std::string> seen;
  for (std::size_t n = test::pick(random, 12); members.size() < n;) {
    std::string name = test::random_text(random, kNameBytes, 1, max_length);
    if (seen.insert(upper_case(name)).second) {
      members.push_back(make(std::move(name)));
    }
  }
  return members;
}

// A group of the most items a table can count, after an item of the most bytes.
std::vector<test::GroupBytes> largest_two_level() {
  std::vector<test::ItemBytes> many;
  many.reserve(65535);
  for (int i = 0; i < 65535; ++i) {
    many.push_back({std::string(1, static_cast<char>('A' + i % 26)) + "00", ""});
  }
  return {{"BIG", {{"B01", std::string(65535, 'b')}}}, {"MANY", many}};
}

// Random archives, flat and two-level, in any order, read, linked whole and saved: the
// output is the archive with its entries or groups sorted by name without regard to case
// (as padded with "_" for groups), everything else as it was. One round takes the
// extremes of the two-level layout. Then any call of a second save fails: the save
// fails and leaves no output, or names the partial one it could not remove.
TEST_F(ArchiveSaveTest, SavesRandomArchivesSortedAndLeavesNoPartialOutput) {
  test::for_each_seed(20240601, 300, [&](std::mt19937& random, unsigned round) {
    const bool two_level = round % 2 == 1;
    std::string bytes, sorted;
    if (two_level) {
      auto groups = random_members<test::GroupBytes>(random, 5, [&](std::string name) {
        test::GroupBytes group{std::move(name), {}};
        for (std::size_t i = test::pick(random, 4); i > 0; --i) {
          group.items.push_back({test::random_text(random, kNameBytes, 3, 3),
                                 test::random_text(random, kDataBytes, 0, 8)});
        }
        return group;
      });
      if (round == 1) {
        groups = largest_two_level();
      }
      bytes = build_two_level(groups);
      sorted = test::saved_form(groups);
    } else {
      auto entries = random_members<test::FlatEntryBytes>(random, 12, [&](std::string name) {
        // Bytes after the terminator of a name are kept as read.
        if (test::pick(random, 4) == 0) {
          name += '\0' + test::random_text(random, std::string_view("x\0", 2), 0, 12 - name.size());
        }
        return test::FlatEntryBytes{std::move(name), test::random_text(random, kDataBytes, 0, 8)};
      });
      bytes = build_flat(entries);
      sorted = test::saved_form(entries);
    }
    list = {};
    // Every archive cut short is refused.
    ASSERT_EQ(read(two_level ? "C.FSU" : "C.FS", bytes.substr(0, test::pick(random, bytes.size()))),
              Status::archive_not_opened);
    fs.remove_tree("C:\\out\\OUT");
    OutputArchive& out = add_output("OUT", two_level);
    ASSERT_TRUE(list.link_archive(out, add_archive(two_level ? "R.FSU" : "R.FS", bytes)));
    std::size_t calls = 0;
    fs.hook = [&](const test::FakeFileSystem::Op&) { return ++calls, Verdict::pass; };
    ASSERT_EQ(save(out), Status::ok);
    ASSERT_TRUE(saved("OUT") == sorted);

    fs.remove_tree("C:\\out\\OUT");
    const std::size_t failing = test::pick(random, calls);
    const bool remove_fails = test::pick(random, 2) == 0;
    std::string failed;
    fs.hook = [&](const test::FakeFileSystem::Op& op) {
      if (op.name == "remove" || failing != --calls) {
        return op.name == "remove" && remove_fails ? Verdict::fail : Verdict::pass;
      }
      if (op.name == "close") {  // a close that fails leaves what it wrote
        fs.add_file(op.path, "part");
      }
      return failed = op.name, Verdict::fail;
    };
    reporter.explanations.clear();
    ASSERT_EQ(save(out), Status::archive_not_created);
    fs.hook = nullptr;
    const bool left = remove_fails && failed != "open_write";
    ASSERT_EQ(fs.exists("C:\\out\\OUT"), left) << failed;
    const std::string told = failed == "open_write" ? ": refused by the fake file system"
                             : left
                                 ? "; the partial file is left at C:\\out\\OUT and must be "
                                   "deleted (removing it failed: refused by the fake file system)"
                                 : "could not be written completely (refused by the fake file "
                                   "system), so it was removed";
    ASSERT_TRUE(reporter.explanations.starts_with("C:\\out\\OUT: ")) << reporter.explanations;
    ASSERT_NE(reporter.explanations.find(told), std::string::npos) << reporter.explanations;
  });
}

// Outputs of links made by hand, refused before their file exists. A flat output would
// take a group's item table as entry bytes, a two-level one a flat entry as an item table.
TEST_F(ArchiveSaveTest, RefusesUnwritableOutputsBeforeCreatingTheFile) {
  const std::uint32_t groups =
      add_archive("G.FSU", build_two_level({{"AB", {{"X01", "xy"}}}})).index;
  const std::uint32_t flat =
      add_archive("F.FS", build_flat({{"A", std::string(1 << 20, 'a')}})).index;
  const std::uint32_t big =
      add_archive("B.FSU", build_two_level({{"BIG", {{"B01", std::string(65535, 'b')}}}})).index;
  const struct {
    const char* output;
    std::uint32_t source;
    std::uint32_t entry;
    std::size_t links;
    const char* explained;  // none for a programmer's error
  } rows[] = {
      {"M.FS", groups, 0, 1, "M.FS: the entry \"AB___\" comes from \"G.FSU\", a two-level"},
      {"M.FSU", flat, 0, 1, "M.FSU: the entry \"A\" comes from \"F.FS\", a flat source"},
      // Offsets of 4097 copies of 1 MiB, or of 65538 items of 64 KiB, would pass 4 GiB - 1.
      {"H.FS", flat, 0, 4097,
       "C:\\out\\H.FS: the archive would pass 4 GiB, beyond the offsets its layout can record\n"},
      {"H.FSU", big, 0, 65538,
       "C:\\out\\H.FSU: the archive would pass 4 GiB, beyond the offsets its layout can record\n"},
      {"B.FS", 99, 0, 1, ""},
      {"B.FSU", groups, 1, 1, ""},
  };
  for (const auto& r : rows) {
    OutputArchive& out = add_output(r.output, std::string_view(r.output).ends_with('U'));
    out.links.assign(r.links, Link{r.source, r.entry});
    reporter.explanations.clear();
    EXPECT_EQ(save(out), *r.explained ? Status::archive_not_created : Status::programmer_error)
        << r.output;
    EXPECT_TRUE(reporter.explanations.starts_with(r.explained)) << reporter.explanations;
    EXPECT_FALSE(saved(r.output)) << r.output;
  }
}

}  // namespace
}  // namespace vexal
