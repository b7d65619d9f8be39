#include "archive/catalogue.h"

#include <gtest/gtest.h>

#include "support/case_file.h"

namespace vexal {
namespace {

TEST(Catalogue, MatchesNamesAsPrefixes) {
  for (const test::DataCase& c : test::load_cases("tests/archive/cases.txt", "catalogue")) {
    SCOPED_TRACE(c.where);
    const CatalogueMatch found = match_catalogue(
        c.field(0), c.field(1) == "exact" ? LetterCase::exact : LetterCase::ignored);
    EXPECT_EQ(found.slot ? std::to_string(*found.slot) : "-", c.field(2));
    EXPECT_EQ(found.length, static_cast<std::size_t>(c.number(3)));
    EXPECT_EQ(found.cd_archive, c.field(4) == "yes");
  }
}

}  // namespace
}  // namespace vexal
