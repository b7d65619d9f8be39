// The archive catalogue: the twelve archives a mod can build, with their class codes,
// layouts and folders, and the archive slot table that records which output record
// the run builds for each of them.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace vexal {

// Class codes: the kind of a block of a definition file, and the levels and scopes of
// variables.
inline constexpr int kNoClass = 0;
inline constexpr int kPathClass = 2;
inline constexpr int kSrcClass = 3;
inline constexpr int kFirstArchiveClass = 4;
inline constexpr int kLastArchiveClass = 15;
inline constexpr int kTwoLevelClass = 12;
inline constexpr std::size_t kCatalogueSize = 12;

struct CatalogueEntry {
  std::string_view name;
  int class_code;
  bool two_level;
  bool cd_archive;
};

// In class-code order; slot = class code - 4.
extern const std::array<CatalogueEntry, kCatalogueSize> kCatalogue;

struct CatalogueMatch {
  int class_code = kNoClass;  // 0 when the text begins with no catalogue name
  std::size_t length = 0;
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
inline std::size_t slot_of_class(int class_code) {
  return static_cast<std::size_t>(class_code - kFirstArchiveClass);
}

}  // namespace vexal
