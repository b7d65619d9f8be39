#include "archive/catalogue.h"

#include <gtest/gtest.h>

#include <string>

#include <algorithm>
#include <cctype>

namespace vexal {
namespace {

// A text that begins with an archive's name matches it, whatever follows; only
// file names match in another letter case; a cut name matches nothing.
TEST(Catalogue, MatchesNamesAsPrefixes) {
  for (const CatalogueEntry& entry : kCatalogue) {
    const std::string name(entry.name);
    SCOPED_TRACE(name);
    std::string lower = name;
    std::ranges::transform(lower, lower.begin(), [](char c) { return std::tolower(c); });
    for (const auto& [text, letter_case] : {std::pair{name + " {", LetterCase::exact},
                                            {name + "X", LetterCase::ignored},
                                            {lower, LetterCase::ignored}}) {
      const CatalogueMatch found = match_catalogue(text, letter_case);
      EXPECT_EQ(found.class_code, entry.class_code);
      EXPECT_EQ(found.length, name.size());
      EXPECT_EQ(found.cd_archive, entry.cd_archive);
    }
    for (const auto& [text, letter_case] :
         {std::pair{lower, LetterCase::exact},
          {name.substr(0, name.size() - 1), LetterCase::ignored}}) {
      EXPECT_EQ(match_catalogue(text, letter_case).class_code, kNoClass) << text;
    }
  }
}

}  // namespace
}  // namespace vexal
