#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "support/archive_builder.h"

namespace vexal {
namespace {

using test::build_flat;
using test::build_two_level;
using test::le32;

class ArchiveSaveTest : public test::EngineTest {};

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
// given layout, which is saved: entries and groups come out sorted without regard to
// case, items in table order. The layout of a source follows its name.
TEST_F(ArchiveSaveTest, SavesLinkedArchivesSortedAndOtherwiseAsRead) {
  struct Row {
    std::vector<std::pair<const char*, std::string>> sources;
    bool two_level;
    std::string sorted = {};  // empty: the bytes of the only source
  };
  const std::string a = build_flat({{"A", "a"}});
  const Row rows[] = {
      {{{"A.FS", build_flat({{std::string("A.PCX\0old\0\0\0\0", 13), "aaaa"},
                             {"B.DAT", ""},
                             {"LONGESTNAME1", "ccc"}})}},
       false},
      {{{"M.fsu", largest_two_level()}}, true},
      {{{"E.FS", le32(0)}}, false},
      {{{"E.FSU", le32(8) + le32(0)}}, true},
      {{{"x", a}}, false},
      {{{"x.fsu.bak", a}}, false},
      {{{"dir.fsu\\x", a}}, false},
      {{{"F.FS", build_flat({{"b.dat", "2"}, {"C", "3"}, {"A.PCX", "1"}})}},
       false,
       build_flat({{"A.PCX", "1"}, {"b.dat", "2"}, {"C", "3"}})},
      {{{"G.FSU",
         build_two_level({{"AB", {{"B01", "b"}}}, {"ABC", {{"C01", "c"}, {"A01", "a"}}}})}},
       true,
       build_two_level({{"ABC", {{"C01", "c"}, {"A01", "a"}}}, {"AB", {{"B01", "b"}}}})},
      // The re-pointed group holds exactly the mod's items.
      {{{"GAME.FSU",
         build_two_level({{"TANK", {{"A01", "old"}, {"A02", "x"}}}, {"JEEP", {{"J01", "j"}}}})},
        {"MOD.FSU", build_two_level({{"tank", {{"B01", "new"}}}})}},
       true,
       build_two_level({{"JEEP", {{"J01", "j"}}}, {"tank", {{"B01", "new"}}}})},
  };
  for (const Row& r : rows) {
    list.clear();
    const int out = add_output("OUT", r.two_level);
    list.get(out)->replace = 1;
    for (const auto& [name, bytes] : r.sources) {
      ASSERT_EQ(list.link_archive(out, add_archive(name, bytes)), Status::ok) << name;
    }
    ASSERT_EQ(save_archive(list, fs, reporter, out), Status::ok) << r.sources[0].first;
    EXPECT_TRUE(saved("OUT") == (r.sorted.empty() ? r.sources[0].second : r.sorted))
        << r.sources[0].first;
  }
}

// Outputs of links made by hand, refused before their file exists. A flat output would
// take a group's item table as entry bytes, a two-level one a flat entry as an item table.
TEST_F(ArchiveSaveTest, RefusesUnwritableOutputsBeforeCreatingTheFile) {
  const int groups = add_archive("G.FSU", build_two_level({{"AB", {{"X01", "xy"}}}}));
  const int flat = add_archive("F.FS", build_flat({{"A", std::string(1 << 20, 'a')}}));
  const int big =
      add_archive("B.FSU", build_two_level({{"BIG", {{"B01", std::string(65535, 'b')}}}}));
  struct Row {
    const char* output;
    bool two_level;
    int source;
    int entry;
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
    const int out = add_output(r.output, r.two_level);
    for (int i = 0; i < r.links; ++i) {
      Entry link;
      set_entry_name(link, "E" + std::to_string(10000 + i));
      link.source_archive = r.source;
      link.source_entry = r.entry;
      list.get(out)->entries.push_back(link);
    }
    reporter.explanations.clear();
    EXPECT_EQ(save_archive(list, fs, reporter, out), r.status) << r.output;
    EXPECT_TRUE(reporter.explanations.starts_with(r.explained)) << reporter.explanations;
    EXPECT_FALSE(saved(r.output)) << r.output;
    EXPECT_EQ(list.size(), static_cast<std::size_t>(out + 1));  // the writer never frees it
  }
  EXPECT_EQ(save_archive(list, fs, reporter, 99), Status::programmer_error);
}

// A partial file that cannot be removed either is named, for the user to delete.
TEST_F(ArchiveSaveTest, FailedWritesLeaveNoFileAndKeepTheList) {
  const int source = add_archive("F.FS", build_flat({{"A", "a"}, {"B", "b"}}));
  const int out = add_output("F.FS", false);
  ASSERT_EQ(list.link_archive(out, source), Status::ok);
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
    EXPECT_EQ(save_archive(list, fs, reporter, out), Status::archive_not_created);
    EXPECT_EQ(reporter.explanations, "C:\\out\\F.FS: " + failure.told + "\n");
    EXPECT_EQ(fs.exists("C:\\out\\F.FS"), failure.remove_fails);
  }
  EXPECT_EQ(list.size(), 2u);
}

}  // namespace
}  // namespace vexal
