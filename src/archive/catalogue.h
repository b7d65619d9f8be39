// The archive catalogue: the twelve archives a mod can build, with their layouts and
// folders, and the archive slot table that records which output record the run builds
// for each of them. An archive's slot is its place in the catalogue.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace vexal {

inline constexpr std::size_t kCatalogueSize = 12;

struct CatalogueEntry {
  std::string_view name;
  bool two_level;
  bool cd_archive;
};

// In slot order, the order in which a build saves its archives.
extern const std::array<CatalogueEntry, kCatalogueSize> kCatalogue;

struct CatalogueMatch {
  std::optional<std::size_t> slot;  // none when the text begins with no catalogue name
  std::size_t length = 0;
  bool two_level = false;
  bool cd_archive = false;
};

// How match_catalogue compares: the class scanner takes class names exactly as
// written; file names ignore letter case, as the file system does.
enum class LetterCase { exact, ignored };

// The catalogue name that the text begins with (no test of what follows).
CatalogueMatch match_catalogue(std::string_view text, LetterCase letter_case = LetterCase::exact);

struct OutputArchive;

// The output built for each catalogue archive, or null.
using SlotTable = std::array<OutputArchive*, kCatalogueSize>;

void reset_slot_table(SlotTable& table);

}  // namespace vexal
