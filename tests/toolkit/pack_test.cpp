#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive/engine_fixture.h"
#include "platform/ascii.h"
#include "support/archive_builder.h"
#include "support/fake_file_system.h"
#include "support/seeded.h"
#include "toolkit/fs_tool.h"

namespace vexal::fs_tool {
namespace {

constexpr std::string_view kNameBytes = "ABCXYZabcxyz0189";

// Random archives, flat and two-level, extracted into a folder and packed again: the
// packed archive holds every entry, its name upper-cased, in the order the builder
// saves (groups as padded with "_"), each with its bytes.
TEST(PackTest, ExtractedArchivesPackAsTheyAreSaved) {
  test::for_each_seed(20261208, 150, [](std::mt19937& random, unsigned round) {
    const bool two_level = round % 2 == 1;
    // Upper-cased group and entry names to the names as the archive holds them, and bytes.
    std::map<std::string, std::pair<std::string, std::map<std::string, test::ItemBytes>>> tree;
    for (std::size_t n = 1 + test::pick(random, 8); n > 0; --n) {
      const std::string group = two_level ? test::random_text(random, kNameBytes, 1, 5) : "";
      const std::string name =
          test::random_text(random, kNameBytes, two_level ? 3 : 1, two_level ? 3 : 12);
      auto& named = tree.try_emplace(upper_case(group)).first->second;
      if (named.first.empty()) {
        named.first = group;
      }
      named.second.try_emplace(
          upper_case(name), test::ItemBytes{name, test::random_text(random, "\x01zZ\xFF", 0, 8)});
    }
    std::vector<test::GroupBytes> groups;
    std::vector<test::FlatEntryBytes> entries;
    std::vector<test::GroupBytes> saved_groups;
    std::vector<test::FlatEntryBytes> saved_entries;
    for (const auto& [group, named] : tree) {
      groups.push_back({named.first, {}});
      saved_groups.push_back({group, {}});
      for (const auto& [name, item] : named.second) {
        groups.back().items.push_back(item);
        entries.push_back({item.name, item.bytes});
        saved_groups.back().items.push_back({name, item.bytes});
        saved_entries.push_back({name, item.bytes});
      }
    }
    test::FakeFileSystem fs{"C:\\w"};
    fs.add_file(two_level ? "C:\\w\\R.FSU" : "C:\\w\\R.FS",
                two_level ? test::build_two_level(groups) : test::build_flat(entries));
    const std::string packed = two_level ? "P.FSU" : "P.FS";
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int extracted = run_fs_tool({"extract", two_level ? "R.FSU" : "R.FS", "x"}, fs);
    const int packed_status = run_fs_tool({"pack", "x", packed}, fs);
    ::testing::internal::GetCapturedStdout();
    const std::string told = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(extracted + packed_status, 0) << told;
    ASSERT_EQ(told, "");  // nothing skipped, nothing warned about
    ASSERT_TRUE(fs.contents("C:\\w\\" + packed) ==
                (two_level ? test::saved_form(saved_groups) : test::saved_form(saved_entries)));
  });
}

}  // namespace
}  // namespace vexal::fs_tool
