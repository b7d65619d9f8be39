// Micro-benchmarks of the archive engine's lookups, run in process with Google Benchmark.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace vexal::bench {

struct MicroOptions {
  int runs = 5;
  std::vector<std::size_t> link_sizes{20000, 200000};
  std::vector<std::size_t> source_counts{1000, 10000};
};

// Median seconds per benchmark, keyed "link/<size>" and "sources/<count>".
std::map<std::string, double> run_micro_benchmarks(const MicroOptions& options);

}  // namespace vexal::bench
