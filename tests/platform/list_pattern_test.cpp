#include "platform/list_pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace vexal {
namespace {

TEST(ListPatternTest, MatchesAsTheWindowsListingDoes) {
  std::string stars;
  for (int i = 0; i < 40; ++i) {
    stars += "*a";
  }
  const struct {
    std::string pattern;
    std::string name;
    bool matches;
  } rows[] = {
      {"*", ".hidden", true},
      {"*.*", "README", true},
      {"*.*", "a.b.c", true},
      {"???", "a", true},  // "?"s at the end take one to that many characters
      {"???", "", false},
      {"?x", "x", false},  // elsewhere exactly one
      {"Words.Fs", "wORDS.fS", true},
      {"*.fs", "WORDS.FSU", false},
      {"a*", "ba", false},
      {"*a*b", "xxaxxab", true},
      {"*a*b", "xxaxxa", false},
      {"name.*", "name", true},
      // Backtracking over every way to place 40 stars would never end.
      {stars + "b", std::string(200, 'a'), false},
      {stars + "*", std::string(200, 'a'), true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(matches_list_pattern(row.pattern, row.name), row.matches)
        << row.pattern.substr(0, 10) << " " << row.name.substr(0, 10);
  }
}

}  // namespace
}  // namespace vexal
