#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

class PosixFileSystemTest : public ::testing::Test {
 protected:
  // The folder in the "\" form the rest of the system composes.
  std::string windows_path(std::string_view relative) const {
    std::string path = dir_.join(relative);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }
  mode_t mode_of(std::string_view relative) const {
    struct stat info {};
    ::stat(dir_.join(relative).c_str(), &info);
    return info.st_mode & 07777;
  }
  std::vector<std::string> listed(const std::string& pattern, ListMode mode) {
    std::vector<std::string> names;
    for (const auto& entry : fs_->list(pattern, mode)) {
      names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir dir_;
  std::unique_ptr<FileSystem> fs_ = make_native_file_system();
};

TEST_F(PosixFileSystemTest, FindsExistingNamesInAnyCaseAndCreatesNewOnesAsSpelled) {
  dir_.write_file("Game/Data/Words.fs", "abc");
  EXPECT_TRUE(fs_->is_file(windows_path("GAME\\DATA\\WORDS.FS")));
  EXPECT_TRUE(fs_->is_directory(windows_path("game/data")));
  EXPECT_FALSE(fs_->is_file(windows_path("game\\data")));
  EXPECT_EQ(read_whole_file(*fs_, windows_path("game\\DATA\\words.FS")), "abc");

  EXPECT_TRUE(fs_->make_directory(windows_path("GAME\\Backup")));
  EXPECT_FALSE(fs_->make_directory(windows_path("game\\BACKUP")));
  EXPECT_TRUE(fs_->move(windows_path("GAME\\DATA\\WORDS.FS"), windows_path("game\\backup\\W.fs")));
  EXPECT_EQ(dir_.read_file("Game/Backup/W.fs"), "abc");
  EXPECT_TRUE(fs_->remove(windows_path("GAME\\BACKUP\\w.FS")));
  EXPECT_FALSE(fs_->is_file(windows_path("Game\\Backup\\W.fs")));
  EXPECT_FALSE(fs_->remove(windows_path("Game\\Backup")));

  auto created = fs_->open_write(windows_path("GAME\\NewFile.TXT"));
  ASSERT_NE(created, nullptr);
  EXPECT_TRUE(created->close());
  EXPECT_TRUE(fs_->replace_file(windows_path("game\\Other.ini"), "x"));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.path() / "Game/NewFile.TXT"));
  EXPECT_EQ(dir_.read_file("Game/Other.ini"), "x");
}

TEST_F(PosixFileSystemTest, WritesReadsAndSeeks) {
  auto out = fs_->open_write(windows_path("Out.bin"));
  ASSERT_NE(out, nullptr);
  const std::string_view text = "0123456789";
  EXPECT_TRUE(out->write(std::as_bytes(std::span(text))));
  EXPECT_EQ(out->size(), 10u);
  EXPECT_TRUE(out->close());
  auto in = fs_->open_read(windows_path("OUT.BIN"));
  ASSERT_NE(in, nullptr);
  ASSERT_TRUE(in->seek(7));
  std::array<std::byte, 8> buffer{};
  EXPECT_EQ(in->read(buffer), 3u);
  EXPECT_EQ(static_cast<char>(buffer[0]), '7');
  EXPECT_EQ(fs_->open_read(windows_path("")), nullptr);  // a folder is not a file
  EXPECT_EQ(fs_->open_write(windows_path("missing\\x")), nullptr);
}

TEST_F(PosixFileSystemTest, MoveRefusesAnExistingDestinationButMayChangeCase) {
  dir_.write_file("a", "1");
  dir_.write_file("b", "2");
  EXPECT_FALSE(fs_->move(windows_path("a"), windows_path("B")));
  EXPECT_EQ(dir_.read_file("b"), "2");
  EXPECT_TRUE(fs_->move(windows_path("a"), windows_path("A")));
  EXPECT_EQ(dir_.read_file("A"), "1");
  EXPECT_FALSE(fs_->move(windows_path("nothing"), windows_path("c")));
}

TEST_F(PosixFileSystemTest, FailedCallsTellTheSystemsReason) {
  dir_.write_file("a", "1");
  dir_.write_file("b", "2");
  const struct {
    std::function<bool()> call;
    int error;
  } cases[] = {
      {[&] { return fs_->open_read(windows_path("missing")) != nullptr; }, ENOENT},
      {[&] { return fs_->map_read(windows_path("")) != nullptr; }, EISDIR},
      {[&] { return fs_->open_write(windows_path("missing\\x")) != nullptr; }, ENOENT},
      {[&] { return fs_->move(windows_path("a"), windows_path("b")); }, EEXIST},
      {[&] { return fs_->make_directory(windows_path("A")); }, EEXIST},
      {[&] { return fs_->remove(windows_path("missing")); }, ENOENT},
  };
  for (const auto& row : cases) {
    EXPECT_FALSE(row.call());
    EXPECT_EQ(fs_->failure_reason(), std::strerror(row.error));
  }
}

TEST_F(PosixFileSystemTest, MoveToAnotherFileSystemCopiesAndDeletes) {
  struct stat shm {
  }, tmp{};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(dir_.str().c_str(), &tmp) != 0 ||
      shm.st_dev == tmp.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  test::TempDir other("/dev/shm");
  other.write_file("archive.fs", "bytes");
  ::chmod(other.join("archive.fs").c_str(), 0604);
  EXPECT_TRUE(fs_->move(other.join("ARCHIVE.FS"), windows_path("Moved.fs")));
  EXPECT_EQ(dir_.read_file("Moved.fs"), "bytes");
  EXPECT_EQ(mode_of("Moved.fs"), 0604u);
  EXPECT_FALSE(fs_->is_file(other.join("archive.fs")));

  other.write_file("again.fs", "1");
  EXPECT_FALSE(fs_->move(other.join("again.fs"), windows_path("MOVED.FS")));
  EXPECT_EQ(other.read_file("again.fs"), "1");
}

TEST_F(PosixFileSystemTest, ListingFollowsTheWindowsRules) {
  dir_.write_file("m/A.PCX", "1");
  dir_.write_file("m/b.dat", "12");
  dir_.write_file("m/.hidden", "");
  dir_.write_file("m/tank/a01", "");
  dir_.write_file("m/tank/a012", "");
  dir_.write_file("m/tank/B2", "");
  EXPECT_EQ(listed(windows_path("M\\*.*"), ListMode::files_only),
            (std::vector<std::string>{"A.PCX", "b.dat"}));
  EXPECT_EQ(listed(windows_path("m\\*"), ListMode::directories_included),
            (std::vector<std::string>{"A.PCX", "b.dat", "tank"}));
  EXPECT_EQ(listed(windows_path("m\\TANK\\???"), ListMode::files_only),
            (std::vector<std::string>{"B2", "a01"}));
  EXPECT_EQ(listed(windows_path("m\\*.PCX"), ListMode::files_only),
            std::vector<std::string>{"A.PCX"});
  const auto entries = fs_->list(windows_path("m\\b.dat"), ListMode::files_only);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, 2u);
  EXPECT_TRUE(fs_->list(windows_path("none\\*"), ListMode::files_only).empty());
}

TEST_F(PosixFileSystemTest, PathsOfTheSystemLimitAreRefused) {
  const std::string long_path = windows_path(std::string(4096, 'x'));
  EXPECT_FALSE(fs_->is_file(long_path));
  EXPECT_EQ(fs_->open_write(long_path), nullptr);
  EXPECT_FALSE(fs_->make_directory(long_path));
  EXPECT_FALSE(fs_->replace_file(long_path, "x"));
  EXPECT_TRUE(fs_->list(long_path + "\\*", ListMode::directories_included).empty());
}

TEST_F(PosixFileSystemTest, ReplaceFileKeepsPermissionsAndRefusesReadOnlyFiles) {
  dir_.write_file("config.ini", "old");
  ::chmod(dir_.join("config.ini").c_str(), 0640);
  EXPECT_TRUE(fs_->replace_file(windows_path("CONFIG.INI"), "new"));
  EXPECT_EQ(dir_.read_file("config.ini"), "new");
  EXPECT_EQ(mode_of("config.ini"), 0640u);

  ::chmod(dir_.join("config.ini").c_str(), 0444);
  EXPECT_FALSE(fs_->replace_file(windows_path("config.ini"), "newer"));
  EXPECT_EQ(fs_->open_write(windows_path("config.ini")), nullptr);
  EXPECT_EQ(dir_.read_file("config.ini"), "new");
  // No temporary file is left behind.
  EXPECT_EQ(listed(windows_path(".*"), ListMode::files_only), std::vector<std::string>{});
  EXPECT_TRUE(fs_->list(windows_path("*"), ListMode::files_only).size() == 1);
}

TEST_F(PosixFileSystemTest, CurrentDirectoryHasNoTrailingSeparator) {
  const std::string cwd = fs_->current_directory();
  ASSERT_FALSE(cwd.empty());
  EXPECT_TRUE(cwd == "/" || cwd.back() != '/');
}

std::string pattern_bytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  }
  return bytes;
}

std::string text_of(std::span<const std::byte> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

TEST_F(PosixFileSystemTest, MapsWholeFilesInAnyCaseAndRefusesWhatIsNoFile) {
  const std::string contents = pattern_bytes(100'000);
  dir_.write_file("Game/Data/Big.fs", contents);
  dir_.write_file("Game/Data/Empty.fs", "");
  const auto mapped = fs_->map_read(windows_path("game\\DATA\\big.FS"));
  ASSERT_NE(mapped, nullptr);
  EXPECT_TRUE(text_of(mapped->bytes()) == contents);
  const auto empty = fs_->map_read(windows_path("Game\\Data\\EMPTY.fs"));
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->bytes().empty());
  EXPECT_EQ(fs_->map_read(windows_path("Game\\Data\\Missing.fs")), nullptr);
  EXPECT_EQ(fs_->map_read(windows_path("Game\\Data")), nullptr);
}

TEST_F(PosixFileSystemTest, CopiesRangesOfMappedFilesInOrderWithBufferedWrites) {
  const std::string contents = pattern_bytes(200'000);
  dir_.write_file("Source.fs", contents);
  const auto mapped = fs_->map_read(windows_path("Source.fs"));
  ASSERT_NE(mapped, nullptr);
  const std::span<const std::byte> bytes = mapped->bytes();
  const std::string head = "head";
  auto out = fs_->open_write(windows_path("Out.fs"));
  ASSERT_NE(out, nullptr);
  // Small pieces wait in the stream's buffer; large ones are copied by the kernel and
  // must land after them.
  EXPECT_TRUE(out->write(std::as_bytes(std::span(head))));
  EXPECT_TRUE(out->write_from(*mapped, bytes.subspan(1'000, 40'000)));
  EXPECT_TRUE(out->write_from(*mapped, bytes.subspan(5, 10)));
  EXPECT_TRUE(out->write_from(*mapped, bytes.subspan(100'000)));
  EXPECT_TRUE(out->close());
  EXPECT_TRUE(dir_.read_file("Out.fs") == head + contents.substr(1'000, 40'000) +
                                              contents.substr(5, 10) + contents.substr(100'000));
}

TEST_F(PosixFileSystemTest, WritingOverAMappedFileKeepsTheMappedBytes) {
  const std::string contents = pattern_bytes(100'000);
  dir_.write_file("Data/Game.fs", contents);
  const auto mapped = fs_->map_read(windows_path("Data\\Game.fs"));
  ASSERT_NE(mapped, nullptr);
  // An output written over its own source: truncating the mapped file would take the
  // bytes being copied away from under the mapping.
  auto out = fs_->open_write(windows_path("DATA\\GAME.FS"));
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out->write_from(*mapped, mapped->bytes().subspan(50'000)));
  EXPECT_TRUE(out->close());
  // Compared as flags: a failure would otherwise print 100 KB of text.
  EXPECT_TRUE(dir_.read_file("Data/Game.fs") == contents.substr(50'000));
  EXPECT_TRUE(text_of(mapped->bytes()) == contents);
}

TEST_F(PosixFileSystemTest, AppendsWholeFilesThatStillHoldTheirSize) {
  const std::string large = pattern_bytes(2'200'000);  // more than two blocks of the copy
  dir_.write_file("Mod/Small.dat", "small");
  dir_.write_file("Mod/Large.dat", large);
  auto out = fs_->open_write(windows_path("Out.fs"));
  ASSERT_NE(out, nullptr);
  const std::string head = "head";
  EXPECT_TRUE(out->write(std::as_bytes(std::span(head))));
  EXPECT_EQ(fs_->append_file(*out, windows_path("MOD\\small.DAT"), 5), CopyResult::copied);
  EXPECT_EQ(fs_->append_file(*out, windows_path("Mod\\Large.dat"), large.size()),
            CopyResult::copied);
  EXPECT_EQ(fs_->append_file(*out, windows_path("Mod\\Small.dat"), 5), CopyResult::copied);
  EXPECT_TRUE(out->close());
  EXPECT_TRUE(dir_.read_file("Out.fs") == head + "small" + large + "small");

  const std::vector<std::pair<std::string, std::uint64_t>> refused = {
      {"Mod\\Small.dat", 4},
      {"Mod\\Small.dat", 6},
      {"Mod\\Large.dat", large.size() - 1},
      {"Mod\\Large.dat", large.size() + 1},
      {"Mod", 0},
      {"Mod\\None", 0}};
  auto scratch = fs_->open_write(windows_path("Scratch.fs"));
  ASSERT_NE(scratch, nullptr);
  for (const auto& [path, size] : refused) {
    EXPECT_EQ(fs_->append_file(*scratch, windows_path(path), size), CopyResult::source_failed)
        << path << " " << size;
  }
}

TEST_F(PosixFileSystemTest, TellsTheSizeOfFilesItMayRead) {
  dir_.write_file("Mod/File.dat", "12345");
  dir_.write_file("Mod/Sub/x", "");
  // Asked before and right after a listing of the folder, which answers from what it found.
  for (const bool listed : {false, true}) {
    if (listed) {
      fs_->list(windows_path("Mod\\*"), ListMode::directories_included);
    }
    EXPECT_EQ(fs_->readable_file_size(windows_path("Mod\\File.dat")), 5u) << listed;
    EXPECT_EQ(fs_->readable_file_size(windows_path("MOD\\file.DAT")), 5u) << listed;
    EXPECT_EQ(fs_->readable_file_size(windows_path("Mod\\Sub")), std::nullopt) << listed;
    EXPECT_EQ(fs_->readable_file_size(windows_path("Mod\\None")), std::nullopt) << listed;
  }
  // Written after the listing: the file as it is now.
  EXPECT_TRUE(fs_->replace_file(windows_path("Mod\\File.dat"), "1"));
  EXPECT_EQ(fs_->readable_file_size(windows_path("Mod\\File.dat")), 1u);
  // Without read permission only root may read it.
  ::chmod(dir_.join("Mod/File.dat").c_str(), 0);
  EXPECT_EQ(fs_->readable_file_size(windows_path("Mod\\File.dat")),
            ::geteuid() == 0 ? std::optional<std::uint64_t>(1) : std::nullopt);
}

}  // namespace
}  // namespace vexal
