// The archive engine over an in-memory file system, and the steps its tests share:
// reading archive bytes, loading sources as a definition names them, saving outputs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "archive/archive_list.h"
#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "archive/source_loader.h"
#include "support/archive_builder.h"
#include "support/fake_file_system.h"
#include "support/status_print.h"

namespace vexal::test {

inline const std::string kModFolder = "C:\\mods\\demo\\";

// The bytes of an archive as the writer saves it: entries, or groups as padded with "_",
// sorted by name without regard to case; items in the order given.
inline std::string saved_form(std::vector<FlatEntryBytes> entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& x, const auto& y) { return compare_names(x.name, y.name) < 0; });
  return build_flat(entries);
}
inline std::string saved_form(std::vector<GroupBytes> groups) {
  const auto padded = [](std::string name) { return name.resize(5, '_'), name; };
  std::stable_sort(groups.begin(), groups.end(), [&](const auto& x, const auto& y) {
    return compare_names(padded(x.name), padded(y.name)) < 0;
  });
  return build_two_level(groups);
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() { fs.add_directory("C:\\out"); }

  // Writes the bytes at path and reads them into a new source named name; the layout
  // follows the name.
  Status read(const std::string& name, std::string bytes, const std::string& path = "C:\\a") {
    fs.add_file(path, std::move(bytes));
    return told(read_archive_file(fs, list.add_source(name), path));
  }
  // A source read from C:\src\name.
  const SourceArchive& add_archive(const std::string& name, std::string bytes) {
    EXPECT_EQ(read(name, std::move(bytes), "C:\\src\\" + name), Status::ok);
    return list.source(static_cast<std::uint32_t>(list.source_count() - 1));
  }
  // Loads path, as a definition names it, as the only source of a fresh list; what the
  // load reports starts afresh.
  Status load(const std::string& path, FileSystem* through = nullptr) {
    list = {};
    reporter = {};
    return told(load_source(through ? *through : fs, reporter, list.add_source(path), kModFolder));
  }

  // An output saved as C:\out\file_name.
  OutputArchive& add_output(const std::string& file_name, bool two_level) {
    OutputArchive& output = list.add_output(file_name, two_level);
    output.file_path = "C:\\out\\" + file_name;
    return output;
  }
  std::optional<std::string> saved(const std::string& file_name) {
    return fs.contents("C:\\out\\" + file_name);
  }
  // Saves every entry of the first source into C:\out\COPY.
  Status save_copy() {
    OutputArchive& out = add_output("COPY", list.source(0).two_level);
    EXPECT_TRUE(list.link_archive(out, list.source(0)));
    return save(out);
  }
  // Saves an output; its failure is told to the reporter.
  Status save(OutputArchive& output, FileSystem* through = nullptr) {
    return told(save_archive(list, through ? *through : fs, output));
  }
  // The status of an outcome, its explanations told to the reporter as a run tells them.
  Status told(const Outcome& outcome) {
    return outcome ? Status::ok : reporter.explained(outcome.failure());
  }

  FakeFileSystem fs;
  ArchiveList list;
  RecordingReporter reporter;
};

}  // namespace vexal::test
