#include "archive/catalogue.h"

#include "platform/ascii.h"

namespace vexal {

const std::array<CatalogueEntry, kCatalogueSize> kCatalogue = {{
    {"BASICS.FS", 4, false, false},
    {"Q42.FS", 5, false, false},
    {"MIRE.FS", 6, false, false},
    {"BLIGHT.FS", 7, false, false},
    {"WORDS.FS", 8, false, false},
    {"SOUNDFX.FS", 9, false, false},
    {"TUNES.FS", 10, false, false},
    {"LEARNING.FS", 11, false, false},
    {"TROOP.FSU", 12, true, false},
    {"HELP.FS", 13, false, true},
    {"VIDEO.FS", 14, false, true},
    {"NARRATE.FS", 15, false, true},
}};

CatalogueMatch match_catalogue(std::string_view text, LetterCase letter_case) {
  for (const CatalogueEntry& entry : kCatalogue) {
    const std::string_view start = text.substr(0, entry.name.size());
    if (letter_case == LetterCase::exact ? start == entry.name
                                         : equal_ignoring_case(start, entry.name)) {
      return {entry.class_code, entry.name.size(), entry.cd_archive};
    }
  }
  return {};
}

void reset_slot_table(SlotTable& table) {
  table.fill(nullptr);
}

}  // namespace vexal
