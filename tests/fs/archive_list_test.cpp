#include "fs/archive_list.h"

#include <gtest/gtest.h>

#include "fs_test_support.h"

namespace vexal {
namespace {

using test::entry_names;

TEST(CompareNames, IgnoresAsciiCaseAndPutsPrefixFirst) {
  EXPECT_EQ(compare_names("words.fs", "WORDS.FS"), 0);
  EXPECT_TRUE(names_equal("a.Pcx", "A.PCX"));
  EXPECT_LT(compare_names("AB", "ABC"), 0);
  EXPECT_GT(compare_names("abc", "AB"), 0);
  EXPECT_LT(compare_names("", "A"), 0);
  // Padded group names: '_' sorts after letters and digits.
  EXPECT_LT(compare_names("ABC__", "AB___"), 0);
  EXPECT_LT(compare_names("A9___", "A____"), 0);
  // Bytes compare unsigned; only ASCII letters change case.
  EXPECT_GT(compare_names("\xE9", "Z"), 0);
  EXPECT_NE(compare_names("\xE9", "\xC9"), 0);
}

TEST(EntryName, StopsAtTerminatorAndCutsAtFifteenBytes) {
  Entry entry;
  set_entry_name(entry, "A.PCX");
  EXPECT_EQ(entry_name(entry), "A.PCX");
  set_entry_name(entry, "0123456789ABCDEFGH");
  EXPECT_EQ(entry_name(entry), "0123456789ABCDE");
  EXPECT_EQ(entry.name[15], '\0');
  entry.name = {'A', 'B', '\0', 'x', 'y'};
  EXPECT_EQ(entry_name(entry), "AB");
}

class ArchiveListTest : public ::testing::Test {
 protected:
  // A source record with the given entry names.
  int add_source(std::string name, const std::vector<std::string>& entries) {
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    ArchiveRecord& record = *list.get(slot);
    record.name = std::move(name);
    for (const std::string& entry_text : entries) {
      Entry entry;
      set_entry_name(entry, entry_text);
      record.entries.push_back(entry);
    }
    return slot;
  }
  const ArchiveRecord& at(int slot) { return *list.get(slot); }

  ArchiveList list;
};

TEST_F(ArchiveListTest, FindsRecordsBySlotAndByNameWithoutCase) {
  const int first = add_source("data\\WORDS.FS", {});
  const int second = add_source("Data\\words.fs", {});
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
  EXPECT_EQ(list.find_slot("DATA\\Words.FS"), 0);
  EXPECT_EQ(list.find("data\\words.FS"), list.get(0));
  EXPECT_EQ(list.find_slot("data\\WORDS"), -1);
  EXPECT_EQ(list.find("other"), nullptr);
  EXPECT_EQ(list.get(-1), nullptr);
  EXPECT_EQ(list.get(2), nullptr);
}

TEST_F(ArchiveListTest, ImpossibleReservationFreesTheList) {
  const int slot = add_source("a", {});
  EXPECT_EQ(list.reserve_data(*list.get(slot), SIZE_MAX - 5), Status::out_of_memory);
  EXPECT_EQ(list.size(), 0u);
}

TEST_F(ArchiveListTest, LinkEntryKeepsOrRepointsAnExistingName) {
  const int game = add_source("game", {"A.PCX", "B.PCX"});
  const int mod = add_source("mod", {"a.pcx", "C.PCX"});
  const int out = add_source("OUT", {});
  ASSERT_EQ(list.link_archive(out, game), Status::ok);

  ASSERT_EQ(list.link_entry(out, mod, 0), Status::ok);  // replace 0: kept
  EXPECT_EQ(entry_names(at(out)), (std::vector<std::string>{"A.PCX", "B.PCX"}));
  EXPECT_EQ(at(out).entries[0].source_archive, game);

  list.get(out)->replace = 1;
  ASSERT_EQ(list.link_entry(out, mod, 0),
            Status::ok);  // re-pointed in place, name as the mod spells it
  ASSERT_EQ(list.link_entry(out, mod, 1), Status::ok);  // new: appended
  EXPECT_EQ(entry_names(at(out)), (std::vector<std::string>{"a.pcx", "B.PCX", "C.PCX"}));
  EXPECT_EQ(at(out).entries[0].source_archive, mod);
  EXPECT_EQ(at(out).entries[0].source_entry, 0);
  EXPECT_EQ(at(out).entries[2].source_archive, mod);
  EXPECT_EQ(at(out).entries[2].source_entry, 1);
}

TEST_F(ArchiveListTest, LinkArchiveIntoEmptyOutputCopiesOrderAndNames) {
  const int source = add_source("src", {"Z", "a", "z"});  // even duplicates are copied as they are
  const int out = add_source("OUT", {});
  ASSERT_EQ(list.link_archive(out, source), Status::ok);
  EXPECT_EQ(entry_names(at(out)), (std::vector<std::string>{"Z", "a", "z"}));
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(at(out).entries[static_cast<std::size_t>(j)].source_archive, source);
    EXPECT_EQ(at(out).entries[static_cast<std::size_t>(j)].source_entry, j);
  }
}

TEST_F(ArchiveListTest, LinkArchiveIntoNonEmptyOutputFollowsReplace) {
  const int game = add_source("game", {"A", "B"});
  const int mod = add_source("mod", {"C", "b", "D"});
  for (const int replace : {0, 1}) {
    int out = -1;
    ASSERT_EQ(list.append(out), Status::ok);
    list.get(out)->replace = replace;
    ASSERT_EQ(list.link_archive(out, game), Status::ok);
    ASSERT_EQ(list.link_archive(out, mod), Status::ok);
    EXPECT_EQ(entry_names(at(out)), (std::vector<std::string>{"A", replace ? "b" : "B", "C", "D"}));
    EXPECT_EQ(at(out).entries[1].source_archive, replace ? mod : game);
  }
}

TEST_F(ArchiveListTest, LinkFindsTheFirstOfRepeatedNamesAndFollowsTableChanges) {
  // A folder on a case-sensitive disk can hold a.pcx and A.PCX: both reach the output.
  const int folder = add_source("folder", {"A.PCX", "B", "A.PCX"});
  const int mod = add_source("mod", {"a.Pcx", "b", "NEW"});
  const int out = add_source("OUT", {});
  ASSERT_EQ(list.link_archive(out, folder), Status::ok);
  list.get(out)->replace = 1;
  ASSERT_EQ(list.link_entry(out, mod, 0), Status::ok);
  EXPECT_EQ(entry_names(at(out)), (std::vector<std::string>{"a.Pcx", "B", "A.PCX"}));
  EXPECT_EQ(at(out).entries[0].source_archive, mod);
  EXPECT_EQ(at(out).entries[2].source_archive, folder);

  // Entries changed behind the engine's back are still found where they are now.
  ArchiveRecord& output = *list.get(out);
  std::swap(output.entries[0], output.entries[1]);
  output.entry_index.clear();
  ASSERT_EQ(list.link_entry(out, mod, 1), Status::ok);
  EXPECT_EQ(at(out).entries[0].source_archive, mod);
  EXPECT_EQ(entry_names(at(out)), (std::vector<std::string>{"b", "a.Pcx", "A.PCX"}));
  output.entries.resize(1);
  ASSERT_EQ(list.link_entry(out, mod, 0), Status::ok);  // the table shrank: a.Pcx is new again
  ASSERT_EQ(list.link_entry(out, mod, 2), Status::ok);
  EXPECT_EQ(entry_names(at(out)), (std::vector<std::string>{"b", "a.Pcx", "NEW"}));
}

TEST_F(ArchiveListTest, LinkingManyNamesMatchesAFrontToBackSearch) {
  std::vector<std::string> game_names;
  std::vector<std::string> mod_names;
  for (int i = 0; i < 3000; ++i) {
    game_names.push_back("E" + std::to_string(i) + ".DAT");
    if (i % 3 == 0) {
      mod_names.push_back("e" + std::to_string(i) + ".dat");
    } else if (i % 3 == 1) {
      mod_names.push_back("N" + std::to_string(i));  // not in the game
    }
  }
  const int game = add_source("game", game_names);
  const int mod = add_source("mod", mod_names);
  const int out = add_source("OUT", {});
  ASSERT_EQ(list.link_archive(out, game), Status::ok);
  list.get(out)->replace = 1;
  ASSERT_EQ(list.link_archive(out, mod), Status::ok);
  ASSERT_EQ(at(out).entries.size(), 3000u + 1000u);
  for (std::size_t i = 0; i < 3000; ++i) {
    const Entry& entry = at(out).entries[i];
    EXPECT_EQ(entry.source_archive, i % 3 == 0 ? mod : game) << i;
    EXPECT_EQ(entry.source_entry, static_cast<std::int32_t>(i % 3 == 0 ? 2 * (i / 3) : i)) << i;
  }
  EXPECT_EQ(entry_name(at(out).entries[3000]), "N1");
}

TEST_F(ArchiveListTest, FindsAllSlotsOfANameInSlotOrder) {
  add_source("Data\\A.FS", {});
  int unnamed = -1;
  ASSERT_EQ(list.append(unnamed), Status::ok);
  add_source("other", {});
  EXPECT_EQ(list.find_slots("DATA\\a.fs"), (std::vector<int>{0}));
  // A record named after a lookup saw it empty is found under its name.
  list.get(unnamed)->name = "data\\a.FS";
  add_source("DATA\\A.FS", {});
  EXPECT_EQ(list.find_slots("data\\a.fs"), (std::vector<int>{0, 1, 3}));
  EXPECT_TRUE(list.find_slots("data\\a").empty());
  list.clear();
  add_source("x", {});
  EXPECT_EQ(list.find_slots("X"), (std::vector<int>{0}));
  EXPECT_TRUE(list.find_slots("data\\a.fs").empty());
}

TEST_F(ArchiveListTest, BadLinkArgumentsReturnTwoAndFreeTheList) {
  struct Case {
    int target;
    std::int64_t source;
    std::int64_t entry;
  };
  for (const Case c : {Case{1, 0, 2}, Case{1, 0, -1}, Case{1, -1, 0}, Case{1, 2, 0}, Case{2, 0, 0},
                       Case{-1, 0, 0}, Case{1, std::int64_t{1} << 40, 0}}) {
    add_source("src", {"A", "B"});
    add_source("OUT", {});
    EXPECT_EQ(list.link_entry(c.target, c.source, c.entry), Status::programmer_error);
    EXPECT_EQ(list.size(), 0u);
  }
  for (const std::int64_t source : {std::int64_t{-1}, std::int64_t{2}}) {
    add_source("src", {"A"});
    add_source("OUT", {});
    EXPECT_EQ(list.link_archive(1, source), Status::programmer_error);
    EXPECT_EQ(list.size(), 0u);
  }
}

}  // namespace
}  // namespace vexal
