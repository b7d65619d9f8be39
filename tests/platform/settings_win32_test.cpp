// The portable settings service against Windows' own profile functions: random
// config.ini files, each read (and then written) by both, must give the same values.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "platform/ascii.h"
#include "platform/settings.h"
#include "platform/settings_win32.h"
#include "support/fake_file_system.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

constexpr unsigned kSeed = 20130602;
constexpr int kFiles = 250;

// Names as the tool asks for them (a file spells them in any case): the profile
// functions do not trim a name they are asked for in every call, but the tool never
// asks for one with blanks around it.
const std::vector<std::string> kSections = {"path", "STATUS", "S", "t"};
const std::vector<std::string> kKeys = {"vexal", "A_FS", "k", "k x", "#k"};
const std::vector<std::string> kValues = {"",      "C:\\GAME", "\"C:\\My Game\"",
                                          "'x'",   "\"open",   "a ; b",
                                          "x = y", "\"a\" b",  "\"\"",
                                          "1",     "0x10",     " ",
                                          "\t",    "'",        "a\"b\"",
                                          "[x]"};
const std::vector<std::string> kBlanks = {"", "", " ", "\t", "  ", "\v", "\f"};
const std::vector<std::string> kLineEnds = {"\r\n", "\r\n", "\n", "\r\r\n", "\r"};

class IniFileMaker {
 public:
  explicit IniFileMaker(unsigned seed) : random_(seed) {}

  std::string file() {
    std::string text = pick(std::vector<std::string>{"", "", "", "\xEF\xBB\xBF"});
    const int lines = static_cast<int>(random_() % 14);
    for (int i = 0; i < lines; ++i) {
      text += line() + pick(kLineEnds);
    }
    if (random_() % 4 == 0) {
      text += line();  // the last line without its line end
    }
    return text;
  }

  // A section, key and value to write, names in any letter case.
  std::string section() { return spelled(pick(kSections)); }
  std::string key() { return spelled(pick(kKeys)); }
  std::string value() { return pick(kValues); }

 private:
  const std::string& pick(const std::vector<std::string>& pool) {
    return pool[random_() % pool.size()];
  }

  std::string spelled(const std::string& name) {
    return random_() % 3 == 0 ? upper_case(name) : name;
  }

  std::string line() {
    switch (random_() % 9) {
      case 0:
      case 1:
        return pick(kBlanks) + "[" + pick(kBlanks) + section() + pick(kBlanks) +
               pick(std::vector<std::string>{"]", "]", "]", "", "] x", "]]"});
      case 2:
        return pick(kBlanks) + pick(std::vector<std::string>{";", "#", "//"}) + key() + "=1";
      case 3:
        return pick(kBlanks) + key() + pick(kBlanks);  // no "="
      case 4:
        return "";
      case 5:
        return pick(kBlanks) + "=" + value();
      default:
        return pick(kBlanks) + key() + pick(kBlanks) + "=" + pick(kBlanks) + value() +
               pick(kBlanks);
    }
  }

  std::mt19937 random_;
};

// The text with line ends, tabs and bytes above ASCII as "\xNN".
std::string shown(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out += (byte < 0x20 || byte >= 0x7F) ? std::string(escaped) : std::string(1, c);
  }
  return out;
}

// Everything a caller can learn from a settings service, in one text.
std::string everything_read(Settings& settings) {
  std::string text;
  for (const std::string& section : kSections) {
    text += "[" + section + "] names:";
    for (const std::string& name : settings.key_names(section)) {
      text += " <" + name + ">";
    }
    text += "\n";
    for (const std::string& key : kKeys) {
      text += "  " + key + "=<" + settings.read_string(section, key, "(default)") + ">\n";
    }
  }
  return text;
}

TEST(SettingsDifferentialTest, PortableServiceReadsAndWritesAsWindowsDoes) {
  IniFileMaker maker(kSeed);
  test::TempDir dir;
  for (int i = 0; i < kFiles && !::testing::Test::HasFailure(); ++i) {
    const std::string text = maker.file();
    const std::string name = "config" + std::to_string(i) + ".ini";
    dir.write_file(name, text);
    const std::string path = dir.str() + "\\" + name;
    test::FakeFileSystem fake;
    fake.add_file(path, text);
    const auto windows = open_profile_settings(path);
    const auto portable = open_settings(fake, path);
    ASSERT_NE(portable, nullptr);
    SCOPED_TRACE("seed " + std::to_string(kSeed) + ", file " + std::to_string(i) + ": " +
                 shown(text));
    EXPECT_EQ(everything_read(*portable), everything_read(*windows));

    const std::string section = maker.section(), key = maker.key(), value = maker.value();
    SCOPED_TRACE("after writing [" + section + "] " + key + "=" + value);
    EXPECT_EQ(portable->write_string(section, key, value),
              windows->write_string(section, key, value));
    EXPECT_EQ(everything_read(*open_settings(fake, path)), everything_read(*windows));
  }
}

}  // namespace
}  // namespace vexal
