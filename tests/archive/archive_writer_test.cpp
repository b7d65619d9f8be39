#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

#include "platform/ascii.h"

#include "engine_fixture.h"
#include "support/archive_builder.h"

namespace vexal {
namespace {

using test::build_flat;
using test::build_two_level;
using test::le32;

class ArchiveSaveTest : public test::EngineTest {};

// A name of 1 to max_length characters, letters of either case, digits and a dot.
std::string random_name(std::mt19937& random, std::size_t max_length) {
  static constexpr std::string_view kLetters = "ABCXYZabcxyz0189._";
  std::string name(1 + random() % max_length, ' ');
  for (char& c : name) {
    c = kLetters[random() % kLetters.size()];
  }
  return name;
}

std::string random_bytes(std::mt19937& random) {
  std::string bytes(random() % 9, ' ');
  for (char& c : bytes) {
    c = static_cast<char>(random());
  }
  return bytes;
}

// Distinct names without regard to case, in random order.
template <typename T>
std::vector<T> random_members(std::mt19937& random, std::size_t max_length,
                              const std::function<T(std::string)>& make) {
  std::vector<T> members;
  std::set<std::string> seen;
  for (std::size_t n = random() % 12; members.size() < n;) {
    std::string name = random_name(random, max_length);
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
  constexpr unsigned kSeed = 20240601;
  for (unsigned round = 0; round < 300; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed + round));
    std::mt19937 random(kSeed + round);
    const bool two_level = round % 2 == 1;
    std::string bytes;
    std::string sorted;
    if (two_level) {
      auto groups = random_members<test::GroupBytes>(random, 5, [&](std::string name) {
        test::GroupBytes group{std::move(name), {}};
        for (std::size_t i = random() % 4; i > 0; --i) {
          group.items.push_back(
              {random_name(random, 1) + "0" + std::to_string(i % 10), random_bytes(random)});
        }
        return group;
      });
      bytes = build_two_level(groups);
      const auto padded = [](std::string name) { return name.resize(5, '_'), name; };
      std::stable_sort(groups.begin(), groups.end(), [&](const auto& x, const auto& y) {
        return compare_names(padded(x.name), padded(y.name)) < 0;
      });
      sorted = build_two_level(groups);
    } else {
      auto entries = random_members<test::FlatEntryBytes>(random, 12, [&](const std::string& name) {
        return test::FlatEntryBytes{name, random_bytes(random)};
      });
      bytes = build_flat(entries);
      std::stable_sort(entries.begin(), entries.end(), [](const auto& x, const auto& y) {
        return compare_names(x.name, y.name) < 0;
      });
      sorted = build_flat(entries);
    }
    list = {};
    OutputArchive& out = add_output("OUT", two_level);
    ASSERT_TRUE(list.link_archive(out, add_archive(two_level ? "R.FSU" : "R.FS", bytes)));
    ASSERT_EQ(save(out), Status::ok);
    ASSERT_TRUE(saved("OUT") == sorted);
  }
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

// Each row reads archives and links them whole, in replace mode, into an output of the
// given layout, which is saved as it was read: the extremes of the layouts, names with
// bytes after their terminator, and a group re-pointed to a mod's.
TEST_F(ArchiveSaveTest, SavesLinkedArchivesSortedAndOtherwiseAsRead) {
  struct Row {
    std::vector<std::pair<const char*, std::string>> sources;
    bool two_level;
    std::string sorted = {};  // empty: the bytes of the only source
  };
  const Row rows[] = {
      {{{"A.FS", build_flat({{std::string("A.PCX\0old\0\0\0\0", 13), "aaaa"},
                             {"B.DAT", ""},
                             {"LONGESTNAME1", "ccc"}})}},
       false},
      {{{"M.fsu", largest_two_level()}}, true},
      // The re-pointed group holds exactly the mod's items.
      {{{"GAME.FSU",
         build_two_level({{"TANK", {{"A01", "old"}, {"A02", "x"}}}, {"JEEP", {{"J01", "j"}}}})},
        {"MOD.FSU", build_two_level({{"tank", {{"B01", "new"}}}})}},
       true,
       build_two_level({{"JEEP", {{"J01", "j"}}}, {"tank", {{"B01", "new"}}}})},
  };
  for (const Row& r : rows) {
    list = {};
    OutputArchive& out = add_output("OUT", r.two_level);
    out.replace = true;
    for (const auto& [name, bytes] : r.sources) {
      ASSERT_TRUE(list.link_archive(out, add_archive(name, bytes))) << name;
    }
    ASSERT_EQ(save(out), Status::ok) << r.sources[0].first;
    EXPECT_TRUE(saved("OUT") == (r.sorted.empty() ? r.sources[0].second : r.sorted))
        << r.sources[0].first;
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
