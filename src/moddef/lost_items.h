// A group of a two-level archive is replaced whole: an add that re-points a group to
// another source's group drops the items that only the old one had. The author who
// removed one item file from a group folder rarely means that.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_list.h"
#include "moddef/mod_context.h"

namespace vexal {

// The items of a group of a two-level source, by name, in table order.
std::vector<std::string> item_names(const SourceArchive& source, const Entry& group);

// Warns, for each group of the two-level output that the command re-pointed, which
// items of the group it held before (before: its links then) the new one lacks.
void warn_of_lost_items(ModContext& context, const OutputArchive& output, std::string_view command,
                        const std::vector<Link>& before);

}  // namespace vexal
