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
using test::le32;

class ArchiveSaveTest : public test::EngineTest {};

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

// Random archives, flat and two-level, in any order, read, linked whole and saved: the
// output is the archive with its entries or groups sorted by name without regard to case
// (as padded with "_" for groups), everything else as it was.
TEST_F(ArchiveSaveTest, SavesRandomArchivesSortedAndOtherwiseAsRead) {
  test::for_each_seed(20240601, 300, [&](std::mt19937& random, unsigned round) {
    const bool two_level = round % 2 == 1;
    std::string bytes;
    std::string sorted;
    if (two_level) {
      auto groups = random_members<test::GroupBytes>(random, 5, [&](std::string name) {
        test::GroupBytes group{std::move(name), {}};
        for (std::size_t i = test::pick(random, 4); i > 0; --i) {
          group.items.push_back({test::random_text(random, kNameBytes, 3, 3),
                                 test::random_text(random, kDataBytes, 0, 8)});
        }
        return group;
      });
      bytes = build_two_level(groups);
      sorted = test::saved_form(groups);
    } else {
      auto entries = random_members<test::FlatEntryBytes>(random, 12, [&](std::string name) {
        return test::FlatEntryBytes{std::move(name), test::random_text(random, kDataBytes, 0, 8)};
      });
      bytes = build_flat(entries);
      sorted = test::saved_form(entries);
    }
    list = {};
    OutputArchive& out = add_output("OUT", two_level);
    ASSERT_TRUE(list.link_archive(out, add_archive(two_level ? "R.FSU" : "R.FS", bytes)));
    ASSERT_EQ(save(out), Status::ok);
    ASSERT_TRUE(saved("OUT") == sorted);
  });
}

// A group of the most items a table can count, after an item of the most bytes.
std::string largest_two_level() {
  std::vector<test::ItemBytes> many;
  many.reserve(65535);
  for (int i = 0; i < 65535; ++i) {
    many.push_back({std::string(1, static_cast<char>('A' + i % 26)) + "00", ""});
  }
  return build_two_level({{"BIG", {{"B01", std::string(65535, 'b')}}}, {"MANY", many}});
}

// The extremes of the layouts, and names with bytes after their terminator, are saved
// as they were read.
TEST_F(ArchiveSaveTest, SavesTheExtremesOfTheLayoutsAsRead) {
  for (const auto& [name, bytes] :
       {std::pair{"A.FS", build_flat({{std::string("A.PCX\0old\0\0\0\0", 13), "aaaa"},
                                      {"B.DAT", ""},
                                      {"LONGESTNAME1", "ccc"}})},
        {"M.fsu", largest_two_level()}}) {
    list = {};
    OutputArchive& out = add_output("OUT", layout_of_name(name) == NamedLayout::two_level);
    ASSERT_TRUE(list.link_archive(out, add_archive(name, bytes)));
    ASSERT_EQ(save(out), Status::ok) << name;
    EXPECT_TRUE(saved("OUT") == bytes) << name;
  }
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
  struct Row {
    const char* output;
    bool two_level;
    std::uint32_t source;
    std::uint32_t entry;
    int links;
    Status status;
    const char* explained;
  };
  const Row rows[] = {
      {"M.FS", false, groups, 0, 1, Status::archive_not_created,
       "M.FS: the entry \"AB___\" comes from \"G.FSU\", a two-level"},
      {"M.FSU", true, flat, 0, 1, Status::archive_not_created,
       "M.FSU: the entry \"A\" comes from \"F.FS\", a flat source"},
      // Offsets of 4097 copies of 1 MiB, or of 65538 items of 64 KiB, would pass 4 GiB - 1.
      {"H.FS", false, flat, 0, 4097, Status::archive_not_created,
       "C:\\out\\H.FS: the archive would pass 4 GiB, beyond the offsets its layout can record\n"},
      {"H.FSU", true, big, 0, 65538, Status::archive_not_created,
       "C:\\out\\H.FSU: the archive would pass 4 GiB, beyond the offsets its layout can record\n"},
      {"B.FS", false, 99, 0, 1, Status::programmer_error, ""},
      {"B.FSU", true, groups, 1, 1, Status::programmer_error, ""},
  };
  for (const Row& r : rows) {
    OutputArchive& out = add_output(r.output, r.two_level);
    out.links.assign(static_cast<std::size_t>(r.links), Link{r.source, r.entry});
    reporter.explanations.clear();
    EXPECT_EQ(save(out), r.status) << r.output;
    EXPECT_TRUE(reporter.explanations.starts_with(r.explained)) << reporter.explanations;
    EXPECT_FALSE(saved(r.output)) << r.output;
  }
}

// A partial file that cannot be removed either is named, for the user to delete.
TEST_F(ArchiveSaveTest, FailedWritesLeaveNoFile) {
  const SourceArchive& source = add_archive("F.FS", build_flat({{"A", "a"}, {"B", "b"}}));
  OutputArchive& out = add_output("F.FS", false);
  ASSERT_TRUE(list.link_archive(out, source));
  // Two writes: the directory, then the bytes of A and B, which follow each other in the
  // source and go out together. A failed close leaves what it could write.
  const std::string refused = "refused by the fake file system";
  const std::string cut = "could not be written completely (" + refused + ")";
  const struct {
    std::string_view call;
    int nth;
    bool remove_fails;
    std::string told;
  } failures[] = {
      {"write", 1, false, cut + ", so it was removed"},
      {"write", 2, false, cut + ", so it was removed"},
      {"close", 1, false, cut + ", so it was removed"},
      {"open_write", 1, false, refused},
      {"write", 2, true,
       cut +
           "; the partial file is left at C:\\out\\F.FS and must be deleted (removing it failed: " +
           refused + ")"},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(std::string(failure.call) + std::to_string(failure.nth));
    int seen = 0;
    fs.hook = [&](const test::FakeFileSystem::Op& op) {
      if (op.name == "remove" && failure.remove_fails) {
        return test::FakeFileSystem::Verdict::fail;
      }
      if (op.name != failure.call || ++seen != failure.nth) {
        return test::FakeFileSystem::Verdict::pass;
      }
      if (op.name == "close") {
        fs.add_file(op.path, "part");
      }
      return test::FakeFileSystem::Verdict::fail;
    };
    reporter.explanations.clear();
    EXPECT_EQ(save(out), Status::archive_not_created);
    EXPECT_EQ(reporter.explanations, "C:\\out\\F.FS: " + failure.told + "\n");
    EXPECT_EQ(fs.exists("C:\\out\\F.FS"), failure.remove_fails);
  }
}

}  // namespace
}  // namespace vexal
