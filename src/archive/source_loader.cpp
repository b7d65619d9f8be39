#include "archive/source_loader.h"

#include "archive/archive_reader.h"
#include "archive/folder_loader.h"
#include "platform/path_rules.h"

namespace vexal {
namespace {

bool names_an_archive_file(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) {
    return false;
  }
  const std::string_view extension = path.substr(dot);
  return names_equal(extension, ".FS") || names_equal(extension, ".FSU");
}

}  // namespace

Status load_source(ArchiveList& list, FileSystem& fs, Reporter& reporter, int slot,
                   const std::string& path, const std::string& mod_folder) {
  ArchiveRecord* record = list.get(slot);
  if (record == nullptr || path.empty()) {
    return Status::programmer_error;
  }
  record->name = path;
  std::string full_path = path;
  if (!is_absolute_path(path)) {
    full_path = mod_folder;
    if (!full_path.empty() && !is_path_separator(full_path.back())) {
      full_path += '\\';
    }
    full_path += path;
  }
  const bool archive_file = names_an_archive_file(path);
  reporter.begin(archive_file ? Reporter::Step::loading_archive : Reporter::Step::loading_folder,
                 path);
  const Status status = archive_file ? read_archive_file(list, fs, reporter, slot, full_path)
                                     : load_folder(list, fs, reporter, slot, full_path);
  reporter.end(status == Status::ok);
  return status;
}

}  // namespace vexal
