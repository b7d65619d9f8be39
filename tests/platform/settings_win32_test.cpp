// The portable settings service against Windows' own profile functions: random
// config.ini files, each read (and then written) by both, must give the same values.
#include <gtest/gtest.h>

#include <random>

#include "platform/ascii.h"
#include "platform/settings.h"
#include "platform/settings_win32.h"
#include "support/fake_file_system.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

constexpr unsigned kSeed = 20130602;
constexpr int kFiles = 200;

using Pool = std::vector<std::string>;
// Names as the tool asks for them (a file spells them in any case): the profile
// functions do not trim a name they are asked for in every call, but the tool never
// asks for one with blanks around it.
const Pool kSections = {"path", "STATUS", "S", "t"};
const Pool kKeys = {"vexal", "A_FS", "k", "k x", "#k"};
// Values longer than a first buffer, and with a line end, which both refuse to write.
const Pool kValues = {"",
                      "C:\\GAME",
                      "\"C:\\My Game\"",
                      "'x'",
                      "\"open",
                      "a ; b",
                      "x = y",
                      "[x]",
                      "1",
                      "0x10",
                      "\"a\" b",
                      "\"\"",
                      " ",
                      "'",
                      "a\"b\"",
                      "1\r\nD_FS=1",
                      std::string(1000, 'v')};
const Pool kBlanks = {"", "", " ", "\t", "  ", "\v", "\f"};
const Pool kLineEnds = {"\r\n", "\r\n", "\n", "\r\r\n", "\r"};
// Lines of a file: "_" stands for blanks, S for a section, K for a key, V for a value.
const Pool kLines = {"_[_S_]", "_[_S_]", "_[_S_", "_[_S_] x", "_[_S_]]", "_;K=1",   "_#K=1",
                     "_//K=1", "_K_",    "",      "_=V",      "_K_=_V_", "_K_=_V_", "_K_=_V_"};

class IniFileMaker {
 public:
  explicit IniFileMaker(unsigned seed) : random_(seed) {}

  std::string file() {
    std::string text = random_() % 4 == 0 ? "\xEF\xBB\xBF" : "";
    for (int lines = static_cast<int>(random_() % 14); lines > 0; --lines) {
      text += line() + any(kLineEnds);
    }
    return random_() % 4 == 0 ? text + line() : text;  // the last line without its end
  }

  std::string line() {
    std::string text;
    for (const char c : any(kLines)) {
      text += c == '_'   ? any(kBlanks)
              : c == 'S' ? name(kSections)
              : c == 'K' ? name(kKeys)
              : c == 'V' ? any(kValues)
                         : std::string(1, c);
    }
    return text;
  }

  const std::string& any(const Pool& pool) { return pool[random_() % pool.size()]; }
  std::string name(const Pool& pool) {
    return random_() % 3 == 0 ? upper_case(any(pool)) : any(pool);
  }

 private:
  std::mt19937 random_;
};

// Everything a caller can learn from a settings service, in one text.
std::string everything_read(Settings& settings) {
  std::string text;
  for (const std::string& section : kSections) {
    text += "[" + section + "] names:";
    for (const std::string& name : settings.key_names(section)) {
      text += " <" + name + ">";
    }
    for (const std::string& key : kKeys) {
      text += "\n  " + key + "=<" + settings.read_string(section, key, "(default)") + ">";
    }
    text += "\n";
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
                 ::testing::PrintToString(text));
    EXPECT_EQ(everything_read(*portable), everything_read(*windows));

    std::string writes = "after writing";
    for (int write = 0; write < 3; ++write) {
      const std::string section = maker.name(kSections), key = maker.name(kKeys);
      const std::string value = maker.any(kValues);
      writes += " [" + section + "] " + key + "=" + value;
      EXPECT_EQ(portable->write_string(section, key, value),
                windows->write_string(section, key, value))
          << writes;
    }
    EXPECT_EQ(everything_read(*open_settings(fake, path)), everything_read(*windows)) << writes;
  }
}

}  // namespace
}  // namespace vexal
