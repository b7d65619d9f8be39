// What every FileSystem must do. One property drives the native backend of the platform
// and the fake that the other tests use in its place with the same random operations, so
// that the fake cannot drift from it; a few checks cover what a random walk cannot reach.
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "support/fake_file_system.h"
#include "support/seeded.h"
#include "support/temp_dir.h"
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>

#include "support/small_volume.h"
#endif

namespace vexal {
namespace {

namespace stdfs = std::filesystem;
using Names = std::vector<std::string>;

// What the second volume holds where the test may mount one.
constexpr std::uint64_t kOtherVolumeBytes = std::uint64_t{64} * 1024;

// The test's folder and a second one, on another volume where there is one.
class NativeBackend {
 public:
  NativeBackend() {
    const std::optional<stdfs::path> volume = other_volume();
    separate_volume = volume.has_value();
    other_.emplace(volume.value_or(stdfs::temp_directory_path()));
  }
  FileSystem& fs() { return *fs_; }
  std::string root() const { return dir_.str(); }
  std::string other() const { return other_->str(); }
  void write(std::string_view relative, std::string_view bytes) {
    dir_.write_file(relative, bytes);
  }
  // Every file of the backend that the path names, in any letter case.
  void make_read_only(const std::string& path) {
    for_each_entry([&](const stdfs::path& entry, const std::string& name) {
      if (stdfs::is_regular_file(entry) && upper_case(name) == upper_case(path)) {
        stdfs::permissions(
            entry,
            stdfs::perms::owner_write | stdfs::perms::group_write | stdfs::perms::others_write,
            stdfs::perm_options::remove);
      }
    });
  }
  // How many hidden files the operations left.
  std::size_t hidden_left() const {
    std::size_t count = 0;
    for_each_entry([&](const stdfs::path& entry, const std::string&) {
      count += entry.filename().string().starts_with(".") ? 1 : 0;
    });
    return count;
  }

  bool separate_volume = false;
  std::uint64_t capacity = 0;  // of the other volume, 0 for none

 private:
  // Calls visit with each entry below both folders and its path in the "\" form.
  template <typename Visit>
  void for_each_entry(Visit visit) const {
    for (const test::TempDir* dir : {&dir_, &*other_}) {
      for (const auto& entry : stdfs::recursive_directory_iterator(dir->path())) {
        std::string name = dir->str() + "\\" + stdfs::relative(entry.path(), dir->path()).string();
        std::replace(name.begin() + static_cast<std::ptrdiff_t>(dir->str().size()), name.end(), '/',
                     '\\');
        visit(entry.path(), name);
      }
    }
  }

  // A small volume mounted for the test, or Wine's Z:\\dev\\shm.
  std::optional<stdfs::path> other_volume() {
#ifdef _WIN32
    return stdfs::is_directory("Z:\\dev\\shm") ? std::optional<stdfs::path>("Z:\\dev\\shm")
                                               : std::nullopt;
#else
    capacity = volume_.mounted() ? kOtherVolumeBytes : 0;
    return volume_.mounted() ? std::optional(volume_.dir().path()) : std::nullopt;
#endif
  }

  test::TempDir dir_;
#ifndef _WIN32
  test::SmallVolume volume_{kOtherVolumeBytes};
#endif
  std::optional<test::TempDir> other_;
  std::unique_ptr<FileSystem> fs_ = make_native_file_system();
};

// The fake, its second folder on another drive where the native one is on another volume.
class FakeBackend {
 public:
  explicit FakeBackend(const NativeBackend& native)
      : other_(native.separate_volume ? "D:\\other" : "C:\\other") {
    fake_.add_directory(other_);
    if (native.capacity != 0) {
      fake_.set_capacity("D:", native.capacity);
    }
  }
  FileSystem& fs() { return fake_; }
  std::string root() const { return "C:\\root"; }
  std::string other() const { return other_; }
  void write(std::string_view relative, std::string_view bytes) {
    fake_.add_file(root() + "\\" + std::string(relative), std::string(bytes));
  }
  void make_read_only(const std::string& path) { fake_.set_read_only(path); }

 private:
  test::FakeFileSystem fake_{root()};
  std::string other_;
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

// The entries of a folder as the backend lists them, sorted by name.
std::optional<std::vector<DirEntry>> sorted_list(FileSystem& fs, const std::string& pattern,
                                                 ListMode mode) {
  auto entries = fs.list(pattern, mode);
  if (!entries) {
    return std::nullopt;
  }
  std::sort(entries->begin(), entries->end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return std::move(*entries);
}

// The names of a listing, "\" after a folder and the size after a file.
std::string listing(FileSystem& fs, const std::string& pattern, ListMode mode) {
  const auto entries = sorted_list(fs, pattern, mode);
  std::string text = entries ? "" : "failed";
  for (const DirEntry& entry : entries.value_or(std::vector<DirEntry>{})) {
    text += entry.name + (entry.is_directory ? "\\" : " " + std::to_string(entry.size)) + ", ";
  }
  return text;
}

// Everything below the folder: names as spelled, kinds and the bytes of every file.
std::string tree(FileSystem& fs, const std::string& folder) {
  std::string text;
  for (const DirEntry& entry : sorted_list(fs, folder + "\\*", ListMode::directories_included)
                                   .value_or(std::vector<DirEntry>{})) {
    const std::string path = folder + "\\" + entry.name;
    text += entry.is_directory
                ? entry.name + "\\{" + tree(fs, path) + "} "
                : entry.name + "=" + summary(read_whole_file(fs, path).value_or("?")) + " ";
  }
  return text;
}

// How many files the process holds open: a backend leaks none. (Under Wine /proc tells
// of Wine's own descriptors, which come and go.)
std::size_t open_descriptors() {
#ifdef _WIN32
  return 0;
#else
  std::error_code error;  // no /proc: nothing to compare
  const stdfs::directory_iterator fds("/proc/self/fd", error);
  return static_cast<std::size_t>(std::distance(fds, stdfs::directory_iterator()));
#endif
}

// One operation of the random walk, drawn once and applied to both backends.
struct Step {
  unsigned kind = 0;
  std::string path, other;  // relative to the backend's root, "@" to its other folder
  std::string bytes;
  int size_error = 0;        // added to the source's size when appending
  std::uint64_t offset = 0;  // where to seek, which pattern, mapping and run
};

// Names that meet every rule: the same file in another case, a file where a folder is
// expected, a missing parent, one name past the system's limit, another volume.
const Names kNames = {
    "a",    "A",       "b.fs",    "e",    "d",     "D\\a", "d\\B",
    "d\\d", "D\\d\\x", "none\\a", "a\\x", "@B.FS", "@a",   std::string(max_path_bytes, 'x')};
const Names kPatterns = {"*", "*.fs", "?", "x*"};
constexpr unsigned kKinds = 12;

Step draw(std::mt19937& random) {
  Step step;
  step.kind = static_cast<unsigned>(test::pick(random, kKinds));
  step.path = kNames[test::pick(random, kNames.size())];
  step.other = kNames[test::pick(random, kNames.size())];
  step.bytes = test::pick(random, 10) == 0
                   ? pattern_bytes((std::size_t{1} << 20) + test::pick(random, 3) - 1)
                   : test::random_text(random, "ab\r\n", 0, 6);
  step.size_error = static_cast<int>(test::pick(random, 4)) - 1;
  step.offset = test::pick(random, 1000);
  if (step.kind == 1 && step.offset % 3 == 0) {  // appends a file of a megabyte and more
    step.other = "b.fs";
  }
  return step;
}

// Mapped files and the bytes they held when mapped, kept while later steps write over,
// move or remove them.
using Mappings = std::vector<std::pair<std::shared_ptr<const MappedBytes>, std::string>>;

// What a backend tells of a file: whether it is one, a folder, its size, its bytes as
// mapped and as read from an offset.
std::string probe(FileSystem& fs, const std::string& path, std::uint64_t offset,
                  Mappings& mappings) {
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
  std::string text = std::to_string(fs.is_file(path)) + std::to_string(fs.is_directory(path)) +
                     (info ? " kind " + std::to_string(static_cast<int>(info->kind)) + " size " +
                                 std::to_string(info->kind == FileInfo::Kind::file ? info->size : 0)
                           : " no stat") +
                     (readable ? " readable " + std::to_string(*readable) : " unreadable") +
                     " sync " + (syncable ? ok(fs.sync_file(path)) : "-") +
                     (mapped ? " map " + summary(text_of((*mapped)->bytes())) : "");
  OpenedFile in = fs.open_read(path);
  if (!in) {
    return text + " unopened";
  }
  std::array<std::byte, 4> buffer{};
  const IoExpected<std::uint64_t> size = (*in)->size();
  const IoResult sought = (*in)->seek(offset);
  const IoExpected<std::size_t> count = (*in)->read(buffer);
  return text + std::to_string(size.value_or(999)) + ok(sought) +
         (count ? summary(text_of(std::span(buffer).first(*count))) : "unread") +
         ok((*in)->close());
}

// Writes bytes, a run of a mapped file, or appends the other file given its size put off
// by size_error. What a failed write leaves (a full volume takes part of it) is removed,
// as the tool does.
std::string write(FileSystem& fs, const std::string& path, const Step& step,
                  const std::string& other, const Mappings& mappings) {
  OpenedFile out = fs.open_write(path);
  if (!out) {
    return "unopened";
  }
  bool written = true;
  std::string text;
  if (step.kind == 0 && step.size_error == 0 && !mappings.empty()) {
    const MappedBytes& source = *mappings[step.offset % mappings.size()].first;
    const std::size_t size = source.bytes().size();
    written =
        (*out)->write_from(source, source.bytes().subspan(step.offset * 4099 % (size + 1))).ok();
    text = "run " + std::to_string(written);
  } else if (step.kind == 0) {  // the size as written so far, no "\r" added
    written = (*out)->write(std::as_bytes(std::span(step.bytes))).ok();
    text = written ? "size " + std::to_string((*out)->size().value_or(999)) : "unwritten";
  } else {
    const std::uint64_t size = fs.stat(other).value_or(FileInfo{}).size + step.size_error;
    if (step.offset % 2 == 0) {  // announced, the file may be read ahead
      fs.expect_appends({{other, size}});
    }
    const CopyEnd end = fs.append_file(**out, other, size).end;
    written = end == CopyEnd::copied;
    text = std::to_string(static_cast<int>(end));
  }
  text += " " + ok((*out)->close());
  return written ? text : text + ok(fs.remove(path));
}

template <typename Backend>
std::string full_path(const Backend& backend, const std::string& name) {
  return name.starts_with("@") ? backend.other() + "\\" + name.substr(1)
                               : backend.root() + "\\" + name;
}

// A move keeps the file's last write time, and its identity within a volume.
std::string move(FileSystem& fs, const std::string& path, const std::string& to) {
  const IoExpected<FileInfo> before = fs.stat(path);
  const IoResult moved = fs.move(path, to);
  const IoExpected<FileInfo> after = fs.stat(to);
  if (!moved || !before || !after) {
    return ok(moved);
  }
  return std::to_string(after->modified == before->modified) +
         std::to_string(after->identity == before->identity);
}

template <typename Backend>
std::string apply(Backend& backend, const Step& step, Mappings& mappings) {
  FileSystem& fs = backend.fs();
  const std::string path = full_path(backend, step.path);
  const std::string other = full_path(backend, step.other);
  switch (step.kind) {
    case 0:
    case 1:
      return write(fs, path, step, other, mappings);
    case 2:
      return ok(fs.replace_file(path, step.bytes));
    case 3:
      return probe(fs, path, step.offset % 8, mappings);
    case 4:
      return ok(fs.remove(path));
    case 5:
      return listing(fs, path.substr(0, path.rfind('\\') + 1) + kPatterns[step.offset % 4],
                     step.offset % 8 < 4 ? ListMode::files_only : ListMode::directories_included);
    case 6:  // only files move: the tool never moves a folder
      return fs.is_directory(path) ? "folder" : move(fs, path, other);
    case 7:
      return ok(fs.make_directory(path));
    case 8:
      backend.make_read_only(path);
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

// Every walk starts from a large file, mapped, whose runs the writes may take.
template <typename Backend>
void start(Backend& backend, Mappings& mappings) {
  const std::string bytes = pattern_bytes(1'100'000);
  backend.write("b.fs", bytes);
  const auto mapped = backend.fs().map_read(backend.root() + "\\B.FS");
  ASSERT_TRUE(mapped);
  mappings.emplace_back(*mapped, bytes);
}

// Random walks over a handful of names give the same results on both backends and
// leave the same tree: names as spelled, kinds, bytes, and nothing hidden left over. A
// mapped file keeps its bytes whatever happens to its name.
void walk(std::mt19937& random) {
  NativeBackend native;
  FakeBackend fake(native);
  Mappings native_mappings, fake_mappings;
  start(native, native_mappings);
  start(fake, fake_mappings);
  std::set<std::string> probed = {"B.FS"};  // names that may be mapped
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
    if (step.kind == 3) {
      probed.insert(upper_case(step.path));
    }
    if ((step.kind == 6 && upper_case(step.path) == upper_case(step.other)) || step.kind == 8 ||
        (step.kind == 2 && probed.contains(upper_case(step.path)))) {
      continue;
    }
#endif
    ASSERT_EQ(apply(native, step, native_mappings), apply(fake, step, fake_mappings))
        << "step " << i << ": " << step.kind << " " << step.path << " " << step.other << " "
        << summary(step.bytes) << " " << step.size_error << " " << step.offset;
  }
  EXPECT_EQ(tree(native.fs(), native.root()), tree(fake.fs(), fake.root()));
  EXPECT_EQ(tree(native.fs(), native.other()), tree(fake.fs(), fake.other()));
  for (const auto& [mapped, bytes] : native_mappings) {
    EXPECT_TRUE(text_of(mapped->bytes()) == bytes);  // as a flag: it may be a megabyte
  }
  native_mappings.clear();  // the last mapping of a file takes what is left of it
  EXPECT_EQ(native.hidden_left(), 0u);
}

TEST(FileSystemDifferentialTest, NativeAndFakeAgreeOnEveryOperation) {
  test::for_each_seed(4100, 40, [](std::mt19937& random, unsigned) {
    const std::size_t descriptors = open_descriptors();
    walk(random);
    EXPECT_EQ(open_descriptors(), descriptors);
  });
}

#ifndef _WIN32
// Names that differ only in letter case, as POSIX allows, each name their own file; a file
// closed to reading has a readable size only for root, who may read it all the same; a
// lock file left on a volume that has since become read-only still locks. A file missing,
// or written on that volume, fails for the system's reason.
TEST(FileSystemTest, PosixCornersOfNamesAndLocks) {
  NativeBackend native;
  native.write("twin", "1");
  native.write("TWIN", "22");
  for (const std::string name : {"twin", "TWIN"}) {
    EXPECT_EQ(native.fs().stat(native.root() + "\\" + name).value_or(FileInfo{}).size,
              name == "twin" ? 1u : 2u);
  }
  native.write("closed", "1");
  stdfs::permissions(native.root() + "/closed", stdfs::perms::none);
  EXPECT_EQ(native.fs().readable_file_size(native.root() + "\\closed").ok(), ::geteuid() == 0);
  EXPECT_EQ(native.fs().map_read(native.root() + "\\gone").reason(), std::strerror(ENOENT));
  const test::SmallVolume volume(kOtherVolumeBytes);
  volume.dir().write_file("run.lock", "");
  if (::mount(nullptr, volume.dir().str().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0) {
    EXPECT_NE(native.fs().lock_exclusive(volume.dir().str() + "\\run.lock", false).lock, nullptr);
    EXPECT_EQ(native.fs().replace_file(volume.dir().str() + "\\new.ini", "x").reason(),
              std::strerror(EROFS));
  }
}
#endif

}  // namespace
}  // namespace vexal
