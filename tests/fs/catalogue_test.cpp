#include "fs/catalogue.h"

#include <gtest/gtest.h>

#include <tuple>

namespace vexal {
namespace {

TEST(Catalogue, MatchesNamesAsPrefixes) {
  using Match = std::tuple<int, std::size_t, bool>;  // class code, length, CD archive
  const std::tuple<const char*, LetterCase, Match> rows[] = {
      {"BASICS.FS", LetterCase::exact, {4, 9, false}},
      {"WORDS.FSX", LetterCase::exact, {8, 8, false}},
      {"TROOP.FSU {", LetterCase::exact, {12, 9, false}},
      {"NARRATE.FS", LetterCase::exact, {15, 10, true}},
      {"Words.FS", LetterCase::exact, {0, 0, false}},
      {"WORDS.F", LetterCase::exact, {0, 0, false}},
      {"", LetterCase::exact, {0, 0, false}},
      {"basics.fs", LetterCase::ignored, {4, 9, false}},
      {"Video.FSX", LetterCase::ignored, {14, 8, true}},
      {"words.f", LetterCase::ignored, {0, 0, false}},
  };
  for (const auto& [text, letter_case, expected] : rows) {
    const CatalogueMatch found = match_catalogue(text, letter_case);
    EXPECT_EQ(Match(found.class_code, found.length, found.cd_archive), expected) << text;
  }
}

}  // namespace
}  // namespace vexal
