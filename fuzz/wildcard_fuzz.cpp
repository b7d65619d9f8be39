// The mask matcher of an "add" command (exact bytes) against a plain dynamic-programming
// reference. The folder listing pattern matcher runs on the same inputs, checked by the
// sanitizers only.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "fuzz_support.h"
#include "moddef/statement.h"
#include "platform/list_pattern.h"

namespace {

// table[i][j]: the first i name bytes match the first j mask bytes.
bool reference_match(std::string_view name, std::string_view mask) {
  std::vector<std::vector<bool>> table(name.size() + 1, std::vector<bool>(mask.size() + 1));
  table[0][0] = true;
  for (std::size_t j = 1; j <= mask.size(); ++j) {
    table[0][j] = table[0][j - 1] && mask[j - 1] == '*';
  }
  for (std::size_t i = 1; i <= name.size(); ++i) {
    for (std::size_t j = 1; j <= mask.size(); ++j) {
      const char m = mask[j - 1];
      table[i][j] = m == '*' ? (table[i][j - 1] || table[i - 1][j])
                             : (table[i - 1][j - 1] && (m == '?' || m == name[i - 1]));
    }
  }
  return table[name.size()][mask.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  // Entry names stop at their terminator and a mask never holds a zero byte (the
  // definition text ends there), so neither does here.
  std::string name = input.ConsumeRandomLengthString(64);
  std::string mask = input.ConsumeRemainingBytesAsString();
  std::erase(name, '\0');
  std::erase(mask, '\0');
  vexal::fuzz::require(vexal::matches_entry_mask(mask, name) == reference_match(name, mask),
                       "matches_entry_mask agrees with the reference");
  vexal::matches_listing_pattern(mask, name);
  return 0;
}
