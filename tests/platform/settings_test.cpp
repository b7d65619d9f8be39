#include "platform/settings.h"

#include <gtest/gtest.h>

#include "support/case_file.h"
#include "support/fake_file_system.h"

namespace vexal {
namespace {

constexpr const char* config = "C:\\work\\config.ini";

class SettingsTest : public ::testing::Test {
 protected:
  std::unique_ptr<Settings> open(std::string text) {
    fs_.add_file(config, std::move(text));
    return open_settings(fs_, config);
  }
  std::string text() const { return fs_.contents(config).value_or("<missing>"); }

  test::FakeFileSystem fs_;
};

// A refused write (a value of more than one line) changes nothing.
TEST_F(SettingsTest, WritesChangeOnlyTheirOwnLine) {
  auto settings =
      open("[PATH]\nvexal=C:\\GAME\n\n[status]\n; swaps\nMOD_DATA = old\n\n[other]\nx=1\n");
  EXPECT_FALSE(settings->write_string("STATUS", "mod_data", "x\n[PATH]\nvexal=y"));
  EXPECT_TRUE(settings->write_string("STATUS", "mod_data", "C:\\mods\\out\\"));
  EXPECT_TRUE(settings->write_integer("STATUS", "WORDS_FS", 1));
  EXPECT_TRUE(settings->write_integer("NEW", "k", -1));
  EXPECT_EQ(text(),
            "[PATH]\nvexal=C:\\GAME\n\n[status]\n; swaps\nMOD_DATA =C:\\mods\\out\\\nWORDS_FS=1\n\n"
            "[other]\nx=1\n[NEW]\nk=-1\n");
  EXPECT_EQ(settings->key_names("status"), (std::vector<std::string>{"MOD_DATA", "WORDS_FS"}));
  // A second service sees what the first wrote.
  EXPECT_EQ(open_settings(fs_, config)->read_integer("status", "words_fs", 0), 1);
}

TEST(SettingsIntegerTest, ConvertsWholeIntegersOnly) {
  for (const test::DataCase& c : test::load_cases("tests/platform/cases.txt", "integer")) {
    SCOPED_TRACE(c.where);
    EXPECT_EQ(parse_settings_integer(c.field(0), 7), c.field(1) == "-" ? 7 : c.number(1));
  }
}

// A text-mode copy of a Windows file ends its lines in "\r\r\n": values keep no "\r", and
// a write ends every line in "\r\n". (The byte order mark a Windows editor adds is the
// command-line tests' to check.)
TEST_F(SettingsTest, ReadsAndMendsDoubledCarriageReturns) {
  auto settings = open("[PATH]\r\r\nvexal=C:\\GAME\r\r\n[STATUS]\r\r\nA_FS=1\r\r\n");
  EXPECT_EQ(settings->read_string("path", "vexal", ""), "C:\\GAME");
  EXPECT_TRUE(settings->write_integer("STATUS", "B_FS", 1));
  EXPECT_EQ(text(), "[PATH]\r\nvexal=C:\\GAME\r\n[STATUS]\r\nA_FS=1\r\nB_FS=1\r\n");
}

}  // namespace
}  // namespace vexal
