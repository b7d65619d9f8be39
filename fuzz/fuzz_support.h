// Shared by the fuzz targets: quiet progress output and a check that survives release
// builds and stops the fuzzer with a readable reason.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vexal::fuzz {

// A broken invariant is a finding like a crash.
inline void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

inline std::string as_text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace vexal::fuzz
