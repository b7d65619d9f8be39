// What every FileSystem must do, run on the native backend of the platform and on the
// fake that the other tests use in its place, so that the fake cannot drift from it.
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <random>
#include <tuple>
#include <vector>

#include "platform/path_rules.h"
#include "support/fake_file_system.h"
#include "support/temp_dir.h"
#ifndef _WIN32
#include "support/small_volume.h"
#endif

namespace vexal {
namespace {

namespace stdfs = std::filesystem;
using Names = std::vector<std::string>;

// What the second volume of a backend can hold.
constexpr std::uint64_t kOtherVolumeBytes = std::uint64_t{64} * 1024;

class NativeBackend {
 public:
  ~NativeBackend() {  // read-only files could not be removed on Windows
    for (const auto& entry : stdfs::recursive_directory_iterator(dir_.path())) {
      stdfs::permissions(entry.path(), stdfs::perms::owner_write, stdfs::perm_options::add);
    }
  }
  FileSystem& fs() { return *fs_; }
  std::string root() const { return dir_.str(); }
  void write(std::string_view relative, std::string_view bytes) {
    dir_.write_file(relative, bytes);
  }
  void make_read_only(std::string_view relative) {
    stdfs::permissions(
        dir_.path() / relative,
        stdfs::perms::owner_write | stdfs::perms::group_write | stdfs::perms::others_write,
        stdfs::perm_options::remove);
  }
  // A folder on another volume that holds kOtherVolumeBytes; empty where there is none.
  std::string other_volume() {
#ifndef _WIN32
    volume_ = std::make_unique<test::SmallVolume>(kOtherVolumeBytes);
    return volume_->mounted() ? volume_->dir().str() : std::string();
#else
    return {};
#endif
  }
  // Every name in the folder, hidden ones too.
  Names names_in(std::string folder) const {
    std::replace(folder.begin(), folder.end(), '\\', '/');
    Names names;
    for (const auto& entry : stdfs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  test::TempDir dir_;
  std::unique_ptr<FileSystem> fs_ = make_native_file_system();
#ifndef _WIN32
  std::unique_ptr<test::SmallVolume> volume_;
#endif
};

class FakeBackend {
 public:
  FileSystem& fs() { return fake_; }
  std::string root() const { return "C:\\root"; }
  void write(std::string_view relative, std::string_view bytes) {
    fake_.add_file(root() + "\\" + std::string(relative), std::string(bytes));
  }
  void make_read_only(std::string_view relative) {
    fake_.set_read_only(root() + "\\" + std::string(relative));
  }
  std::string other_volume() {
    fake_.set_capacity("D:", kOtherVolumeBytes);
    fake_.add_directory("D:\\other");
    return "D:\\other";
  }
  Names names_in(const std::string& folder) const {
    Names names;
    for (const auto& [path, bytes] : fake_.files()) {
      if (path.starts_with(folder + "\\")) {
        names.push_back(path.substr(folder.size() + 1));
      }
    }
    return names;
  }

 private:
  test::FakeFileSystem fake_{root()};
};

// The file opened, or null.
std::unique_ptr<File> opened(OpenedFile file) {
  return file ? std::move(*file) : nullptr;
}
std::shared_ptr<const MappedBytes> mapped_or_null(
    IoExpected<std::shared_ptr<const MappedBytes>> m) {
  return m ? std::move(*m) : nullptr;
}

std::string text_of(std::span<const std::byte> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string pattern_bytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  }
  return bytes;
}

template <typename Backend>
class FileSystemContract : public ::testing::Test {
 protected:
  // The path below the test's folder in the "\" form the system composes.
  std::string path(std::string_view relative) const {
    std::string text = backend_.root() + "\\" + std::string(relative);
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
  }
  std::string read(std::string_view relative) {
    return read_whole_file(fs, path(relative)).value_or("<none>");
  }
  std::vector<std::string> listed(std::string_view pattern, ListMode mode = ListMode::files_only) {
    std::vector<std::string> names;
    const auto entries = fs.list(path(pattern), mode);
    EXPECT_TRUE(entries) << pattern;
    for (const DirEntry& entry : entries.value_or(std::vector<DirEntry>{})) {
      names.push_back(entry.name + (entry.is_directory ? "\\" : ""));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  Backend backend_;
  FileSystem& fs = backend_.fs();
};

using Backends = ::testing::Types<NativeBackend, FakeBackend>;
TYPED_TEST_SUITE(FileSystemContract, Backends);

TYPED_TEST(FileSystemContract, FindsNamesInAnyCaseAndCreatesNewOnesAsSpelled) {
  this->backend_.write("Game/Data/Words.fs", "abc");
  FileSystem& fs = this->fs;
  EXPECT_TRUE(fs.is_file(this->path("GAME\\DATA\\WORDS.FS")));
  EXPECT_TRUE(fs.is_directory(this->path("game\\data")));
  EXPECT_FALSE(fs.is_file(this->path("game\\data")));
  EXPECT_FALSE(fs.is_directory(this->path("game\\data\\words.fs")));
  EXPECT_EQ(opened(fs.open_read(this->path("game"))), nullptr);
  EXPECT_EQ(this->read("game\\DATA\\words.FS"), "abc");

  EXPECT_TRUE(fs.make_directory(this->path("GAME\\Backup")));
  EXPECT_FALSE(fs.make_directory(this->path("game\\BACKUP")));
  EXPECT_FALSE(fs.make_directory(this->path("none\\x")));
  EXPECT_TRUE(fs.move(this->path("GAME\\DATA\\WORDS.FS"), this->path("game\\backup\\W.fs")));
  EXPECT_EQ(this->listed("Game\\Backup\\*"), Names{"W.fs"});
  EXPECT_EQ(this->read("GAME\\BACKUP\\w.FS"), "abc");
  EXPECT_TRUE(fs.remove(this->path("GAME\\BACKUP\\w.FS")));
  EXPECT_FALSE(fs.remove(this->path("GAME\\BACKUP\\w.FS")));
  EXPECT_FALSE(fs.remove(this->path("Game\\Backup")));
  EXPECT_TRUE(fs.is_directory(this->path("Game\\Backup")));

  auto created = opened(fs.open_write(this->path("GAME\\NewFile.TXT")));
  EXPECT_TRUE(created && created->close());
  EXPECT_TRUE(fs.replace_file(this->path("game\\Other.ini"), "x"));
  EXPECT_EQ(this->listed("game\\*", ListMode::directories_included),
            (Names{"Backup\\", "Data\\", "NewFile.TXT", "Other.ini"}));
}

// A move never replaces a file. Within a volume it keeps the file itself; between volumes
// it copies: the copy keeps the last write time, gets a new identity and takes the
// destination's name only whole. A failed move (a taken name, a missing folder, a full
// volume) leaves the source as it was and nothing behind.
TYPED_TEST(FileSystemContract, MovesWholeOrNotAtAll) {
  FileSystem& fs = this->fs;
  const std::string other = this->backend_.other_volume();  // empty: rows there pass
  this->backend_.write("taken.fs", "taken");
  ASSERT_TRUE(other.empty() || fs.replace_file(other + "\\taken.fs", "taken"));
  const std::string source = this->path("source.fs");
  const struct {
    std::string to;
    std::size_t size;
    bool moves;
  } rows[] = {{this->path("Moved.fs"), 3, true}, {this->path("TAKEN.FS"), 3, false},
              {this->path("none\\a"), 3, false}, {other + "\\Game.fs", 3000, true},
              {other + "\\TAKEN.FS", 10, false}, {other + "\\huge.fs", kOtherVolumeBytes, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.to);
    if (other.empty() && row.to.starts_with("\\")) {
      continue;
    }
    const std::string bytes = pattern_bytes(row.size);
    this->backend_.write("source.fs", bytes);
    const IoExpected<FileInfo> before = fs.stat(source);
    ASSERT_TRUE(before);
    const IoResult moved = fs.move(source, row.to);
    ASSERT_EQ(moved.ok(), row.moves);
    const IoExpected<FileInfo> after = fs.stat(row.moves ? row.to : source);
    ASSERT_TRUE(after);
    EXPECT_EQ(std::tie(after->kind, after->size, after->modified),
              std::tie(before->kind, before->size, before->modified));
    EXPECT_EQ(after->identity != before->identity, row.moves && row.to.starts_with(other + "\\"));
    const IoExpected<std::string> whole = read_whole_file(fs, row.moves ? row.to : source);
    EXPECT_TRUE(whole && *whole == bytes);
    EXPECT_EQ(fs.is_file(source), !row.moves);
    EXPECT_TRUE(row.moves ? fs.remove(row.to).ok() : !moved.reason().empty());
  }
  EXPECT_EQ(this->backend_.names_in(this->backend_.root()), (Names{"source.fs", "taken.fs"}));
  EXPECT_TRUE(other.empty() || this->backend_.names_in(other) == Names{"taken.fs"});
  EXPECT_FALSE(fs.move(this->path("nothing"), this->path("c")));
  this->backend_.write("a", "1");
  EXPECT_TRUE(fs.move(this->path("a"), this->path("A")));
#ifndef _WIN32  // Wine, which runs the Windows build of this suite, keeps the old spelling
  EXPECT_EQ(this->listed("*"), (Names{"A", "source.fs", "taken.fs"}));
#endif
  EXPECT_EQ(this->read("A") + this->read("Taken.fs"), "1taken");
}

TYPED_TEST(FileSystemContract, TellsAboutFilesAndWritesThemThrough) {
  this->backend_.write("a", "123");
  FileSystem& fs = this->fs;
  const IoExpected<FileInfo> file = fs.stat(this->path("A"));
  ASSERT_TRUE(file);
  EXPECT_EQ(std::tuple(file->kind, file->size), std::tuple(FileInfo::Kind::file, 3u));
  this->backend_.write("copy", "123");
  EXPECT_NE(fs.stat(this->path("copy"))->identity, file->identity);
  EXPECT_EQ(fs.stat(this->backend_.root())->kind, FileInfo::Kind::directory);
  EXPECT_FALSE(fs.stat(this->path("b")));
  EXPECT_TRUE(fs.sync_file(this->path("a")));
  EXPECT_FALSE(fs.sync_file(this->path("b")));
}

TYPED_TEST(FileSystemContract, WritesReadsAndSeeks) {
  this->backend_.write("Out.bin", "an older and longer content");
  auto out = opened(this->fs.open_write(this->path("OUT.BIN")));
  ASSERT_NE(out, nullptr);
  const std::string_view text = "0123\n56789";
  EXPECT_TRUE(out->write(std::as_bytes(std::span(text))));
  EXPECT_EQ(*out->size(), 10u);  // binary: no "\r" added
  EXPECT_TRUE(out->close());
  auto in = opened(this->fs.open_read(this->path("out.bin")));
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(*in->size(), 10u);
  ASSERT_TRUE(in->seek(7));
  std::array<std::byte, 8> buffer{};
  EXPECT_EQ(*in->read(buffer), 3u);
  EXPECT_EQ(text_of(std::span(buffer).first(3)), "789");
  EXPECT_EQ(*in->read(buffer), 0u);
  EXPECT_EQ(this->read("Out.bin"), text);
  EXPECT_EQ(opened(this->fs.open_write(this->path("missing\\x"))), nullptr);
  EXPECT_EQ(opened(this->fs.open_read(this->path("missing"))), nullptr);
}

TYPED_TEST(FileSystemContract, ListsMatchingNamesWithTheirSizes) {
  for (const char* file : {"m/A.PCX", "m/tank/a01", "m/tank/a012", "m/tank/B2"}) {
    this->backend_.write(file, "1");
  }
  this->backend_.write("m/b.dat", "12");
  const struct {
    const char* pattern;
    ListMode mode;
    Names names;
  } rows[] = {
      {"M\\*.*", ListMode::files_only, {"A.PCX", "b.dat"}},
      {"m\\*", ListMode::directories_included, {"A.PCX", "b.dat", "tank\\"}},
      {"m\\TANK\\???", ListMode::files_only, {"B2", "a01"}},
      {"m\\*.pcx", ListMode::files_only, {"A.PCX"}},
      {"none\\*", ListMode::directories_included, {}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(this->listed(row.pattern, row.mode), row.names) << row.pattern;
  }
  const auto entries = this->fs.list(this->path("m\\B.DAT"), ListMode::files_only);
  ASSERT_TRUE(entries && entries->size() == 1);
  EXPECT_EQ(entries->front().size, 2u);
}

TYPED_TEST(FileSystemContract, ReplacesFilesWholeAndRefusesReadOnlyOnes) {
  this->backend_.write("config.ini", "old");
  FileSystem& fs = this->fs;
  EXPECT_TRUE(fs.replace_file(this->path("CONFIG.INI"), "new"));
  EXPECT_TRUE(fs.replace_file(this->path("fresh.ini"), "fresh"));
  EXPECT_FALSE(fs.replace_file(this->path("none\\x.ini"), "x"));
  EXPECT_EQ(this->read("config.ini") + this->read("FRESH.INI"), "newfresh");
  EXPECT_EQ(this->listed("*"), (Names{"config.ini", "fresh.ini"}));  // nothing left over

  this->backend_.make_read_only("config.ini");
  EXPECT_FALSE(fs.replace_file(this->path("config.ini"), "newer"));
  EXPECT_EQ(opened(fs.open_write(this->path("config.ini"))), nullptr);
  EXPECT_EQ(this->read("config.ini"), "new");
  EXPECT_EQ(this->listed("*"), (Names{"config.ini", "fresh.ini"}));
}

// Any mix of small and large writes, runs of a mapped file and whole files, whatever their
// offsets within pages and blocks, comes out as it went in.
TYPED_TEST(FileSystemContract, WritesAnyMixOfBytesRunsAndFiles) {
  constexpr unsigned kSeed = 24;
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  std::mt19937 random(kSeed);
  const std::string contents = pattern_bytes(3'000'000);
  this->backend_.write("Game.fs", contents);
  const auto mapped = mapped_or_null(this->fs.map_read(this->path("GAME.FS")));
  auto out = opened(this->fs.open_write(this->path("Out.fs")));
  ASSERT_TRUE(mapped && out);
  std::string expected;
  for (int i = 0; i < 30; ++i) {
    const std::size_t largest = std::array<std::size_t, 3>{100, 40'000, 2'500'000}[random() % 3];
    const std::size_t size = std::uniform_int_distribution<std::size_t>(0, largest)(random);
    const std::size_t offset = random() % (contents.size() - size);
    const std::span<const std::byte> bytes = mapped->bytes().subspan(offset, size);
    const unsigned how = random() % 3;
    if (how == 0) {
      EXPECT_TRUE(out->write(bytes));
    } else if (how == 1) {
      EXPECT_TRUE(out->write_from(*mapped, bytes));
    } else {
      this->backend_.write("File.dat", text_of(bytes));
      if (random() % 2 == 0) {  // announced, the file may be read ahead
        this->fs.expect_appends({{this->path("FILE.DAT"), size}});
      }
      EXPECT_EQ(this->fs.append_file(*out, this->path("FILE.DAT"), size).end, CopyEnd::copied);
    }
    expected += text_of(bytes);
  }
  EXPECT_TRUE(out->close());
  EXPECT_TRUE(this->read("Out.fs") == expected);  // as a flag: a failure would print megabytes
}

// A mapped file keeps its bytes while its name is written over, removed or moved, and
// nothing is left of it once its last mapping goes.
TYPED_TEST(FileSystemContract, MappedFilesKeepTheirBytesWhateverHappensToTheirNames) {
  const std::string contents = pattern_bytes(200'000);
  for (const char* name : {"Data/A.fs", "Data/B.fs", "Data/C.fs"}) {
    this->backend_.write(name, contents);
  }
  this->backend_.write("Data/Empty.fs", "");
  FileSystem& fs = this->fs;
  std::vector<std::shared_ptr<const MappedBytes>> mapped;
  for (const char* name : {"DATA/a.FS", "Data/B.fs", "data/c.fs", "Data/A.fs", "Data/EMPTY.fs"}) {
    mapped.push_back(mapped_or_null(fs.map_read(this->path(name))));
    ASSERT_NE(mapped.back(), nullptr) << name;
  }
  EXPECT_TRUE(mapped[4]->bytes().empty());
  EXPECT_EQ(mapped_or_null(fs.map_read(this->path("Data/Missing.fs"))), nullptr);
  EXPECT_EQ(mapped_or_null(fs.map_read(this->path("Data"))), nullptr);

  auto over = opened(fs.open_write(this->path("data/A.FS")));
  ASSERT_NE(over, nullptr);
  EXPECT_TRUE(over->write_from(*mapped[0], mapped[0]->bytes().subspan(50'000)));
  EXPECT_TRUE(over->close());
  EXPECT_TRUE(fs.remove(this->path("Data/b.fs")));
  EXPECT_TRUE(fs.move(this->path("Data/C.fs"), this->path("Data/D.fs")));
  auto empty = opened(fs.open_write(this->path("Data/Empty.fs")));
  EXPECT_TRUE(empty && empty->close());
  mapped[0].reset();  // the other mapping of A still needs the old file
  for (const std::size_t i : {1, 2, 3}) {
    EXPECT_TRUE(text_of(mapped[i]->bytes()) == contents) << i;
  }
  EXPECT_TRUE(this->read("Data/A.fs") == contents.substr(50'000));
  EXPECT_TRUE(this->read("Data/D.fs") == contents);
  EXPECT_FALSE(fs.is_file(this->path("Data/B.fs")));
  mapped.clear();
  EXPECT_EQ(this->backend_.names_in(this->path("Data")), (Names{"A.fs", "D.fs", "Empty.fs"}));
}

// Copies go in blocks of 1 MiB and find the file's end with the last read; what they copy
// is proved by the mix of writes above.
TYPED_TEST(FileSystemContract, AppendsOnlyFilesThatHoldExactlyTheirSize) {
  const std::string block(std::size_t{1} << 20, 'b');
  const std::string large = pattern_bytes(2'200'000);
  const struct {
    std::optional<std::string> contents;  // nullopt: a folder
    std::uint64_t size;
  } rows[] = {
      {"ab", 3},
      {"abcd", 3},
      {block + "x", block.size()},
      {large, large.size() - 1},
      {large, large.size() + 1},
      {std::nullopt, 0},
  };
  for (const auto& row : rows) {
    for (const bool announced : {false, true}) {
      SCOPED_TRACE(std::to_string(row.contents.value_or("?").size()) + " " +
                   std::to_string(row.size) + (announced ? " announced" : ""));
      if (row.contents) {
        this->backend_.write("Mod/File.dat", *row.contents);
      }
      auto out = opened(this->fs.open_write(this->path("Out.fs")));
      ASSERT_NE(out, nullptr);
      const std::string source = row.contents ? "MOD\\file.DAT" : "Mod";
      if (announced) {  // the file may be read ahead
        this->fs.expect_appends({{this->path(source), row.size}});
      }
      EXPECT_EQ(this->fs.append_file(*out, this->path(source), row.size).end,
                CopyEnd::source_failed);
      EXPECT_TRUE(out->close());
    }
  }
  EXPECT_EQ(this->fs
                .append_file(*opened(this->fs.open_write(this->path("Out.fs"))),
                             this->path("Mod\\None"), 0)
                .end,
            CopyEnd::source_failed);
  auto reading = opened(this->fs.open_read(this->path("Out.fs")));
  EXPECT_EQ(this->fs.append_file(*reading, this->path("Mod\\File.dat"), large.size()).end,
            CopyEnd::target_failed);
}

TYPED_TEST(FileSystemContract, TellsTheSizeOfFilesItMayRead) {
  this->backend_.write("Mod/File.dat", "12345");
  this->backend_.write("Mod/Sub/x", "");
  FileSystem& fs = this->fs;
  // Asked before and right after a listing of the folder, which may answer from what it found.
  for (const bool after_listing : {false, true}) {
    if (after_listing) {
      ASSERT_TRUE(fs.list(this->path("Mod\\*"), ListMode::directories_included));
    }
    EXPECT_EQ(*fs.readable_file_size(this->path("MOD\\file.DAT")), 5u);
    EXPECT_FALSE(fs.readable_file_size(this->path("Mod\\Sub")));
    EXPECT_FALSE(fs.readable_file_size(this->path("Mod\\None")));
  }
  EXPECT_TRUE(fs.replace_file(this->path("Mod\\File.dat"), "1"));
  EXPECT_EQ(*fs.readable_file_size(this->path("Mod\\File.dat")), 1u);
}

// A second lock on the same file, as another run would take it, is refused while the
// first is held.
TYPED_TEST(FileSystemContract, LocksExclusivelyUntilReleased) {
  this->backend_.write("folder/x", "");
  FileSystem& fs = this->fs;
  const std::string path = this->path("run.lock");
  LockAttempt first = fs.lock_exclusive(path, false);
  ASSERT_NE(first.lock, nullptr);
  EXPECT_TRUE(fs.is_file(path));
  const LockAttempt second = fs.lock_exclusive(path, false);
  EXPECT_EQ(second.lock, nullptr);
  EXPECT_TRUE(second.busy);
  first.lock.reset();
  EXPECT_NE(fs.lock_exclusive(path, true).lock, nullptr);
  const LockAttempt folder = fs.lock_exclusive(this->path("folder"), false);
  EXPECT_EQ(folder.lock, nullptr);
  EXPECT_FALSE(folder.busy);
}

TYPED_TEST(FileSystemContract, RefusesPathsOfTheSystemsLimit) {
  const std::string long_path = this->path(std::string(max_path_bytes, 'x'));
  FileSystem& fs = this->fs;
  EXPECT_FALSE(fs.is_file(long_path));
  EXPECT_EQ(opened(fs.open_write(long_path)), nullptr);
  EXPECT_FALSE(fs.make_directory(long_path));
  EXPECT_FALSE(fs.replace_file(long_path, "x"));
  EXPECT_TRUE(fs.list(long_path + "\\*", ListMode::directories_included)->empty());
}

}  // namespace
}  // namespace vexal
