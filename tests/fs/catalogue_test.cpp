#include "fs/catalogue.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

TEST(Catalogue, MatchesNamesExactlyAsPrefixes) {
  struct Case {
    const char* text;
    int class_code;
    std::size_t length;
    bool cd;
  };
  const Case cases[] = {
      {"BASICS.FS", 4, 9, false},
      {"WORDS.FSX", 8, 8, false},
      {"TROOP.FSU {", 12, 9, false},
      {"NARRATE.FS", 15, 10, true},
      {"Words.FS", 0, 0, false},
      {"WORDS.F", 0, 0, false},
      {"", 0, 0, false},
  };
  for (const Case& c : cases) {
    const CatalogueMatch found = match_catalogue(c.text);
    EXPECT_EQ(found.class_code, c.class_code) << c.text;
    EXPECT_EQ(found.length, c.length) << c.text;
    EXPECT_EQ(found.cd_archive, c.cd) << c.text;
  }
}

}  // namespace
}  // namespace vexal
