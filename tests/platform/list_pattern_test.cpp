#include "platform/list_pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace vexal {
namespace {

TEST(ListPatternTest, StarAndStarDotStarMatchEveryName) {
  for (const char* name : {"A.PCX", "b.dat", "README", "x", ".hidden", "a.b.c"}) {
    EXPECT_TRUE(matches_list_pattern("*", name)) << name;
    EXPECT_TRUE(matches_list_pattern("*.*", name)) << name;
  }
}

TEST(ListPatternTest, QuestionMarksAtTheEndTakeOneToThatManyCharacters) {
  EXPECT_TRUE(matches_list_pattern("???", "a"));
  EXPECT_TRUE(matches_list_pattern("???", "a01"));
  EXPECT_FALSE(matches_list_pattern("???", "a012"));
  EXPECT_FALSE(matches_list_pattern("???", ""));
  EXPECT_FALSE(matches_list_pattern("?x", "x"));  // not at the end: exactly one
}

TEST(ListPatternTest, LettersMatchWithoutRegardToCase) {
  EXPECT_TRUE(matches_list_pattern("*.fs", "WORDS.FS"));
  EXPECT_TRUE(matches_list_pattern("Words.Fs", "wORDS.fS"));
  EXPECT_FALSE(matches_list_pattern("*.fs", "WORDS.FSU"));
  EXPECT_FALSE(matches_list_pattern("a*", "ba"));
}

TEST(ListPatternTest, StarsBacktrack) {
  EXPECT_TRUE(matches_list_pattern("*a*b", "xxaxxab"));
  EXPECT_FALSE(matches_list_pattern("*a*b", "xxaxxa"));
  EXPECT_TRUE(matches_list_pattern("name.*", "name"));
}

TEST(ListPatternTest, ManyStarsCostNoMoreThanPatternTimesName) {
  std::string pattern;
  for (int i = 0; i < 40; ++i) {
    pattern += "*a";
  }
  // Backtracking over every way to place 40 stars would never end.
  EXPECT_FALSE(matches_list_pattern(pattern + "b", std::string(200, 'a')));
  EXPECT_TRUE(matches_list_pattern(pattern + "*", std::string(200, 'a')));
}

}  // namespace
}  // namespace vexal
