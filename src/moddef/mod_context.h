// The state the definition language works on during one run: the file system, the
// variable store, the archive list, the archive slot table, the reporter that takes
// progress lines, warnings and explanations, and the mod folder that relative source
// paths are taken against.
#pragma once

#include <string>

#include "base/reporter.h"
#include "fs/archive_list.h"
#include "fs/catalogue.h"
#include "moddef/variables.h"
#include "platform/file_system.h"

namespace vexal {

struct ModContext {
  FileSystem& fs;
  VariableStore& vars;
  ArchiveList& archives;
  SlotTable& slots;
  Reporter& reporter;
  std::string mod_folder;  // ends in a separator, or is a bare path without one
};

}  // namespace vexal
