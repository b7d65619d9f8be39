#include "driver/run.h"

#include <gtest/gtest.h>

#include <new>

#include "install/install_fixture.h"
#include "support/case_file.h"
#include "support/fake_file_system.h"
#include "support/status_print.h"

namespace vexal {
namespace {

using test::FakeFileSystem;

// "\config.ini" names a file at the root of the current drive, never the user's.
TEST(RunTest, WithoutAWorkingFolderNoConfigIsRead) {
  test::InstallWorld world;
  world.fs.add_file("C:\\config.ini", test::kPathLines);
  world.fs.hook = [](const FakeFileSystem::Op& op) {
    return op.name == "current_directory" ? FakeFileSystem::Verdict::fail
                                          : FakeFileSystem::Verdict::pass;
  };
  const auto before = world.fs.files();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"-cleanup"}, {"C:\\m\\mod.def", "-mod"}}) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int code = run_tool(args, world.fs);
    ::testing::internal::GetCapturedStdout();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 200) << args.size();
    EXPECT_NE(errors.find("the working folder cannot be read"), std::string::npos) << errors;
  }
  EXPECT_EQ(world.fs.files(), before);
}

// Memory that runs out while a source is listed or an archive written ends the run
// with status 3, wherever it happens.
TEST(RunTest, RunningOutOfMemoryEndsWithStatus3) {
  for (const std::string_view failing : {"list", "open_write", "write"}) {
    test::InstallWorld world;
    world.fs.add_file("C:\\m\\mod.def",
                      "class PATH { MAKE = out; }\nclass WORDS.FS { add(gfx); }\n");
    world.fs.add_file("C:\\m\\gfx\\A", "a");
    world.fs.hook = [failing](const FakeFileSystem::Op& op) {
      if (op.name == failing && op.path.starts_with("C:\\m\\")) {
        throw std::bad_alloc();
      }
      return FakeFileSystem::Verdict::pass;
    };
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int code = run_tool({"C:\\m\\mod.def"}, world.fs);
    ::testing::internal::GetCapturedStdout();
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 3) << failing;
  }
}

}  // namespace
}  // namespace vexal
