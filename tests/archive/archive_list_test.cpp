#include "archive/archive_list.h"

#include <gtest/gtest.h>

#include <random>

#include "archive/folder_loader.h"
#include "engine_fixture.h"
#include "support/case_file.h"

namespace vexal {
namespace {

using Names = std::vector<std::string>;
const std::string kCases = "tests/archive/cases.txt";

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
    const auto key_at = [&](std::size_t p) { return EntryIndex::key_of(entry_name(entries[p])); };
    ASSERT_EQ(index.find_first(entries.size(), key_at, EntryIndex::key_of(entry_name(wanted))),
              first < entries.size() ? first : EntryIndex::npos)
        << "step " << step << ", name " << entry_name(wanted);
  }
}

class ArchiveListTest : public test::EngineTest {
 protected:
  SourceArchive& add_source(const std::string& name, const Names& entries = {}) {
    SourceArchive& source = list.add_source(name);
    for (const std::string& text : entries) {
      set_entry_name(source.entries.emplace_back(), text);
    }
    return source;
  }
};

TEST_F(ArchiveListTest, FindsTheFirstSourceOfAPathWithoutCase) {
  const SourceArchive& first = add_source("data\\WORDS.FS");
  add_source("Data\\words.fs");
  EXPECT_EQ(list.find_source("DATA\\Words.FS"), &first);
  EXPECT_EQ(list.find_source("data\\WORDS"), nullptr);
  EXPECT_EQ(layout_of_name("a\\B.fSu"), NamedLayout::two_level);
  EXPECT_EQ(layout_of_name("B.Fs"), NamedLayout::flat);
  EXPECT_EQ(layout_of_name("dir.fs\\x"), NamedLayout::none);
}

TEST_F(ArchiveListTest, BadArgumentsAndImpossibleReservationsAreRefused) {
  const SourceArchive& source = add_source("src", {"A", "B"});
  OutputArchive& out = list.add_output("OUT", false);
  ArchiveList other;
  const SourceArchive& stranger = other.add_source("src");
  EXPECT_EQ(list.link_entry(out, source, 2).status(), Status::programmer_error);
  EXPECT_EQ(list.link_entry(out, stranger, 0).status(), Status::programmer_error);
  EXPECT_EQ(list.link_archive(out, stranger).status(), Status::programmer_error);
  EXPECT_TRUE(out.links.empty());
  EXPECT_EQ(ArchiveList::reserve_entries(add_source("a"), SIZE_MAX / 2).status(),
            Status::out_of_memory);
  SourceArchive& unnamed = list.add_source("");
  EXPECT_EQ(read_archive_file(fs, unnamed, "").status(), Status::programmer_error);
  EXPECT_EQ(load_source(fs, reporter, unnamed, test::kModFolder).status(),
            Status::programmer_error);
  EXPECT_EQ(load_folder(fs, reporter, unnamed, "").status(), Status::programmer_error);
}

}  // namespace
}  // namespace vexal
