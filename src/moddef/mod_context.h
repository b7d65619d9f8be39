// The state the definition language works on during one run: the file system, the
// variable store, the archive list, the archive slot table, the reporter that takes
// progress lines, warnings and explanations, the mod folder that relative source
// paths are taken against, and who is told what each add command did.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_list.h"
#include "archive/catalogue.h"
#include "base/expected.h"
#include "base/reporter.h"
#include "moddef/findings.h"
#include "moddef/variables.h"
#include "platform/file_system.h"

namespace vexal {

// What one add command did to the output of its block.
struct AddOutcome {
  const OutputArchive* output = nullptr;
  const SourceArchive* source = nullptr;
  std::string_view command;  // as written, parameters unexpanded: add(ALL, %GFX%, *.TXT)
  std::optional<std::string_view> mask;
  std::size_t taken = 0;               // entries of the source the command took
  std::vector<std::string> added;      // names the output did not hold before
  std::vector<std::string> repointed;  // names the output held, now linked to this source
  bool output_was_empty = false;
};

// Told what each add command did, by tools that explain a build before it is made.
class AddObserver {
 public:
  virtual ~AddObserver() = default;
  virtual void added(const AddOutcome& outcome) = 0;
};

struct ModContext {
  FileSystem& fs;
  VariableStore& vars;
  ArchiveList& archives;
  SlotTable& slots;
  Reporter& reporter;
  std::string mod_folder;           // ends in a separator, or is a bare path without one
  AddObserver* observer = nullptr;  // a build has none
  Findings* findings = nullptr;     // the checker's; a build has none
  int line = 0;                     // of the statement that runs, while it runs
};

}  // namespace vexal
