// The portable settings service against Windows' own profile functions: random
// config.ini files, each read (and then written) by both, must give the same values.
#include <gtest/gtest.h>

#include <random>

#include "platform/ascii.h"
#include "platform/settings.h"
#include "platform/settings_win32.h"
#include "support/fake_file_system.h"
#include "support/seeded.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

using Pool = std::vector<std::string>;
// Names as the tool asks for them (a file spells them in any case): the profile
// functions do not trim a name they are asked for in every call, but the tool never
// asks for one with blanks around it.
const Pool kSections = {"path", "STATUS", "S", "t"};
const Pool kKeys = {"vexal", "A_FS", "k", "k x", "#k"};
// Values longer than a first buffer, and with a line end, which both refuse to write.
// clang-format off
const Pool kValues = {"", "C:\\GAME", "\"C:\\My Game\"", "'x'", "\"open", "a ; b", "x = y", "[x]", "1",
                      "0x10", "\"a\" b", "\"\"", " ", "'", "a\"b\"", "1\r\nD_FS=1", std::string(1000, 'v')};
// clang-format on
const Pool kBlanks = {"", "", " ", "\t", "  ", "\v", "\f"};
const Pool kLineEnds = {"\r\n", "\r\n", "\n", "\r\r\n", "\r"};
// Lines of a file: "_" stands for blanks, S for a section, K for a key, V for a value.
const Pool kLines = {"_[_S_]", "_[_S_]", "_[_S_", "_[_S_] x", "_[_S_]]", "_;K=1",   "_#K=1",
                     "_//K=1", "_K_",    "",      "_=V",      "_K_=_V_", "_K_=_V_", "_K_=_V_"};

const std::string& any(std::mt19937& random, const Pool& pool) {
  return pool[test::pick(random, pool.size())];
}
std::string name(std::mt19937& random, const Pool& pool) {
  return test::pick(random, 3) == 0 ? upper_case(any(random, pool)) : any(random, pool);
}

std::string line(std::mt19937& random) {
  std::string text;
  for (const char c : any(random, kLines)) {
    text += c == '_'   ? any(random, kBlanks)
            : c == 'S' ? name(random, kSections)
            : c == 'K' ? name(random, kKeys)
            : c == 'V' ? any(random, kValues)
                       : std::string(1, c);
  }
  return text;
}

std::string ini_file(std::mt19937& random) {
  std::string text = test::pick(random, 4) == 0 ? "\xEF\xBB\xBF" : "";
  for (std::size_t lines = test::pick(random, 14); lines > 0; --lines) {
    text += line(random) + any(random, kLineEnds);
  }
  return test::pick(random, 4) == 0 ? text + line(random) : text;  // the last line without its end
}

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
  const test::TempDir dir;
  test::for_each_seed(20130602, 200, [&](std::mt19937& random, unsigned round) {
    const std::string text = ini_file(random);
    const std::string name_of_file = "config" + std::to_string(round) + ".ini";
    const std::string path = dir.str() + "\\" + name_of_file;
    dir.write_file(name_of_file, text);
    test::FakeFileSystem fake;
    fake.add_file(path, text);
    const auto windows = open_profile_settings(path);
    const auto portable = open_settings(fake, path);
    ASSERT_NE(portable, nullptr);
    SCOPED_TRACE(::testing::PrintToString(text));
    EXPECT_EQ(everything_read(*portable), everything_read(*windows));
    std::string writes = "after writing";
    for (int write = 0; write < 3; ++write) {
      const std::string section = name(random, kSections), key = name(random, kKeys);
      const std::string& value = any(random, kValues);
      writes += " [" + section + "] " + key + "=" + value;
      EXPECT_EQ(portable->write_string(section, key, value),
                windows->write_string(section, key, value))
          << writes;
    }
    EXPECT_EQ(everything_read(*open_settings(fake, path)), everything_read(*windows)) << writes;
  });
}

}  // namespace
}  // namespace vexal
