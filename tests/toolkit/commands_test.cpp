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
  fs.add_file("C:\\w\\F.FS", test::build_flat({{"B.DAT", "bb"}, {"A.DAT", "aaa"}}));
  fs.add_file("C:\\w\\SAME.FS", test::build_flat({{"A.DAT", "aaa"}, {"b.dat", "bb"}}));
  fs.add_file("C:\\w\\NEW.FS", test::build_flat({{"A.DAT", "aab"}, {"C.DAT", "c"}}));
  fs.add_file("C:\\w\\BAD.FS", test::build_flat({{"B.DAT", "bb"}, {"A.DAT", "aaa"}}).substr(0, 50));
  fs.add_file("C:\\w\\EVIL.FS", test::build_flat({{"OK.DAT", "x"}, {"..\\EVIL.DAT", "x"}}));
  fs.add_file("C:\\w\\TWICE.FS", test::build_flat({{"OK.DAT", "x"}, {"ok.dat", "y"}}));
  fs.add_file("C:\\w\\T.FSU", test::build_two_level({{"PIKE", {{"A01", "p"}}},
                                                     {"ARCHR", {{"B01", "bow"}, {"A01", "xy"}}}}));
  fs.add_file("C:\\w\\EVIL.FSU", test::build_two_level({{"OK", {{"A01", "x"}, {"..A", "x"}}}}));
}

// fs ARGS | STATUS | TOLD...: each TOLD is a text the run prints, on standard output or
// error.
TEST(FsToolCommands, EndWithTheirStatusAndTellWhatTheyFound) {
  for (const test::DataCase& c : test::load_cases("tests/toolkit/cases.txt", "fs")) {
    test::FakeFileSystem fs{"C:\\w"};
    set_up(fs);
    std::istringstream words(c.field(0));
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = run_fs_tool({std::istream_iterator<std::string>(words), {}}, fs);
    const std::string told =
        ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, c.number(1)) << c.where << "\n" << told;
    for (std::size_t i = 2; i < c.fields.size(); ++i) {
      EXPECT_NE(told.find(c.field(i)), std::string::npos)
          << c.where << ": " << c.field(i) << " in\n"
          << told;
    }
  }
}

}  // namespace
}  // namespace vexal::fs_tool
