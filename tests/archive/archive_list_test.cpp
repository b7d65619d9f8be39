#include "archive/archive_list.h"

#include <gtest/gtest.h>

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
