#include "archive/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "support/seeded.h"

namespace vexal {
namespace {

// A text matches the first catalogue archive whose name it starts with, exactly or
// without regard to case; a name cut short matches none.
TEST(Catalogue, MatchesTheArchiveANameStartsWith) {
  test::for_each_seed(4400, 200, [](std::mt19937& random, unsigned) {
    const std::size_t slot = test::pick(random, kCatalogue.size());
    const std::string name(kCatalogue[slot].name);
    std::string text = name + test::random_text(random, "X {", 0, 3);
    const bool lower = test::pick(random, 2) == 0;
    if (lower) {
      std::ranges::transform(text, text.begin(), [](char c) { return std::tolower(c & 0xFF); });
    }
    const CatalogueMatch exact = match_catalogue(text);
    const CatalogueMatch ignored = match_catalogue(text, LetterCase::ignored);
    ASSERT_EQ(exact.slot, lower ? std::nullopt : std::optional(slot)) << text;
    ASSERT_EQ(ignored.slot, slot) << text;
    ASSERT_EQ(ignored.length, name.size()) << text;
    ASSERT_EQ(ignored.two_level, name.ends_with(".FSU")) << text;
    ASSERT_FALSE(match_catalogue(text.substr(0, name.size() - 1), LetterCase::ignored).slot);
  });
}

}  // namespace
}  // namespace vexal
