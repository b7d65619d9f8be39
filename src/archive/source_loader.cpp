#include "archive/source_loader.h"

#include "archive/archive_reader.h"
#include "archive/folder_loader.h"
#include "platform/path_rules.h"

namespace vexal {
namespace {}  // namespace

Outcome load_source(FileSystem& fs, Reporter& reporter, SourceArchive& source,
                    const std::string& mod_folder) {
  const std::string& path = source.path;
  if (path.empty()) {
    return Failure(Status::programmer_error);
  }
  std::string full_path = path;
  if (!is_absolute_path(path)) {
    full_path = mod_folder;
    if (!full_path.empty() && !is_path_separator(full_path.back())) {
      full_path += '\\';
    }
    full_path += path;
  }
  const bool archive_file = layout_of_name(path) != NamedLayout::none;
  reporter.begin(archive_file ? Reporter::Step::loading_archive : Reporter::Step::loading_folder,
                 path);
  Outcome loaded = archive_file ? read_archive_file(fs, source, full_path)
                                : load_folder(fs, reporter, source, full_path);
  reporter.end(loaded.has_value());
  return loaded;
}

}  // namespace vexal
