// The variable store under a random sequence of definitions, expansions and lookups,
// checked against the rules every caller relies on: a failure empties the store, text
// without "%" expands to itself, and a defined variable is visible at its own level.
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
    const int level = input.ConsumeIntegralInRange(0, 15);
    const int scope = input.ConsumeIntegralInRange(0, 15);
    std::string out = "stale";
    if (operation == 0) {
      const std::size_t before = store.count();
      const vexal::Status code = store.define(name, text, level, scope);
      if (code == vexal::Status::ok) {
        require(store.count() == before + 1, "a definition adds one variable");
        require(store.lookup(name, level, out) == vexal::Status::ok, "visible at its own level");
        if (text.find('%') == std::string::npos) {
          require(out == text, "a value without references is kept as written");
        }
      } else {
        require(store.count() == 0, "a failed definition empties the store");
      }
    } else if (operation == 1) {
      const vexal::Status code = store.expand(text, out, scope);
      if (code != vexal::Status::ok) {
        require(out.empty() && store.count() == 0, "a failed expansion empties everything");
      } else if (text.find('%') == std::string::npos) {
        require(out == text, "text without references expands to itself");
      }
    } else {
      const vexal::Status code = store.lookup(name, scope, out);
      require(code == vexal::Status::ok || code == vexal::Status::programmer_error,
              "lookup finds or gives 2");
    }
  }
  return 0;
}
