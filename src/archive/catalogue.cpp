#include "archive/catalogue.h"

#include "platform/ascii.h"

namespace vexal {

const std::array<CatalogueEntry, kCatalogueSize> kCatalogue = {{
    {"BASICS.FS", false, false},
    {"Q42.FS", false, false},
    {"MIRE.FS", false, false},
    {"BLIGHT.FS", false, false},
    {"WORDS.FS", false, false},
    {"SOUNDFX.FS", false, false},
    {"TUNES.FS", false, false},
    {"LEARNING.FS", false, false},
    {"TROOP.FSU", true, false},
    {"HELP.FS", false, true},
    {"VIDEO.FS", false, true},
    {"NARRATE.FS", false, true},
}};

CatalogueMatch match_catalogue(std::string_view text, LetterCase letter_case) {
  for (std::size_t slot = 0; slot < kCatalogue.size(); ++slot) {
    const CatalogueEntry& entry = kCatalogue[slot];
    const std::string_view start = text.substr(0, entry.name.size());
    if (letter_case == LetterCase::exact ? start == entry.name
                                         : equal_ignoring_case(start, entry.name)) {
      return {slot, entry.name.size(), entry.two_level, entry.cd_archive};
    }
  }
  return {};
}

void reset_slot_table(SlotTable& table) {
  table.fill(nullptr);
}

}  // namespace vexal
