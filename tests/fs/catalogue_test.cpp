#include "fs/catalogue.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

TEST(Catalogue, MatchesNamesAsPrefixes) {
  struct Case {
    const char* text;
    LetterCase letter_case;
    int class_code;
    std::size_t length;
    bool cd;
  };
  const Case cases[] = {
      {"BASICS.FS", LetterCase::exact, 4, 9, false},
      {"WORDS.FSX", LetterCase::exact, 8, 8, false},
      {"TROOP.FSU {", LetterCase::exact, 12, 9, false},
      {"NARRATE.FS", LetterCase::exact, 15, 10, true},
      {"Words.FS", LetterCase::exact, 0, 0, false},
      {"WORDS.F", LetterCase::exact, 0, 0, false},
      {"", LetterCase::exact, 0, 0, false},
      {"basics.fs", LetterCase::ignored, 4, 9, false},
      {"Video.FSX", LetterCase::ignored, 14, 8, true},
      {"words.f", LetterCase::ignored, 0, 0, false},
  };
  for (const Case& c : cases) {
    const CatalogueMatch found = match_catalogue(c.text, c.letter_case);
    EXPECT_EQ(found.class_code, c.class_code) << c.text;
    EXPECT_EQ(found.length, c.length) << c.text;
    EXPECT_EQ(found.cd_archive, c.cd) << c.text;
  }
}

}  // namespace
}  // namespace vexal
