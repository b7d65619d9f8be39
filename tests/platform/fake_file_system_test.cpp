// The fault hook of the fake, on which the crash and soak tests rely.
#include "support/fake_file_system.h"

#include <gtest/gtest.h>

namespace vexal::test {
namespace {

using Verdict = FakeFileSystem::Verdict;

TEST(FakeFileSystemTest, HookFailsCallsWithoutEffectOrEndsTheProcessAfterThem) {
  FakeFileSystem fs;
  fs.add_file("C:\\a", "1");
  std::vector<std::string> seen;
  fs.hook = [&](const FakeFileSystem::Op& op) {
    seen.push_back(std::string(op.name) + (op.mutates ? "! " : " ") + op.path + op.to);
    return seen.size() == 2     ? Verdict::fail
           : op.name == "close" ? Verdict::crash_after
                                : Verdict::pass;
  };
  EXPECT_TRUE(fs.make_directory("C:\\d"));
  EXPECT_FALSE(fs.move("C:\\a", "C:\\d\\a"));
  EXPECT_TRUE(fs.move("C:\\a", "C:\\d\\a"));
  auto pending = fs.open_write("C:\\pending");
  auto file = fs.open_write("C:\\d\\b");
  EXPECT_TRUE(file->write(std::as_bytes(std::span(std::string_view("data")))));
  EXPECT_FALSE(fs.exists("C:\\d\\b"));
  EXPECT_TRUE(file->close());
  EXPECT_THROW(fs.is_file("C:\\d\\a"), FakeCrash);
  EXPECT_THROW(pending->write({}), FakeCrash);
  pending.reset();  // dying with the process leaves no file behind
  EXPECT_EQ(fs.files(),
            (std::map<std::string, std::string>{{"C:\\d\\a", "1"}, {"C:\\d\\b", "data"}}));
  EXPECT_EQ(seen,
            (std::vector<std::string>{"make_directory! C:\\d", "move! C:\\aC:\\d\\a",
                                      "move! C:\\aC:\\d\\a", "open_write C:\\pending",
                                      "open_write C:\\d\\b", "write C:\\d\\b", "close! C:\\d\\b"}));
  fs.restart();
  EXPECT_TRUE(fs.is_file("C:\\D\\A"));
}

}  // namespace
}  // namespace vexal::test
