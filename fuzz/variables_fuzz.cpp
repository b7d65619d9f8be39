// The variable store under a random sequence of definitions, expansions and lookups,
// checked against the rules every caller relies on: text without "%" expands to itself,
// a defined variable is visible at its own level, and a failure changes nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "moddef/variables.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vexal::fuzz::require;
  FuzzedDataProvider input(data, size);
  vexal::VariableStore store;
  while (input.remaining_bytes() > 0) {
    const int operation = input.ConsumeIntegralInRange(0, 2);
    const std::string name = input.ConsumeRandomLengthString(64);
    const std::string text = input.ConsumeRandomLengthString(256);
    const auto level = static_cast<vexal::VariableLevel>(input.ConsumeIntegralInRange(0, 3));
    const std::size_t before = store.count();
    if (operation == 0) {
      if (store.define(name, text, level)) {
        require(store.count() == before + 1, "a definition adds one variable");
        const std::optional<std::string> value = store.lookup(name, level);
        require(value.has_value(), "visible at its own level");
        if (text.find('%') == std::string::npos) {
          require(*value == text, "a value without references is kept as written");
        }
      } else {
        require(store.count() == before, "a failed definition adds nothing");
      }
    } else if (operation == 1) {
      const vexal::Expected<std::string> out = store.expand(text, level);
      if (out && text.find('%') == std::string::npos) {
        require(*out == text, "text without references expands to itself");
      }
    } else {
      (void)store.lookup(name, level);
    }
  }
  return 0;
}
