// The archive engine over an in-memory file system, and the steps its tests share:
// reading archive bytes, loading sources as a definition names them, saving outputs.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fs/archive_reader.h"
#include "fs/archive_writer.h"
#include "fs/source_loader.h"
#include "fs_test_support.h"
#include "support/status_print.h"

namespace vexal::test {

inline const std::string kModFolder = "C:\\mods\\demo\\";

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() { fs.add_directory("C:\\out"); }

  // Appends a record named name and reads the archive file at path into it, after
  // writing bytes there when given; the layout follows the name.
  Status read(const std::string& name, std::optional<std::string> bytes, const std::string& path,
              FileSystem* through = nullptr) {
    if (bytes) {
      fs.add_file(path, std::move(*bytes));
    }
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    list.get(slot)->name = name;
    return read_archive_file(list, through ? *through : fs, reporter, slot, path);
  }
  // Reads into the only record of the list.
  Status load_bytes(const std::string& name, std::optional<std::string> bytes,
                    FileSystem* through = nullptr, const std::string& path = "C:\\a") {
    list.clear();
    return read(name, std::move(bytes), path, through);
  }
  // Appends a source read from bytes at C:\src\name; its slot.
  int add_archive(const std::string& name, std::string bytes) {
    EXPECT_EQ(read(name, std::move(bytes), "C:\\src\\" + name), Status::ok);
    return static_cast<int>(list.size()) - 1;
  }
  // A file below the mod folder.
  void add(const std::string& relative, std::string bytes) {
    fs.add_file(kModFolder + relative, std::move(bytes));
  }
  // Loads path as a definition names it into the only record of the list; the progress
  // line goes to `output`.
  Status load(const std::string& path, FileSystem* through = nullptr) {
    list.clear();
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    reporter = {};
    const Status status =
        load_source(list, through ? *through : fs, reporter, slot, path, kModFolder);
    output = reporter.text;
    return status;
  }

  // Appends an output saved as C:\out\file_name.
  int add_output(const std::string& file_name, bool two_level) {
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    list.get(slot)->name = "C:\\out\\" + file_name;
    list.get(slot)->two_level = two_level;
    return slot;
  }
  std::optional<std::string> saved(const std::string& file_name) {
    return fs.contents("C:\\out\\" + file_name);
  }
  // Saves every entry of the first record into an archive file at path.
  Status save_copy(const std::string& path = "C:\\out.bin") {
    int out = -1;
    EXPECT_EQ(list.append(out), Status::ok);
    list.get(out)->name = path;
    list.get(out)->two_level = list.get(0)->two_level;
    EXPECT_EQ(list.link_archive(out, 0), Status::ok);
    return save_archive(list, fs, reporter, out);
  }

  FakeFileSystem fs;
  ArchiveList list;
  RecordingReporter reporter;
  std::string output;
};

}  // namespace vexal::test
