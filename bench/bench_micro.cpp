#include "bench_micro.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "archive/archive_list.h"
#include "bench_data.h"
#include "moddef/statement.h"

namespace vexal::bench {
namespace {

// E0000042.DAT: twelve characters for indexes below ten million.
std::string entry_name_for(std::size_t i) {
  std::string digits = std::to_string(i % 10000000);
  return "E" + std::string(7 - digits.size(), '0') + digits + ".DAT";
}

int add_source(ArchiveList& list, std::size_t count, bool lower_case) {
  int slot = -1;
  if (list.append(slot) != Status::ok) {
    return -1;
  }
  ArchiveRecord& record = *list.get(slot);
  record.entries.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::string name = entry_name_for(i);
    if (lower_case) {
      for (char& c : name) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      }
    }
    set_entry_name(record.entries[i], name);
    record.entries[i].size = 1;
  }
  return slot;
}

// An output of n entries linked from one archive, then every entry re-pointed by a
// second source of the same names (add(ALL, ...)).
void repoint_all(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto list = std::make_unique<ArchiveList>();
    const int game = add_source(*list, count, false);
    const int mod = add_source(*list, count, true);
    int output = -1;
    const bool appended = list->append(output) == Status::ok;
    state.ResumeTiming();
    bool linked = appended && list->link_archive(output, game) == Status::ok;
    list->get(output)->replace = 1;
    linked = linked && list->link_archive(output, mod) == Status::ok;
    if (!linked) {
      state.SkipWithError("linking failed");
    }
    state.PauseTiming();
    list.reset();
    state.ResumeTiming();
  }
}

std::string source_path(std::size_t i) {
  char path[64];
  std::snprintf(path, sizeof path, "%%MOD%%\\sources\\folder%05zu", i);
  return path;
}

// Every source of a definition looked up once by its path, as each add does; the
// lookups are spelt in another letter case than the loaded names.
void look_up_sources(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  ArchiveList list;
  for (std::size_t i = 0; i < count; ++i) {
    int slot = -1;
    if (list.append(slot) != Status::ok) {
      state.SkipWithError("no memory for the sources");
      return;
    }
    list.get(slot)->name = source_path(i);
  }
  std::vector<std::string> lookups;
  for (std::size_t i = 0; i < count; ++i) {
    std::string path = source_path(i);
    for (char& c : path) {
      c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    lookups.push_back(std::move(path));
  }
  auto fs = make_native_file_system();
  VariableStore vars;
  SlotTable slots{};
  reset_slot_table(slots);
  SilentReporter reporter;
  const ModContext context{*fs, vars, list, slots, reporter, {}};
  for (auto _ : state) {
    std::size_t found = 0;
    for (const std::string& path : lookups) {
      found += find_source_slot(context, path) >= 0 ? 1 : 0;
    }
    if (found != count) {
      state.SkipWithError("a source was not found");
    }
  }
}

// Keeps the median of each benchmark's repetitions, and prints as usual.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  explicit MedianReporter(std::map<std::string, double>& medians)
      : ConsoleReporter(OO_Tabular), medians_(medians) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.run_name.function_name + "/" + run.run_name.args;
      const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      // A single repetition has no aggregates; its one run is its median.
      if ((run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") ||
          (run.run_type == Run::RT_Iteration && !medians_.contains(name))) {
        medians_[name] = seconds;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  std::map<std::string, double>& medians_;
};

}  // namespace

std::map<std::string, double> run_micro_benchmarks(const MicroOptions& options) {
  for (const std::size_t size : options.link_sizes) {
    benchmark::RegisterBenchmark("link", repoint_all)
        ->Arg(static_cast<std::int64_t>(size))
        ->Iterations(1)
        ->Repetitions(options.runs)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  for (const std::size_t count : options.source_counts) {
    benchmark::RegisterBenchmark("sources", look_up_sources)
        ->Arg(static_cast<std::int64_t>(count))
        ->Iterations(1)
        ->Repetitions(options.runs)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  std::map<std::string, double> medians;
  MedianReporter reporter(medians);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::ClearRegisteredBenchmarks();
  return medians;
}

}  // namespace vexal::bench
