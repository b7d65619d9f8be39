// vexal_fs's commands in a working folder on the fake file system, one a line in
// tests/toolkit/cases.txt.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "support/archive_builder.h"
#include "support/case_file.h"
#include "support/fake_file_system.h"
#include "toolkit/fs_tool.h"

namespace vexal::fs_tool {
namespace {

// The working folder C:\w: its config.ini for a game in game\, the game's BASICS.FS, a
// mod beside them, and archives of its own.
void set_up(test::FakeFileSystem& fs) {
  fs.add_file("C:\\w\\config.ini", "[PATH]\nvexal=C:\\w\\game\nvexalcd=C:\\w\\cd\nallowcdmod=1\n");
  fs.add_file("C:\\w\\game\\data\\BASICS.FS",
              test::build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}}));
  fs.add_file("C:\\w\\mod\\mod.def",
              "class PATH { MAKE = out; }\n"
              "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, files) }\n");
  fs.add_file("C:\\w\\mod\\files\\A.DAT", "x");
  fs.add_file("C:\\w\\mod\\files\\Z.DAT", "z");
  fs.add_file("C:\\w\\mod\\bad.def", "class words.fs {}");
  fs.add_file("C:\\w\\game\\data\\TROOP.FSU",
              test::build_two_level({{"PIKE", {{"A01", "p"}, {"B01", "q"}}}}));
  fs.add_file("C:\\w\\mod\\troop\\PIKE\\A01", "p");
  fs.add_file("C:\\w\\mod\\check.def",  // a mistake on every line but 3 and 7
              "class PATH { MAKE = ..\\out }\n"
              "class BASICS.FS {\n"
              "add(%VEXAL%\\data\\BASICS.FS)\n"
              "add(files) x\n"
              "add(files, *.TXT)\n"
              "add(files)\n"
              "}\n"
              "class TROOP.FSU { add(%VEXAL%\\data\\TROOP.FSU); add(ALL, troop); }\n"
              "class WORDS.FS { add(files); }\n"
              "class TUNES.FS {\n"
              "add(files);\n");
  fs.add_file("C:\\w\\F.FS", test::build_flat({{"B.DAT", "bb"}, {"A.DAT", "aaa"}}));
  fs.add_file("C:\\w\\backup\\WORDS.FS", test::build_flat({{"B.DAT", "bb"}}));
  fs.add_file("C:\\w\\out\\A.DAT", "edited");
  fs.add_file("C:\\w\\SAME.FS", test::build_flat({{"A.DAT", "aaa"}, {"b.dat", "bb"}}));
  fs.add_file("C:\\w\\NEW.FS", test::build_flat({{"A.DAT", "aab"}, {"C.DAT", "c"}}));
  fs.add_file("C:\\w\\BAD.FS", test::build_flat({{"B.DAT", "bb"}, {"A.DAT", "aaa"}}).substr(0, 50));
  fs.add_file("C:\\w\\EVIL.FS", test::build_flat({{"OK.DAT", "x"}, {"..\\EVIL.DAT", "x"}}));
  fs.add_file("C:\\w\\TWICE.FS", test::build_flat({{"OK.DAT", "x"}, {"ok.dat", "y"}}));
  fs.add_file("C:\\w\\T.FSU", test::build_two_level({{"PIKE", {{"A01", "p"}}},
                                                     {"ARCHR", {{"B01", "bow"}, {"A01", "xy"}}}}));
  fs.add_file("C:\\w\\EVIL.FSU", test::build_two_level({{"OK", {{"A01", "x"}, {"..A", "x"}}}}));
}

// Runs vexal_fs with the arguments in a fresh working folder, with a file put in (when
// there is one: mod\x.def, config.ini), and compares its status and what it printed with the
// case's: STATUS | TOLD..., each TOLD a text it prints, on standard output or error, or
// with "!" before it one it does not.
void expect_run(const test::DataCase& c, const std::string& args, const std::string& file = "",
                const std::string& text = "") {
  test::FakeFileSystem fs{"C:\\w"};
  set_up(fs);
  if (!file.empty()) {
    fs.add_file(file, text);
  }
  std::istringstream words(args);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int status = run_fs_tool({std::istream_iterator<std::string>(words), {}}, fs);
  const std::string told =
      ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, c.number(1)) << c.where << "\n" << told;
  for (std::size_t i = 2; i < c.fields.size(); ++i) {
    const bool negated = c.field(i).starts_with('!');
    EXPECT_EQ(told.find(c.field(i).substr(negated ? 1 : 0)) == std::string::npos, negated)
        << c.where << ": " << c.field(i) << " in\n"
        << told;
  }
}

// fs ARGS | ...: a run; def TEXT | ...: a check of the text as a definition; ini TEXT |
// ...: the status with the text as config.ini.
TEST(FsToolCommands, EndWithTheirStatusAndTellWhatTheyFound) {
  for (const test::DataCase& c : test::load_cases("tests/toolkit/cases.txt", "fs")) {
    expect_run(c, c.field(0));
  }
  for (const test::DataCase& c : test::load_cases("tests/toolkit/cases.txt", "def")) {
    expect_run(c, "check mod\\x.def", "C:\\w\\mod\\x.def", c.field(0));
  }
  for (const test::DataCase& c : test::load_cases("tests/toolkit/cases.txt", "ini")) {
    expect_run(c, "status", "C:\\w\\config.ini", c.field(0));
  }
}

// Every byte of a name shown: printable ASCII as it is, every other byte as \xHH.
TEST(FsToolCommands, ShowNamesInPrintableAscii) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string name{'A', static_cast<char>(byte)};
    const bool printable = byte >= 0x20 && byte < 0x7F;
    const std::string hex = "0123456789ABCDEF";
    EXPECT_EQ(shown_name(name),
              printable ? name : std::string("A\\x") + hex[byte / 16] + hex[byte % 16]);
  }
}

}  // namespace
}  // namespace vexal::fs_tool
