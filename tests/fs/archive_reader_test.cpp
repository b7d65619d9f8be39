#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "fs/archive_reader.h"
#include "fs/archive_writer.h"
#include "fs_test_support.h"
#include "support/archive_builder.h"
#include "support/status_print.h"

namespace vexal {
namespace {

using test::build_flat;
using test::build_two_level;
using test::data_text;
using test::entry_bytes;
using test::entry_names;
using test::get_le32;
using test::put_le16;
using test::put_le32;

class ArchiveFileTest : public ::testing::Test {
 protected:
  // Loads bytes (or, without them, the file at path) into a new record named name; the
  // layout follows the name.
  Status load_bytes(const std::string& name, std::optional<std::string> bytes,
                    FileSystem* through = nullptr, const std::string& path = "C:\\a") {
    if (bytes) {
      fs.add_file(path, std::move(*bytes));
    }
    list.clear();
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    list.get(slot)->name = name;
    return read_archive_file(list, through ? *through : fs, reporter, slot, path);
  }
  const ArchiveRecord& record() { return *list.get(0); }

  // Every item of every group as read: name and bytes from data.
  std::vector<std::pair<std::string, std::string>> items() {
    const std::string data = data_text(record());
    std::vector<std::pair<std::string, std::string>> result;
    for (const Entry& group : record().entries) {
      const std::size_t count = static_cast<unsigned char>(data[group.offset]) |
                                static_cast<unsigned char>(data[group.offset + 1]) << 8;
      for (std::size_t j = 0; j < count; ++j) {
        const std::size_t at = group.offset + 2 + 9 * j;
        const std::size_t size = static_cast<unsigned char>(data[at + 7]) |
                                 static_cast<unsigned char>(data[at + 8]) << 8;
        result.emplace_back(data.substr(at, 3), data.substr(get_le32(data, at + 3), size));
      }
    }
    return result;
  }

  test::FakeFileSystem fs;
  ArchiveList list;
  test::RecordingReporter reporter;
};

const std::string kFlat = build_flat({{"A.PCX", "aaaa"}, {"B.DAT", ""}, {"C.TXT", "ccc"}});
const std::string kTwoLevel =
    build_two_level({{"AB", {{"A01", "x"}, {"B02", "yy"}}}, {"TANK", {{"Z99", "zzz"}}}});

TEST_F(ArchiveFileTest, ReadsFlatDirectoryRelativeToDataArea) {
  ASSERT_EQ(load_bytes("data\\BASICS.FS", kFlat), Status::ok);
  EXPECT_FALSE(record().two_level);
  EXPECT_EQ(entry_names(record()), (std::vector<std::string>{"A.PCX", "B.DAT", "C.TXT"}));
  EXPECT_EQ(record().entries[0].offset, 0u);
  EXPECT_EQ(record().entries[2].offset, 4u);
  EXPECT_EQ(entry_bytes(record(), record().entries[2]), "ccc");
  EXPECT_EQ(data_text(record()), "aaaaccc");
}

TEST_F(ArchiveFileTest, KeepsAllThirteenNameBytesAsRead) {
  std::string name("AB\0junk\0\0\0\0\0\0", 13);
  ASSERT_EQ(load_bytes("x.fs", build_flat({{name, "1"}, {"LONGESTNAME1", "2"}})), Status::ok);
  EXPECT_EQ(std::string(record().entries[0].name.data(), 13), name);
  EXPECT_EQ(entry_name(record().entries[1]), "LONGESTNAME1");
}

TEST_F(ArchiveFileTest, ReadsTwoLevelGroupsAndRebasesItemOffsets) {
  ASSERT_EQ(load_bytes("data\\TROOP.FSU", kTwoLevel), Status::ok);
  EXPECT_TRUE(record().two_level);
  EXPECT_EQ(entry_names(record()), (std::vector<std::string>{"AB___", "TANK_"}));
  EXPECT_EQ(record().entries[0].offset, 0u);
  EXPECT_EQ(record().entries[0].size, 2u + 9 * 2);
  EXPECT_EQ(record().entries[1].offset, 20u);
  EXPECT_EQ(record().entries[1].size, 2u + 9);
  // The item tables start at 8 + 9 * 2 in the file: every data offset loses that base.
  EXPECT_EQ(get_le32(data_text(record()), 2 + 3), get_le32(kTwoLevel, 26 + 2 + 3) - 26);
  using Items = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(items(), (Items{{"A01", "x"}, {"B02", "yy"}, {"Z99", "zzz"}}));
}

TEST_F(ArchiveFileTest, LayoutFollowsTheExtensionOfTheRecordName) {
  for (const char* name : {"x.FSU", "dir\\x.fsu", "X.FsU"}) {
    ASSERT_EQ(load_bytes(name, kTwoLevel), Status::ok) << name;
    EXPECT_TRUE(record().two_level) << name;
  }
  for (const char* name : {"x.FS", "x.dat", "x", "x.fsu.bak", "dir.fsu\\x"}) {
    ASSERT_EQ(load_bytes(name, kFlat), Status::ok) << name;
    EXPECT_FALSE(record().two_level) << name;
  }
}

TEST_F(ArchiveFileTest, ArchivesWithoutEntriesHaveNoData) {
  ASSERT_EQ(load_bytes("x.fs", test::le32(0)), Status::ok);
  EXPECT_TRUE(record().entries.empty());
  EXPECT_TRUE(record().bytes().empty());
  ASSERT_EQ(load_bytes("x.fsu", test::le32(8) + test::le32(0)), Status::ok);
  EXPECT_TRUE(record().entries.empty());
  EXPECT_TRUE(record().bytes().empty());
}

TEST_F(ArchiveFileTest, LargestItemAndLargestGroupAreRepresentable) {
  std::vector<test::ItemBytes> many;
  for (int i = 0; i < 65535; ++i) {
    many.push_back({std::string(1, static_cast<char>('A' + i % 26)) + "00", ""});
  }
  const std::string big(65535, 'b');
  ASSERT_EQ(load_bytes("x.fsu", build_two_level({{"BIG", {{"B01", big}}}, {"MANY", many}})),
            Status::ok);
  EXPECT_EQ(record().entries[1].size, 2u + 9u * 65535u);
  EXPECT_EQ(items().front().second, big);
  EXPECT_EQ(items().size(), 65536u);
}

TEST_F(ArchiveFileTest, MissingFileFreesTheListButMissingArgumentsLeaveItAlone) {
  EXPECT_EQ(load_bytes("x.fs", std::nullopt, nullptr, "C:\\none.fs"), Status::archive_not_opened);
  EXPECT_EQ(reporter.explanations, "C:\\none.fs: refused by the fake file system\n");
  EXPECT_EQ(list.size(), 0u);
  int slot = -1;
  ASSERT_EQ(list.append(slot), Status::ok);
  EXPECT_EQ(read_archive_file(list, fs, reporter, 1, "C:\\a"), Status::programmer_error);
  EXPECT_EQ(read_archive_file(list, fs, reporter, slot, ""), Status::programmer_error);
  EXPECT_EQ(list.size(), 1u);
}

struct Damage {
  const char* what;
  std::function<void(std::string&)> apply;
  const char* explanation;  // after the archive's name
};

TEST_F(ArchiveFileTest, RejectsDamagedFlatFiles) {
  const std::vector<Damage> damages = {
      {"count beyond file", [](std::string& f) { put_le32(f, 0, 4); },
       "directory: the count 4 at offset 0x0 needs 0x54 bytes of directory, more than the file "
       "holds"},
      {"huge count", [](std::string& f) { put_le32(f, 0, 0xFFFFFFFF); },
       "directory: the count 4294967295 at offset 0x0 needs 0x14FFFFFFEB bytes of directory, more "
       "than the file holds"},
      {"unterminated name", [](std::string& f) { f.replace(4, 13, "ABCDEFGHIJKLM"); },
       "entry 0 at offset 0x4: the name does not end within its 13 bytes"},
      {"base before directory end", [](std::string& f) { put_le32(f, 4 + 13, 60); },
       "entry 0 at offset 0x4: its data at 0x3C lies inside the directory, which ends at 0x43"},
      {"base beyond file", [](std::string& f) { put_le32(f, 4 + 13, 200); },
       "entry 0 at offset 0x4: its data at 0xC8 lies past the end of the file (0x4A bytes)"},
      {"offset below base", [](std::string& f) { put_le32(f, 25 + 13, 60); },
       "entry 1 at offset 0x19: its data at 0x3C lies before the data area, which starts at 0x43"},
      {"offset beyond data", [](std::string& f) { put_le32(f, 46 + 13, 0x7FFFFFFF); },
       "entry 2 at offset 0x2E: data at 0x7FFFFFFF+0x3 runs past the end of the file (0x4A bytes)"},
      {"size beyond data", [](std::string& f) { put_le32(f, 46 + 17, 4); },
       "entry 2 at offset 0x2E: data at 0x47+0x4 runs past the end of the file (0x4A bytes)"},
      {"size wraps", [](std::string& f) { put_le32(f, 4 + 17, 0xFFFFFFFF); },
       "entry 0 at offset 0x4: data at 0x43+0xFFFFFFFF runs past the end of the file (0x4A bytes)"},
  };
  for (const Damage& damage : damages) {
    std::string file = kFlat;
    damage.apply(file);
    reporter.explanations.clear();
    EXPECT_EQ(load_bytes("x.fs", file), Status::archive_not_opened) << damage.what;
    EXPECT_EQ(reporter.explanations, "x.fs: " + std::string(damage.explanation) + "\n");
    EXPECT_EQ(list.size(), 0u) << damage.what;
  }
}

TEST_F(ArchiveFileTest, RejectsDamagedTwoLevelFiles) {
  // Groups at 8 and 17, tables at 26 (AB) and 46 (TANK), data at 57.
  const std::vector<Damage> damages = {
      {"group count beyond file", [](std::string& f) { put_le32(f, 4, 7); },
       "directory: the count 7 at offset 0x4 needs 0x3F bytes of directory, more than the file "
       "holds"},
      {"table before directory end", [](std::string& f) { put_le32(f, 8 + 5, 20); },
       "group 0 (AB___) at offset 0x8: its item table at 0x14 lies inside the directory, which "
       "ends at 0x1A"},
      {"table beyond file", [](std::string& f) { put_le32(f, 17 + 5, 100); },
       "group 1 (TANK_) at offset 0x11: its item table at 0x64 lies past the end of the file (0x3F "
       "bytes)"},
      {"table count runs past data", [](std::string& f) { put_le16(f, 46, 200); },
       "group 1 (TANK_) at offset 0x11: the item table at 0x2E of 200 items runs past the end of "
       "the file"},
      {"tables share bytes", [](std::string& f) { put_le32(f, 17 + 5, 26); },
       "group 1 (TANK_) at offset 0x11: its item table at 0x1A overlaps the one of group 0 at "
       "0x1A"},
      {"tables overlap", [](std::string& f) { put_le32(f, 17 + 5, 28); },
       "group 1 (TANK_) at offset 0x11: the item table at 0x1C of 12353 items runs past the end of "
       "the file"},
      {"item below base", [](std::string& f) { put_le32(f, 26 + 2 + 3, 10); },
       "group 0 (AB___) at offset 0x8, item 0 at offset 0x1C: data at 0xA lies before the item "
       "tables, which start at 0x1A"},
      {"item beyond data", [](std::string& f) { put_le32(f, 46 + 2 + 3, 0x7FFFFFFF); },
       "group 1 (TANK_) at offset 0x11, item 0 at offset 0x30: data at 0x7FFFFFFF+0x3 runs past "
       "the end of the file (0x3F bytes)"},
      {"item size beyond data", [](std::string& f) { put_le16(f, 46 + 2 + 7, 4); },
       "group 1 (TANK_) at offset 0x11, item 0 at offset 0x30: data at 0x3C+0x4 runs past the end "
       "of the file (0x3F bytes)"},
  };
  for (const Damage& damage : damages) {
    std::string file = kTwoLevel;
    damage.apply(file);
    reporter.explanations.clear();
    EXPECT_EQ(load_bytes("x.fsu", file), Status::archive_not_opened) << damage.what;
    EXPECT_EQ(reporter.explanations, "x.fsu: " + std::string(damage.explanation) + "\n");
    EXPECT_EQ(list.size(), 0u) << damage.what;
  }
}

TEST_F(ArchiveFileTest, RejectsShortRead) {
  fs.hook = [](const test::FakeFileSystem::Op& op) {  // the file yields less than its size
    return op.name == "read" ? test::FakeFileSystem::Verdict::fail
                             : test::FakeFileSystem::Verdict::pass;
  };
  EXPECT_EQ(load_bytes("x.fs", kFlat), Status::archive_not_opened);
  EXPECT_EQ(list.size(), 0u);
}

TEST_F(ArchiveFileTest, EveryTruncationIsRejectedCleanly) {
  for (const auto& [name, file] : {std::pair{"x.fs", kFlat}, std::pair{"x.fsu", kTwoLevel}}) {
    for (std::size_t length = 0; length < file.size(); ++length) {
      EXPECT_EQ(load_bytes(name, file.substr(0, length)), Status::archive_not_opened)
          << name << " cut at " << length;
      EXPECT_EQ(list.size(), 0u);
    }
  }
}

}  // namespace
}  // namespace vexal
