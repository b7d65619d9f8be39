// Several mods at once. combine writes one definition that builds every archive the
// mods build, each mod's changes applied in the order given; conflicts shows which
// entries (items) two or more of them change, and which one wins.
#pragma once

#include "toolkit/fs_tool.h"

namespace vexal::fs_tool {

int combine_mods(Tool& tool, const Arguments& args);
int show_conflicts(Tool& tool, const Arguments& args);

}  // namespace vexal::fs_tool
