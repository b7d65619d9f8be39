#include "platform/list_pattern.h"

#include <gtest/gtest.h>

#include <string>

#include "support/case_file.h"

namespace vexal {
namespace {

TEST(ListPatternTest, MatchesAsTheWindowsListingDoes) {
  for (const test::DataCase& c : test::load_cases("tests/platform/cases.txt", "pattern")) {
    SCOPED_TRACE(c.where);
    EXPECT_EQ(matches_listing_pattern(c.field(0), c.field(1)), c.field(2) == "yes");
  }
}

// Backtracking over every way to place 40 stars would never end.
TEST(ListPatternTest, ManyStarsMatchInTime) {
  std::string stars;
  for (int i = 0; i < 40; ++i) {
    stars += "*a";
  }
  EXPECT_FALSE(matches_listing_pattern(stars + "b", std::string(200, 'a')));
  EXPECT_TRUE(matches_listing_pattern(stars + "*", std::string(200, 'a')));
}

}  // namespace
}  // namespace vexal
