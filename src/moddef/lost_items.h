// A group of a two-level archive is replaced whole: an add that re-points a group to
// another source's group drops the items that only the old one had. The author who
// removed one item file from a group folder rarely means that.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_list.h"
#include "moddef/mod_context.h"

namespace vexal {

// The source and entry each entry of an output is linked to, before a command runs.
using Links = std::vector<std::pair<std::int32_t, std::int32_t>>;

Links links_of(const ArchiveRecord& output);

// The names of the items in a group's item table.
std::vector<std::string> item_names(const ArchiveRecord& source, const Entry& group);

// Warns, for each group of the two-level output that the command re-pointed, which
// items of the group it held before the new one lacks.
void warn_of_lost_items(ModContext& context, int output_slot, std::string_view command,
                        const Links& before);

}  // namespace vexal
