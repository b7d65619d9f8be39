// The mod definition file: reading its text, and the class scanner that walks the
// blocks once, creates an output record per archive block and runs each statement as
// soon as its terminator is read.
#pragma once

#include <string>

#include "base/expected.h"
#include "moddef/mod_context.h"
#include "platform/file_system.h"

namespace vexal {

// Reads the file in text mode: carriage returns dropped, Ctrl-Z ends the text; the
// text ends with a line feed. A UTF-8 byte order mark at the start, as Windows editors
// save one, is dropped too. Fails with definition_not_opened when the file cannot be
// opened, or not read up to its end.
Expected<std::string> load_definition(FileSystem& fs, const std::string& path);
void free_definition(std::string& text);

struct ScanResult {
  Outcome outcome;  // success at a clean end of the text, else the first failure
  int line = 1;     // the line at which the scan stopped
  Status status() const { return outcome.status(); }
};

// Runs the definition. A failure in the text is explained with the line it stands in
// (after what the failing statement told the reporter); a CD block skipped because
// allow_cd is false is warned about.
ScanResult scan_definition(ModContext& context, const std::string& text, bool allow_cd);

}  // namespace vexal
