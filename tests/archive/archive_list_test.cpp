#include "archive/archive_list.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <sstream>

#include "engine_fixture.h"
#include "support/case_file.h"

namespace vexal {
namespace {

using Names = std::vector<std::string>;

const std::string kCases = "tests/archive/cases.txt";

Names words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(Names, CompareWithoutAsciiCaseShorterFirstAndCutAtFifteenBytes) {
  const auto sign = [](int value) { return (value > 0) - (value < 0); };
  for (const test::DataCase& c : test::load_cases(kCases, "names")) {
    SCOPED_TRACE(c.where);
    const std::string a = c.field(0);
    const std::string b = c.field(1);
    EXPECT_EQ(sign(compare_names(a, b)), c.number(2));
    EXPECT_EQ(sign(compare_names(b, a)), -c.number(2));
    EXPECT_EQ(names_equal(a, b), c.number(2) == 0);
  }
  Entry entry;
  set_entry_name(entry, "0123456789ABCDEFGH");
  EXPECT_EQ(entry_name(entry), "0123456789ABCDE");
  entry.name = {'A', 'B', '\0', 'x'};
  EXPECT_EQ(entry_name(entry), "AB");
}

// The index answers as a front-to-back search of the table does, through appends,
// shrinking, and reordering and renaming (after which the index is cleared). Names are
// drawn from bytes whose bit 5 is the letter case only for letters.
TEST(EntryIndex, FindsWhatAFrontToBackSearchFinds) {
  std::mt19937 random(15);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::vector<Entry> entries;
  EntryIndex index;
  const auto some_name = [&] {  // new, or of the table with bit 5 of some bytes flipped
    std::string name(1 + pick(pick(2) == 0 ? 2 : 15), ' ');
    for (char& c : name) {
      c = "aZqM@[`{09_\xE1\xC1"[pick(13)];
    }
    if (!entries.empty() && pick(2) == 0) {
      name = entry_name(entries[pick(entries.size())]);
      for (char& c : name) {
        c = static_cast<char>(c ^ (pick(3) == 0 ? 0x20 : 0));
      }
    }
    Entry entry;
    set_entry_name(entry, name);
    return entry;
  };
  for (int step = 0; step < 4000; ++step) {
    if (const std::size_t action = pick(200); action == 0) {
      entries.resize(pick(entries.size() + 1));
    } else if (action < 10 && !entries.empty()) {
      std::swap(entries[pick(entries.size())], entries[pick(entries.size())]);
      entries[pick(entries.size())].name = some_name().name;
      index.clear();
    } else {
      entries.push_back(some_name());
    }
    const Entry wanted = some_name();
    std::size_t first = 0;
    while (first < entries.size() && !names_equal(entry_name(entries[first]), entry_name(wanted))) {
      ++first;
    }
    ASSERT_EQ(index.find_first(entries, EntryIndex::key_of(wanted)),
              first < entries.size() ? first : EntryIndex::npos)
        << "step " << step << ", name " << entry_name(wanted);
  }
}

class ArchiveListTest : public test::EngineTest {
 protected:
  int add_source(const std::string& name, const Names& entries = {}) {
    const int slot = append(name);
    for (const std::string& text : entries) {
      Entry entry;
      set_entry_name(entry, text);
      list.get(slot)->entries.push_back(entry);
    }
    return slot;
  }
  // The entries of an output as name=slot.entry of what they link to.
  std::string links(int slot) {
    std::string text;
    for (const Entry& e : list.get(slot)->entries) {
      text += (text.empty() ? "" : " ") + std::string(entry_name(e)) + "=" +
              std::to_string(e.source_archive) + "." + std::to_string(e.source_entry);
    }
    return text;
  }
};

TEST_F(ArchiveListTest, FindsRecordsByNameWithoutCaseInSlotOrder) {
  add_source("data\\WORDS.FS");
  int unnamed = -1;
  ASSERT_EQ(list.append(unnamed), Status::ok);
  add_source("Data\\words.fs");
  EXPECT_EQ(list.find_slot("DATA\\Words.FS"), 0);
  EXPECT_EQ(list.find("data\\words.FS"), list.get(0));
  EXPECT_EQ(list.find_slot("data\\WORDS"), -1);
  EXPECT_EQ(list.find("other"), nullptr);
  EXPECT_EQ(list.get(-1), nullptr);
  EXPECT_EQ(list.get(3), nullptr);
  EXPECT_EQ(list.find_slots("DATA\\Words.FS"), (std::vector<int>{0, 2}));
  // A record named after a lookup saw it empty is found under its name.
  list.get(unnamed)->name = "data\\words.FS";
  add_source("DATA\\WORDS.FS");
  EXPECT_EQ(list.find_slots("data\\words.fs"), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_TRUE(list.find_slots("data\\words").empty());
  list.clear();
  add_source("x");
  EXPECT_EQ(list.find_slots("X"), (std::vector<int>{0}));
  EXPECT_TRUE(list.find_slots("data\\words.fs").empty());
}

TEST_F(ArchiveListTest, LinkingKeepsOrRepointsTheFirstEntryOfAName) {
  for (const test::DataCase& c : test::load_cases(kCases, "link")) {
    SCOPED_TRACE(c.where);
    list.clear();
    add_source("game", words(c.field(0)));
    add_source("mod", words(c.field(1)));
    const int out = add_source("OUT");
    ASSERT_EQ(list.link_archive(out, 0), Status::ok);
    list.get(out)->replace = c.number(2);
    for (const char step : c.field(3)) {
      ASSERT_EQ(step == '*' ? list.link_archive(out, 1) : list.link_entry(out, 1, step - '0'),
                Status::ok);
    }
    EXPECT_EQ(links(out), c.field(4));
  }
}

TEST_F(ArchiveListTest, BadArgumentsAndImpossibleReservationsFreeTheList) {
  struct Row {
    int target;
    std::int64_t source;
    std::int64_t entry;  // -2: link the whole source
  };
  constexpr std::int64_t kFar = std::int64_t{1} << 40;
  const Row rows[] = {{1, 0, 2},  {1, 0, -1},   {1, -1, 0},  {1, 2, 0},  {2, 0, 0},
                      {-1, 0, 0}, {1, kFar, 0}, {1, -1, -2}, {1, 2, -2}, {2, 0, -2}};
  for (const Row r : rows) {
    add_source("src", {"A", "B"});
    add_source("OUT");
    EXPECT_EQ(r.entry == -2 ? list.link_archive(r.target, r.source)
                            : list.link_entry(r.target, r.source, r.entry),
              Status::programmer_error);
    EXPECT_EQ(list.size(), 0u);
  }
  add_source("a");
  EXPECT_EQ(list.reserve_entries(*list.get(0), SIZE_MAX / 2), Status::out_of_memory);
  EXPECT_EQ(list.size(), 0u);
}

}  // namespace
}  // namespace vexal
