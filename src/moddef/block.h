// The blocks of a definition: "class NAME { ... }". A PATH or a SRC block defines
// variables at a level of its own; an archive block, named after an archive of the
// catalogue, builds that archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "moddef/variables.h"

namespace vexal {

enum class BlockClass : std::uint8_t { none, path, src, archive };

// The block a statement stands in.
struct Block {
  BlockClass block_class = BlockClass::none;
  std::size_t slot = 0;  // of an archive block: its archive in the catalogue and slot table

  static Block archive(std::size_t slot) { return {BlockClass::archive, slot}; }
  bool is_archive() const { return block_class == BlockClass::archive; }
  // The level of the variables a PATH or SRC block defines; none for other blocks.
  std::optional<VariableLevel> defined_level() const {
    switch (block_class) {
      case BlockClass::path:
        return VariableLevel::path;
      case BlockClass::src:
        return VariableLevel::src;
      case BlockClass::none:
      case BlockClass::archive:
        break;
    }
    return std::nullopt;
  }
};

}  // namespace vexal
