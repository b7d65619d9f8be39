#include "toolkit/archive_diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/ascii.h"

namespace vexal::fs_tool {
namespace {

constexpr unsigned kSeed = 20261207;

// Random archives over a few names that differ in letter case only, some repeated, some
// grouped, with bytes from a small pool so that equal and unequal contents both occur.
class ViewMaker {
 public:
  explicit ViewMaker(std::mt19937& random) : random_(random) {}

  ArchiveView make() {
    ArchiveView view;
    const int members = pick(6);
    for (int m = 0; m < members; ++m) {
      ArchiveView::Member member{name(), bytes(), {}};
      for (int i = pick(3) - 1; i > 0; --i) {
        member.items.push_back({name(), bytes()});
      }
      view.members.push_back(member);
    }
    return view;
  }

 private:
  int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
  std::string name() { return std::string(1, "aAbB"[pick(4)]) + (pick(2) ? "x" : "X"); }
  std::span<const std::byte> bytes() { return std::span(pool_).subspan(pick(3), pick(2) + 1); }

  std::mt19937& random_;
  const std::byte pool_[4] = {std::byte{1}, std::byte{2}, std::byte{1}, std::byte{2}};
};

std::size_t entry_count(const ArchiveView& view) {
  std::size_t count = 0;
  for (const ArchiveView::Member& member : view.members) {
    count += member.items.empty() ? 1 : member.items.size();
  }
  return count;
}

// Every entry is kept under a name of its own, and the differences, applied in name
// order to the old contents, give the new ones: nothing is reported twice, nothing equal
// is reported, nothing changed is missed.
TEST(ArchiveDiffTest, DifferencesTurnTheOldContentsIntoTheNew) {
  std::mt19937 random(kSeed);
  ViewMaker maker(random);
  for (int round = 0; round < 500; ++round) {
    SCOPED_TRACE("seed " + std::to_string(kSeed) + ", round " + std::to_string(round));
    const ArchiveView old_view = maker.make();
    const ArchiveView new_view = maker.make();
    ArchiveContents patched = contents_of(old_view);
    const ArchiveContents after = contents_of(new_view);
    ASSERT_EQ(patched.size(), entry_count(old_view));
    ASSERT_EQ(after.size(), entry_count(new_view));
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
  }
}

}  // namespace
}  // namespace vexal::fs_tool
