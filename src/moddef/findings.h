// What a mod author may have got wrong in a definition that still builds, or how to fix
// the text that stopped a build: each one tied to its line, for the checker to show.
#pragma once

#include <string>
#include <vector>

namespace vexal {

struct Finding {
  int line = 0;      // of the definition; 0 when no one line is at fault
  std::string text;  // what is wrong, and how to fix it
};

using Findings = std::vector<Finding>;

}  // namespace vexal
