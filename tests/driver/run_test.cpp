#include "driver/run.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vexal
