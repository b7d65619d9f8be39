#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "support/archive_builder.h"

namespace vexal {
namespace {

using test::le16;
using test::le32;

class ArchiveFileTest : public test::EngineTest {};

const std::string kFlat = test::build_flat({{"A.PCX", "aaaa"}, {"B.DAT", ""}, {"C.TXT", "ccc"}});
// Groups at 8 and 17, item tables at 26 (AB) and 46 (TANK), data at 57.
const std::string kTwoLevel =
    test::build_two_level({{"AB", {{"A01", "x"}, {"B02", "yy"}}}, {"TANK", {{"Z99", "zzz"}}}});

// Each row writes bytes over one field of a sound archive.
TEST_F(ArchiveFileTest, RejectsDamagedFilesNamingTheRecordAtFault) {
  struct Row {
    bool two_level;
    std::size_t at;
    std::string bytes;
    const char* explanation;  // after the archive's name
  };
  const Row rows[] = {
      {false, 0, le32(4),
       "directory: the count 4 at offset 0x0 needs 0x54 bytes of directory, more than the file "
       "holds"},
      {false, 0, le32(0xFFFFFFFF),
       "directory: the count 4294967295 at offset 0x0 needs 0x14FFFFFFEB bytes of directory, more "
       "than the file holds"},
      {false, 4, "ABCDEFGHIJKLM",
       "entry 0 at offset 0x4: the name does not end within its 13 bytes"},
      {false, 17, le32(60),
       "entry 0 at offset 0x4: its data at 0x3C lies inside the directory, which ends at 0x43"},
      {false, 17, le32(200),
       "entry 0 at offset 0x4: its data at 0xC8 lies past the end of the file (0x4A bytes)"},
      {false, 38, le32(60),
       "entry 1 at offset 0x19: its data at 0x3C lies before the data area, which starts at 0x43"},
      {false, 59, le32(0x7FFFFFFF),
       "entry 2 at offset 0x2E: data at 0x7FFFFFFF+0x3 runs past the end of the file (0x4A bytes)"},
      {false, 63, le32(4),
       "entry 2 at offset 0x2E: data at 0x47+0x4 runs past the end of the file (0x4A bytes)"},
      {false, 21, le32(0xFFFFFFFF),
       "entry 0 at offset 0x4: data at 0x43+0xFFFFFFFF runs past the end of the file (0x4A bytes)"},
      {true, 4, le32(7),
       "directory: the count 7 at offset 0x4 needs 0x3F bytes of directory, more than the file "
       "holds"},
      {true, 13, le32(20),
       "group 0 (AB___) at offset 0x8: its item table at 0x14 lies inside the directory, which "
       "ends at 0x1A"},
      {true, 22, le32(100),
       "group 1 (TANK_) at offset 0x11: its item table at 0x64 lies past the end of the file (0x3F "
       "bytes)"},
      {true, 46, le16(200),
       "group 1 (TANK_) at offset 0x11: the item table at 0x2E of 200 items runs past the end of "
       "the file"},
      {true, 22, le32(26),
       "group 1 (TANK_) at offset 0x11: its item table at 0x1A overlaps the one of group 0 at "
       "0x1A"},
      {true, 22, le32(28),
       "group 1 (TANK_) at offset 0x11: the item table at 0x1C of 12353 items runs past the end of "
       "the file"},
      {true, 31, le32(10),
       "group 0 (AB___) at offset 0x8, item 0 at offset 0x1C: data at 0xA lies before the item "
       "tables, which start at 0x1A"},
      {true, 51, le32(0x7FFFFFFF),
       "group 1 (TANK_) at offset 0x11, item 0 at offset 0x30: data at 0x7FFFFFFF+0x3 runs past "
       "the end of the file (0x3F bytes)"},
      {true, 55, le16(4),
       "group 1 (TANK_) at offset 0x11, item 0 at offset 0x30: data at 0x3C+0x4 runs past the end "
       "of the file (0x3F bytes)"},
  };
  for (const Row& r : rows) {
    std::string file = r.two_level ? kTwoLevel : kFlat;
    file.replace(r.at, r.bytes.size(), r.bytes);
    const std::string name = r.two_level ? "x.fsu" : "x.fs";
    reporter.explanations.clear();
    EXPECT_EQ(read(name, file), Status::archive_not_opened) << r.explanation;
    EXPECT_EQ(reporter.explanations, name + ": " + r.explanation + "\n");
    EXPECT_EQ(list.size(), 0u) << r.explanation;
  }
}

TEST_F(ArchiveFileTest, EveryTruncationOrShortReadIsRejectedCleanly) {
  for (const auto& [name, file] : {std::pair{"x.fs", kFlat}, std::pair{"x.fsu", kTwoLevel}}) {
    for (std::size_t length = 0; length < file.size(); ++length) {
      EXPECT_EQ(read(name, file.substr(0, length)), Status::archive_not_opened)
          << name << " cut at " << length;
      EXPECT_EQ(list.size(), 0u);
    }
  }
  fs.hook = [](const test::FakeFileSystem::Op& op) {  // the file yields less than its size
    return op.name == "read" ? test::FakeFileSystem::Verdict::fail
                             : test::FakeFileSystem::Verdict::pass;
  };
  EXPECT_EQ(read("x.fs", kFlat), Status::archive_not_opened);
  EXPECT_EQ(list.size(), 0u);
}

}  // namespace
}  // namespace vexal
