#include "install/install_record.h"

#include <gtest/gtest.h>

#include "support/fake_file_system.h"
#include "support/seeded.h"

namespace vexal::test {
namespace {

FileIdentity random_identity(std::mt19937& random) {
  return {random(), static_cast<std::int64_t>(random()) - (1 << 30), random(),
          random_text(random, "0123456789:-", 0, 6)};
}

InstallRecord random_record(std::mt19937& random) {
  InstallRecord record{random_text(random, "C:\\w a", 1, 8), {}};
  for (std::size_t i = pick(random, 4); i > 0; --i) {
    record.entries.push_back(
        {random_text(random, "ABFS.", 1, 6), random_text(random, "C:\\x", 1, 6),
         random_text(random, "D:\\y", 1, 6), random_text(random, "E:\\z", 1, 6),
         random_identity(random), random_identity(random), pick(random, 2) == 1});
  }
  return record;
}

// A record reads back as written; any of its lines dropped or replaced by the line before
// it makes a text the tool did not write.
TEST(InstallRecordTest, ReadsWhatItWroteAndNoTextCutOrEdited) {
  for_each_seed(700, 40, [](std::mt19937& random, unsigned) {
    const std::string text = record_text(random_record(random));
    const std::optional<InstallRecord> read = parse_record(text);
    ASSERT_TRUE(read.has_value()) << text;
    EXPECT_EQ(record_text(*read), text);
    for (std::size_t at = text.find('\n') + 1, before = 0; at < text.size();
         before = at, at = text.find('\n', at) + 1) {
      const std::size_t end = text.find('\n', at) + 1;
      const std::string rest = text.substr(0, at) + text.substr(end);
      const std::string doubled =
          text.substr(0, at) + text.substr(before, at - before) + text.substr(end);
      EXPECT_FALSE(parse_record(rest)) << rest;
      EXPECT_FALSE(parse_record(doubled)) << doubled;
    }
  });
}

// A file cut short between its size and its bytes being read is not taken for another.
TEST(FileIdentityTest, AFileThatShrinksWhileReadHasNone) {
  FakeFileSystem fs;
  fs.add_file("C:\\A.FS", std::string(kIdentityEdgeBytes, 'a'));
  fs.hook = [&fs](const FakeFileSystem::Op& op) {
    if (op.name == "open_read") {
      fs.add_file("C:\\A.FS", "a");
    }
    return FakeFileSystem::Verdict::pass;
  };
  std::string why;
  EXPECT_FALSE(identify(fs, "C:\\A.FS", why));
}

}  // namespace
}  // namespace vexal::test
