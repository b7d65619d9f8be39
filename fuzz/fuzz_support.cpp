// Start-up shared by every fuzz target.
#include <cstdio>
#include <cstdlib>

// The tool prints progress lines for every load and save; at thousands of runs per
// second they would drown the fuzzer's own output.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) {
    std::abort();
  }
  return 0;
}
