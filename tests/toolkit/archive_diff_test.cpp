#include "toolkit/archive_diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ascii.h"
#include "support/seeded.h"

namespace vexal::fs_tool {
namespace {

// Bytes from a small pool, so that equal and unequal contents both occur.
constexpr std::byte kPool[] = {std::byte{1}, std::byte{2}, std::byte{1}, std::byte{2}};

// A random archive over a few names that differ in letter case only, some repeated,
// some grouped; with the number of its entries.
std::pair<ArchiveView, std::size_t> random_view(std::mt19937& random) {
  const auto name = [&] { return test::random_text(random, "aAbB", 1, 1) + "xX"[random() % 2]; };
  const auto bytes = [&] { return std::span(kPool).subspan(random() % 3, 1 + random() % 2); };
  ArchiveView view;
  std::size_t entries = 0;
  for (std::size_t m = test::pick(random, 6); m > 0; --m) {
    view.members.push_back({name(), bytes(), {}});
    for (std::size_t i = test::pick(random, 3); i > 1; --i) {
      view.members.back().items.push_back({name(), bytes()});
    }
    entries += std::max<std::size_t>(1, view.members.back().items.size());
  }
  return {std::move(view), entries};
}

// Every entry is kept under a name of its own, and the differences, applied in name
// order to the old contents, give the new ones: nothing is reported twice, nothing equal
// is reported, nothing changed is missed.
TEST(ArchiveDiffTest, DifferencesTurnTheOldContentsIntoTheNew) {
  test::for_each_seed(20261207, 500, [](std::mt19937& random, unsigned) {
    const auto [old_view, old_entries] = random_view(random);
    const auto [new_view, new_entries] = random_view(random);
    ArchiveContents patched = contents_of(old_view);
    const ArchiveContents after = contents_of(new_view);
    ASSERT_EQ(patched.size(), old_entries);
    ASSERT_EQ(after.size(), new_entries);
    const std::vector<Difference> found = differences(patched, after);
    for (std::size_t i = 0; i < found.size(); ++i) {
      const std::string key = upper_case(found[i].shown);
      ASSERT_TRUE(i == 0 || upper_case(found[i - 1].shown) < key);
      ASSERT_EQ(found[i].kind == Difference::Kind::added, !patched.contains(key));
      ASSERT_EQ(found[i].kind == Difference::Kind::removed, !after.contains(key));
      if (found[i].kind == Difference::Kind::removed) {
        patched.erase(key);
        continue;
      }
      ASSERT_FALSE(patched.contains(key) &&
                   std::ranges::equal(patched.at(key).bytes, after.at(key).bytes));
      patched[key] = after.at(key);
    }
    ASSERT_EQ(patched.size(), after.size());
    for (const auto& [key, entry] : after) {
      ASSERT_TRUE(std::ranges::equal(patched.at(key).bytes, entry.bytes)) << key;
    }
  });
}

}  // namespace
}  // namespace vexal::fs_tool
