#include "moddef/catalogue.h"

#include <gtest/gtest.h>

#include "moddef/definition.h"
#include "moddef/mod_fixture.h"

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

class CatalogueScanTest : public test::ModFixture {};

TEST_F(CatalogueScanTest, SlotsFollowTheCatalogueWhateverTheBlockOrder) {
  std::string text = "class WORDS.FS {}\nclass BLIGHT.FS {}\nclass BASICS.FS {}";
  const ScanResult got = scan_definition(context, text, false);
  ASSERT_EQ(got.result, 1);
  EXPECT_EQ(slots, (SlotTable{2, -1, -1, 1, 0, -1, -1, -1, -1, -1, -1, -1}));
  EXPECT_TRUE(output(7).entries.empty());  // an empty block still yields its archive
}

}  // namespace
}  // namespace vexal
