// The archive engine over an in-memory file system, and the steps its tests share:
// reading archive bytes, loading sources as a definition names them, saving outputs.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "archive/archive_list.h"
#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "archive/source_loader.h"
#include "support/fake_file_system.h"
#include "support/status_print.h"

namespace vexal::test {

inline const std::string kModFolder = "C:\\mods\\demo\\";

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() { fs.add_directory("C:\\out"); }

  int append(const std::string& name, bool two_level = false) {
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    list.get(slot)->name = name;
    list.get(slot)->two_level = two_level;
    return slot;
  }
  // Writes the bytes at path and reads them into a new record; the layout follows the name.
  Status read(const std::string& name, std::string bytes, const std::string& path = "C:\\a") {
    fs.add_file(path, std::move(bytes));
    return read_archive_file(list, fs, reporter, append(name), path);
  }
  // A source read from C:\src\name; its slot.
  int add_archive(const std::string& name, std::string bytes) {
    EXPECT_EQ(read(name, std::move(bytes), "C:\\src\\" + name), Status::ok);
    return static_cast<int>(list.size()) - 1;
  }
  // A file below the mod folder.
  void add(const std::string& relative, std::string bytes) {
    fs.add_file(kModFolder + relative, std::move(bytes));
  }
  // Loads path, as a definition names it, into the only record of a fresh list; what the
  // load reports starts afresh.
  Status load(const std::string& path, FileSystem* through = nullptr) {
    list.clear();
    reporter = {};
    return load_source(list, through ? *through : fs, reporter, append(""), path, kModFolder);
  }

  int add_output(const std::string& file_name, bool two_level) {
    return append("C:\\out\\" + file_name, two_level);
  }
  std::optional<std::string> saved(const std::string& file_name) {
    return fs.contents("C:\\out\\" + file_name);
  }
  // Saves every entry of the first record into C:\out\COPY.
  Status save_copy() {
    const int out = add_output("COPY", list.get(0)->two_level);
    EXPECT_EQ(list.link_archive(out, 0), Status::ok);
    return save_archive(list, fs, reporter, out);
  }

  FakeFileSystem fs;
  ArchiveList list;
  RecordingReporter reporter;
};

}  // namespace vexal::test
