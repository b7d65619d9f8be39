// The variable store under a random sequence of definitions, expansions and lookups,
// checked against the rules every caller relies on: a failure empties the store, text
// without "%" expands to itself, and a defined variable is visible at its own level.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "moddef/alias.h"

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
      const int code = store.var_define(name, text, level, scope);
      if (code == 0) {
        require(store.count() == before + 1, "a definition adds one variable");
        require(store.var_lookup(name, level, out) == 0, "visible at its own level");
        if (text.find('%') == std::string::npos) {
          require(out == text, "a value without references is kept as written");
        }
      } else {
        require(store.count() == 0, "a failed definition empties the store");
      }
    } else if (operation == 1) {
      const int code = store.var_expand(text, out, scope);
      if (code != 0) {
        require(out.empty() && store.count() == 0, "a failed expansion empties everything");
      } else if (text.find('%') == std::string::npos) {
        require(out == text, "text without references expands to itself");
      }
    } else {
      const int code = store.var_lookup(name, scope, out);
      require(code == 0 || code == 2, "lookup finds or gives 2");
    }
  }
  return 0;
}
