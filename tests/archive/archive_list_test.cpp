#include "archive/archive_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "archive/folder_loader.h"
#include "engine_fixture.h"
#include "platform/ascii.h"
#include "support/seeded.h"

namespace vexal {
namespace {

using Names = std::vector<std::string>;
// Names compare without ASCII case, the shorter first; in padded group names "_" sorts
// after letters and digits, and bytes compare unsigned.
TEST(Names, CompareWithoutAsciiCaseShorterFirstAndCutAtFifteenBytes) {
  for (const auto& [a, b, order] : {std::tuple{"words.fs", "WORDS.FS", 0},
                                    {"AB", "ABC", -1},
                                    {"", "A", -1},
                                    {"ABC__", "AB___", -1},
                                    {"A9___", "A____", -1},
                                    {"\xE9", "Z", 1},
                                    {"\xE9", "\xC9", 1}}) {
    EXPECT_EQ(std::clamp(compare_names(a, b), -1, 1), order) << a << " " << b;
    EXPECT_EQ(std::clamp(compare_names(b, a), -1, 1), -order) << a << " " << b;
    EXPECT_EQ(names_equal(a, b), order == 0) << a << " " << b;
  }
  Entry entry;
  set_entry_name(entry, "0123456789ABCDEFGH");
  EXPECT_EQ(entry_name(entry), "0123456789ABCDE");
  entry.name = {'A', 'B', '\0', 'x'};
  EXPECT_EQ(entry_name(entry), "AB");
}

// Index keys are equal exactly where names compare equal, whatever follows a name's
// terminator in its field.
TEST(Names, IndexKeysAreEqualExactlyForEqualNames) {
  test::for_each_seed(900, 3000, [](std::mt19937& random, unsigned) {
    constexpr std::string_view kBytes("aAzZ@`[{\xE1\xC1\0", 11);
    std::array<Entry, 2> pair;
    for (std::size_t i = 0; i < 16; ++i) {  // the second mostly a copy, bytes made upper case
      pair[0].name[i] = kBytes[test::pick(random, kBytes.size() - (test::pick(random, 4) != 0))];
      const char upper = ascii_upper(pair[0].name[i]);
      pair[1].name[i] = test::pick(random, 8) != 0 ? upper : kBytes[test::pick(random, 11)];
    }
    EXPECT_EQ(EntryIndex::key_of(pair[0].name) == EntryIndex::key_of(pair[1].name),
              names_equal(entry_name(pair[0]), entry_name(pair[1])))
        << entry_name(pair[0]) << " " << entry_name(pair[1]);
  });
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
