#include <gtest/gtest.h>

#include "fs/archive_reader.h"
#include "fs/archive_writer.h"
#include "fs_test_support.h"
#include "support/archive_builder.h"
#include "support/status_print.h"

namespace vexal {
namespace {

using test::build_flat;
using test::build_two_level;
using test::entry_names;
using test::le32;

class ArchiveSaveTest : public ::testing::Test {
 protected:
  ArchiveSaveTest() { fs.add_directory("C:\\out"); }

  int add_archive(const std::string& name, std::string bytes) {
    const std::string path = "C:\\src\\" + name;
    fs.add_file(path, std::move(bytes));
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    list.get(slot)->name = name;
    EXPECT_EQ(read_archive_file(list, fs, reporter, slot, path), Status::ok);
    return slot;
  }
  int add_output(const std::string& file_name, bool two_level) {
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    list.get(slot)->name = "C:\\out\\" + file_name;
    list.get(slot)->two_level = two_level;
    return slot;
  }
  std::optional<std::string> saved(const std::string& file_name) {
    return fs.contents("C:\\out\\" + file_name);
  }

  test::FakeFileSystem fs;
  ArchiveList list;
  test::RecordingReporter reporter;
};

TEST_F(ArchiveSaveTest, SortedContiguousArchivesRoundTripByteForByte) {
  const std::string flat = build_flat(
      {{std::string("A.PCX\0old\0\0\0\0", 13), "aaaa"}, {"B.DAT", ""}, {"LONGESTNAME1", "ccc"}});
  const std::string two_level = build_two_level(
      {{"ABC", {{"X01", "x"}, {"A02", "yy"}}}, {"AB", {{"Z99", std::string(65535, 'z')}}}});
  const int flat_source = add_archive("A.FS", flat);
  const int two_level_source = add_archive("T.FSU", two_level);
  const int flat_out = add_output("A.FS", false);
  const int two_level_out = add_output("T.FSU", true);
  ASSERT_EQ(list.link_archive(flat_out, flat_source), Status::ok);
  ASSERT_EQ(list.link_archive(two_level_out, two_level_source), Status::ok);

  ASSERT_EQ(save_archive(list, fs, reporter, flat_out), Status::ok);
  ASSERT_EQ(save_archive(list, fs, reporter, two_level_out), Status::ok);
  EXPECT_EQ(saved("A.FS"), flat);
  EXPECT_EQ(saved("T.FSU"), two_level);
}

TEST_F(ArchiveSaveTest, EmptyOutputsAreBareHeaders) {
  ASSERT_EQ(save_archive(list, fs, reporter, add_output("E.FS", false)), Status::ok);
  ASSERT_EQ(save_archive(list, fs, reporter, add_output("E.FSU", true)), Status::ok);
  EXPECT_EQ(saved("E.FS"), std::string(4, '\0'));
  EXPECT_EQ(saved("E.FSU"), le32(8) + le32(0));
}

TEST_F(ArchiveSaveTest, SortsEntriesAndGroupsWithoutCase) {
  const int flat = add_archive("F.FS", build_flat({{"b.dat", "2"}, {"C", "3"}, {"A.PCX", "1"}}));
  const int groups = add_archive(
      "G.FSU", build_two_level({{"AB", {{"B01", "b"}}}, {"ABC", {{"C01", "c"}, {"A01", "a"}}}}));
  const int flat_out = add_output("F.FS", false);
  const int groups_out = add_output("G.FSU", true);
  ASSERT_EQ(list.link_archive(flat_out, flat), Status::ok);
  ASSERT_EQ(list.link_archive(groups_out, groups), Status::ok);

  ASSERT_EQ(save_archive(list, fs, reporter, flat_out), Status::ok);
  ASSERT_EQ(save_archive(list, fs, reporter, groups_out), Status::ok);
  EXPECT_EQ(entry_names(*list.get(flat_out)), (std::vector<std::string>{"A.PCX", "b.dat", "C"}));
  EXPECT_EQ(saved("F.FS"), build_flat({{"A.PCX", "1"}, {"b.dat", "2"}, {"C", "3"}}));
  // Items keep their table order; groups sort by padded name.
  EXPECT_EQ(saved("G.FSU"),
            build_two_level({{"ABC", {{"C01", "c"}, {"A01", "a"}}}, {"AB", {{"B01", "b"}}}}));

  const auto first = saved("G.FSU");
  ASSERT_EQ(save_archive(list, fs, reporter, groups_out), Status::ok);
  EXPECT_EQ(saved("G.FSU"), first);
}

TEST_F(ArchiveSaveTest, LinksFetchBytesFromTheirSources) {
  const int game = add_archive(
      "GAME.FSU",
      build_two_level({{"TANK", {{"A01", "old"}, {"A02", "x"}}}, {"JEEP", {{"J01", "j"}}}}));
  const int mod = add_archive("MOD.FSU", build_two_level({{"tank", {{"B01", "new"}}}}));
  const int out = add_output("T.FSU", true);
  const int twin = add_output("TWIN.FSU", true);
  list.get(out)->replace = 1;
  ASSERT_EQ(list.link_archive(out, game), Status::ok);
  ASSERT_EQ(list.link_archive(out, mod), Status::ok);
  ASSERT_EQ(list.link_entry(twin, mod, 0), Status::ok);

  ASSERT_EQ(save_archive(list, fs, reporter, out), Status::ok);
  ASSERT_EQ(save_archive(list, fs, reporter, twin), Status::ok);
  // The re-pointed group holds exactly the mod's items.
  EXPECT_EQ(saved("T.FSU"),
            build_two_level({{"JEEP", {{"J01", "j"}}}, {"tank", {{"B01", "new"}}}}));
  EXPECT_EQ(saved("TWIN.FSU"), build_two_level({{"tank", {{"B01", "new"}}}}));
}

TEST_F(ArchiveSaveTest, RefusesMixedLayoutsBeforeCreatingTheFile) {
  // A flat output would take a group's item table as entry bytes; a two-level one a flat
  // entry as an item table.
  const int groups = add_archive("G.FSU", build_two_level({{"AB", {{"X01", "xy"}}}}));
  const int flat = add_archive("F.FS", build_flat({{"A", "a"}}));
  struct Case {
    const char* output;
    bool two_level;
    int source;
    const char* explained;
  };
  const Case cases[] = {
      {"M.FS", false, groups, "M.FS: the entry \"AB___\" comes from \"G.FSU\", a two-level"},
      {"M.FSU", true, flat, "M.FSU: the entry \"A\" comes from \"F.FS\", a flat source"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const int out = add_output(c.output, c.two_level);
    ASSERT_EQ(list.link_entry(out, c.source, 0), Status::ok);
    test::RecordingReporter reporter;
    EXPECT_EQ(save_archive(list, fs, reporter, out), Status::archive_not_created);
    EXPECT_TRUE(reporter.explanations.starts_with(c.explained)) << reporter.explanations;
    EXPECT_FALSE(saved(c.output));
  }
}

TEST_F(ArchiveSaveTest, RefusesUnwritableLayoutsBeforeCreatingTheFile) {
  const int flat = add_archive("F.FS", build_flat({{"A", std::string(1 << 20, 'a')}}));
  // 4097 links to one entry of 1 MiB: offsets would pass 4 GiB - 1.
  const int huge = add_output("H.FS", false);
  for (int i = 0; i < 4097; ++i) {
    Entry link;
    set_entry_name(link, "E" + std::to_string(10000 + i));
    link.source_archive = flat;
    link.source_entry = 0;
    list.get(huge)->entries.push_back(link);
  }
  reporter.explanations.clear();
  EXPECT_EQ(save_archive(list, fs, reporter, huge), Status::archive_not_created);
  EXPECT_EQ(reporter.explanations,
            "C:\\out\\H.FS: the archive would pass 4 GiB, beyond the offsets its layout can "
            "record\n");

  EXPECT_FALSE(fs.exists("C:\\out\\H.FS"));
  EXPECT_EQ(list.size(), 2u);  // the writer never frees the list
}

TEST_F(ArchiveSaveTest, FailedWritesLeaveNoFileAndKeepTheList) {
  const int source = add_archive("F.FS", build_flat({{"A", "a"}, {"B", "b"}}));
  const int out = add_output("F.FS", false);
  ASSERT_EQ(list.link_archive(out, source), Status::ok);
  // Two writes: the directory, then the bytes of A and B, which follow each other in the
  // source and go out together. A failed close leaves what it could write.
  const struct {
    std::string_view call;
    int nth;
  } failures[] = {{"write", 1}, {"write", 2}, {"close", 1}, {"open_write", 1}};
  for (const auto& failure : failures) {
    int seen = 0;
    fs.hook = [&](const test::FakeFileSystem::Op& op) {
      if (op.name != failure.call || ++seen != failure.nth) {
        return test::FakeFileSystem::Verdict::pass;
      }
      if (op.name == "close") {
        fs.add_file(op.path, "part");
      }
      return test::FakeFileSystem::Verdict::fail;
    };
    reporter.explanations.clear();
    EXPECT_EQ(save_archive(list, fs, reporter, out), Status::archive_not_created) << failure.call;
    EXPECT_FALSE(fs.exists("C:\\out\\F.FS")) << failure.call << failure.nth;
  }
  EXPECT_EQ(reporter.explanations, "C:\\out\\F.FS: refused by the fake file system\n");
  EXPECT_EQ(list.size(), 2u);
}

TEST_F(ArchiveSaveTest, BadSlotOrBrokenLinkIsAProgrammerError) {
  EXPECT_EQ(save_archive(list, fs, reporter, 0), Status::programmer_error);
  const int out = add_output("X.FS", false);
  Entry link;
  set_entry_name(link, "A");
  link.source_archive = 7;
  list.get(out)->entries.push_back(link);
  EXPECT_EQ(save_archive(list, fs, reporter, out), Status::programmer_error);
  EXPECT_FALSE(fs.exists("C:\\out\\X.FS"));
}

}  // namespace
}  // namespace vexal
