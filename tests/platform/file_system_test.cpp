// What every FileSystem must do. One property drives the native backend of the platform
// and the fake that the other tests use in its place with the same random operations, so
// that the fake cannot drift from it; a few checks cover what a random walk cannot reach.
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "support/fake_file_system.h"
#include "support/seeded.h"
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
  // Every file below the root that the relative path names, in any letter case.
  void make_read_only(const std::string& relative) {
    for (const auto& entry : stdfs::recursive_directory_iterator(dir_.path())) {
      std::string name = stdfs::relative(entry.path(), dir_.path()).string();
      std::replace(name.begin(), name.end(), '/', '\\');
      if (entry.is_regular_file() && upper_case(name) == upper_case(relative)) {
        stdfs::permissions(
            entry.path(),
            stdfs::perms::owner_write | stdfs::perms::group_write | stdfs::perms::others_write,
            stdfs::perm_options::remove);
      }
    }
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
  // How many hidden files an operation left anywhere below the folder.
  std::size_t hidden_left() const {
    return static_cast<std::size_t>(std::count_if(
        stdfs::recursive_directory_iterator(dir_.path()), {},
        [](const auto& entry) { return entry.path().filename().string().starts_with("."); }));
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
  void make_read_only(const std::string& relative) {
    fake_.set_read_only(root() + "\\" + relative);
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

// Bytes as a test prints them: long ones by their size and a checksum.
std::string summary(const std::string& bytes) {
  if (bytes.size() <= 16) {
    return "<" + bytes + ">";
  }
  return std::to_string(bytes.size()) + " bytes #" +
         std::to_string(std::hash<std::string>{}(bytes));
}

std::string ok(const IoResult& result) {
  return result ? "ok" : "failed";
}

// The entries of a folder as the backend lists them, sorted, "\" after a folder.
std::string listing(FileSystem& fs, const std::string& pattern, ListMode mode) {
  const auto entries = fs.list(pattern, mode);
  if (!entries) {
    return "failed";
  }
  Names names;
  for (const DirEntry& entry : *entries) {
    names.push_back(entry.name + (entry.is_directory ? "\\" : " " + std::to_string(entry.size)));
  }
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) {
    text += name + ", ";
  }
  return text;
}

// Everything below the folder: names as spelled, kinds and the bytes of every file.
std::string tree(FileSystem& fs, const std::string& folder) {
  std::string text;
  auto entries =
      fs.list(folder + "\\*", ListMode::directories_included).value_or(std::vector<DirEntry>{});
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  for (const DirEntry& entry : entries) {
    const std::string path = folder + "\\" + entry.name;
    text += entry.is_directory
                ? entry.name + "\\{" + tree(fs, path) + "} "
                : entry.name + "=" + summary(read_whole_file(fs, path).value_or("?")) + " ";
  }
  return text;
}

// The file opened, or null.
std::unique_ptr<File> opened(OpenedFile file) {
  return file ? std::move(*file) : nullptr;
}
std::shared_ptr<const MappedBytes> mapped_or_null(
    IoExpected<std::shared_ptr<const MappedBytes>> m) {
  return m ? std::move(*m) : nullptr;
}

// One operation of the random walk, drawn once and applied to both backends.
struct Step {
  unsigned kind = 0;
  std::string path, other;  // relative to the backend's root
  std::string bytes;
  int size_error = 0;  // added to the source's size when appending
  std::uint64_t offset = 0;
};

// Names that meet every rule: the same file in another case, a file where a folder is
// expected, a missing parent, one name past the system's limit.
const Names kNames = {"a",       "A",       "b.fs", "e",
                      "d",       "D\\a",    "d\\B", "d\\d",
                      "D\\d\\x", "none\\a", "a\\x", std::string(max_path_bytes, 'x')};
const Names kPatterns = {"*", "*.fs", "?", "x*"};
constexpr unsigned kKinds = 13;

Step draw(std::mt19937& random) {
  Step step;
  step.kind = static_cast<unsigned>(test::pick(random, kKinds));
  step.path = kNames[test::pick(random, kNames.size())];
  step.other = kNames[test::pick(random, kNames.size())];
  step.bytes = test::pick(random, 30) == 0
                   ? pattern_bytes((std::size_t{1} << 20) + test::pick(random, 3) - 1)
                   : test::random_text(random, "ab\r\n", 0, 6);
  step.size_error = static_cast<int>(test::pick(random, 4)) - 1;
  step.offset = test::pick(random, 8);
  return step;
}

// Mapped files and the bytes they held when mapped, kept while later steps write over,
// move or remove them.
using Mappings = std::vector<std::pair<std::shared_ptr<const MappedBytes>, std::string>>;

// What a backend tells of a file: whether it is one, a folder, its size and its bytes.
std::string probe(FileSystem& fs, const std::string& path, Mappings& mappings) {
  const IoExpected<FileInfo> info = fs.stat(path);
  const IoExpected<std::uint64_t> readable = fs.readable_file_size(path);
  const auto mapped = fs.map_read(path);
  if (mapped) {
    mappings.emplace_back(*mapped, text_of((*mapped)->bytes()));
  }
#ifdef _WIN32  // Windows syncs files only
  const bool syncable = fs.is_file(path);
#else
  const bool syncable = true;
#endif
  return std::to_string(fs.is_file(path)) + std::to_string(fs.is_directory(path)) +
         (info ? " kind " + std::to_string(static_cast<int>(info->kind)) + " size " +
                     std::to_string(info->kind == FileInfo::Kind::file ? info->size : 0)
               : " no stat") +
         (readable ? " readable " + std::to_string(*readable) : " unreadable") + " sync " +
         (syncable ? ok(fs.sync_file(path)) : "-") +
         (mapped ? " map " + summary(text_of((*mapped)->bytes())) : "");
}

// Opens, seeks and reads a few bytes.
std::string read_some(FileSystem& fs, const std::string& path, std::uint64_t offset) {
  OpenedFile in = fs.open_read(path);
  if (!in) {
    return "unopened";
  }
  std::array<std::byte, 4> buffer{};
  const IoExpected<std::uint64_t> size = (*in)->size();
  const IoResult sought = (*in)->seek(offset);
  const IoExpected<std::size_t> count = (*in)->read(buffer);
  return std::to_string(size.value_or(999)) + ok(sought) +
         (count ? summary(text_of(std::span(buffer).first(*count))) : "unread") +
         ok((*in)->close());
}

// Writes bytes, or appends the other file given its size put off by size_error.
std::string write(FileSystem& fs, const std::string& path, const Step& step,
                  const std::string& other) {
  OpenedFile out = fs.open_write(path);
  if (!out) {
    return "unopened";
  }
  std::string text;
  if (step.kind == 0) {  // the size as written so far, no "\r" added
    text = ok((*out)->write(std::as_bytes(std::span(step.bytes)))) + " size " +
           std::to_string((*out)->size().value_or(999));
  } else {
    const std::uint64_t size = fs.stat(other).value_or(FileInfo{}).size + step.size_error;
    if (step.offset % 2 == 0) {  // announced, the file may be read ahead
      fs.expect_appends({{other, size}});
    }
    text = std::to_string(static_cast<int>(fs.append_file(**out, other, size).end));
  }
  return text + " " + ok((*out)->close());
}

template <typename Backend>
std::string apply(Backend& backend, const Step& step, Mappings& mappings) {
  FileSystem& fs = backend.fs();
  const std::string path = backend.root() + "\\" + step.path;
  const std::string other = backend.root() + "\\" + step.other;
  switch (step.kind) {
    case 0:
    case 1:
      return write(fs, path, step, other);
    case 2:
      return ok(fs.replace_file(path, step.bytes));
    case 3:
      return read_some(fs, path, step.offset);
    case 4:
      return probe(fs, path, mappings);
    case 5:
      return listing(fs, path.substr(0, path.rfind('\\') + 1) + kPatterns[step.offset % 4],
                     step.offset < 4 ? ListMode::files_only : ListMode::directories_included);
    case 6:  // only files move: the tool never moves a folder
      return fs.is_directory(path) ? "folder" : ok(fs.move(path, other));
    case 7:
      return ok(fs.remove(path));
    case 8:
      return ok(fs.make_directory(path));
    case 9:
      backend.make_read_only(step.path);
      return {};
    default: {  // a second lock, as another run would take it, waits for the first
      LockAttempt first = fs.lock_exclusive(path, false);
      const LockAttempt second = fs.lock_exclusive(path, false);
      const bool held = first.lock != nullptr;
      first.lock.reset();
      const bool again = fs.lock_exclusive(path, true).lock != nullptr;
      return std::to_string(held) + std::to_string(first.busy) +
             std::to_string(second.lock != nullptr) + std::to_string(second.busy) +
             std::to_string(again);
    }
  }
}

// Random walks over a handful of names give the same results on both backends and
// leave the same tree: names as spelled, kinds, bytes, and nothing hidden left over. A
// mapped file keeps its bytes whatever happens to its name.
TEST(FileSystemDifferentialTest, NativeAndFakeAgreeOnEveryOperation) {
  test::for_each_seed(4100, 40, [](std::mt19937& random, unsigned) {
    NativeBackend native;
    FakeBackend fake;
    Mappings native_mappings, fake_mappings;
    std::set<std::string> probed;  // names that may be mapped
    for (int i = 0; i < 60; ++i) {
      const Step step = draw(random);
      // Appending a file to itself truncates it first on one backend, at the close on the other.
      if (step.kind == 1 && upper_case(step.path) == upper_case(step.other)) {
        continue;
      }
#ifdef _WIN32
      // Wine keeps the old spelling when a move changes only the letter case; Windows
      // removes no read-only file, where POSIX (and the fake) let its owner; and replaces
      // no mapped file, which the tool never does.
      if (step.kind == 4) {
        probed.insert(upper_case(step.path));
      }
      if ((step.kind == 6 && upper_case(step.path) == upper_case(step.other)) || step.kind == 9 ||
          (step.kind == 2 && probed.contains(upper_case(step.path)))) {
        continue;
      }
#endif
      ASSERT_EQ(apply(native, step, native_mappings), apply(fake, step, fake_mappings))
          << "step " << i << ": " << step.kind << " " << step.path << " " << step.other << " "
          << summary(step.bytes) << " " << step.size_error << " " << step.offset;
    }
    EXPECT_EQ(tree(native.fs(), native.root()), tree(fake.fs(), fake.root()));
    for (const auto& [mapped, bytes] : native_mappings) {
      EXPECT_TRUE(text_of(mapped->bytes()) == bytes);  // as a flag: it may be a megabyte
    }
    native_mappings.clear();  // the last mapping of a file takes what is left of it
    EXPECT_EQ(native.hidden_left(), 0u);
  });
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

  Backend backend_;
  FileSystem& fs = backend_.fs();
};

using Backends = ::testing::Types<NativeBackend, FakeBackend>;
TYPED_TEST_SUITE(FileSystemContract, Backends);

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

}  // namespace
}  // namespace vexal
