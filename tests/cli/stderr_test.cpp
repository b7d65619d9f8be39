// What the builder tells on standard error: the culprit of each failure, and warnings
// about what a build passes over, while standard output stays as it always was.
#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/cli_fixture.h"

namespace vexal::test {
namespace {

using StandardErrorTest = CliTest;

TEST_F(StandardErrorTest, FailuresNameTheirCulprit) {
  const struct {
    const char* definition;  // nullptr: no definition file
    int code;
    const char* culprit;
  } cases[] = {
      {nullptr, 316, "mod.def: "},
      {"class PATH { A = %B%; }", 102, "variable \"B\" is not defined"},
      {"class PATH {\n  A = (1\n}", 307, "line 2: A = (1"},
      {"class PATH { MAKE = out; }\nclass BASICS.FS { add(BAD.FS); }", 403,
       "BAD.FS: directory: the count 9 at offset 0x0"},
      {"class BASICS.FS { add(flat); }", 2, "MAKE, the output folder, is not defined"},
  };
  write_config();
  write_file("BAD.FS", le32(9));
  std::filesystem::create_directory(at("flat"));
  for (const auto& c : cases) {
    std::filesystem::remove(at("mod.def"));
    if (c.definition != nullptr) {
      write_file("mod.def", c.definition);
    }
    const RunResult result = run({"mod.def"});
    EXPECT_EQ(result.status, exit_status_of(c.code)) << c.culprit;
    EXPECT_NE(result.errors.find("vexal_mod_builder: "), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find(c.culprit), std::string::npos) << result.errors;
    EXPECT_EQ(result.output.find(c.culprit), std::string::npos) << result.output;
  }
}

TEST_F(StandardErrorTest, WhatTheBuildPassesOverIsWarnedAbout) {
  write_config("", "0");
  // Saved by a Windows editor, with a byte order mark.
  write_file("mod.def",
             "\xEF\xBB\xBF"
             "class PATH { MAKE = out; }\n"
             "class BASICS.FS { add(flat); add(flat, *.txt); add(empty); }\n"
             "class VIDEO.FS { add(flat); }\n");
  write_file("flat/A.DAT", "a");
  write_file("flat/THIRTEENCHARS", "x");
  std::filesystem::create_directory(at("empty"));
  const RunResult result = run({"mod.def"});
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.output.ends_with("Saving archive \"BASICS.FS\" ... done\nAll done.\n\n"));
  EXPECT_TRUE(result.errors.starts_with("vexal_mod_builder: warning: ")) << result.errors;
  for (const char* warning :
       {"\\flat\\THIRTEENCHARS: skipped: an entry name has at most 12 bytes",
        "BASICS.FS: add(flat, *.txt): the mask \"*.txt\" matches no entry of \"flat\"",
        "BASICS.FS: add(empty): the source \"empty\" holds no entries",
        "line 3: the VIDEO.FS block is skipped, since allowcdmod in config.ini is 0 or less"}) {
    EXPECT_NE(result.errors.find(warning), std::string::npos) << result.errors;
  }
}

}  // namespace
}  // namespace vexal::test
