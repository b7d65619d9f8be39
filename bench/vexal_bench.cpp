// vexal_bench: how the tool's costs compare with copying the same bytes.
//
// Generates its data in a fresh folder, times the real binary against cat and tar on
// the same bytes (alternating, median of the runs), and prints every figure as a ratio
// against a reference measured in the same run. See bench/README.md.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_data.h"
#include "bench_micro.h"

namespace fs = std::filesystem;

namespace vexal::bench {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1024} * 1024;
constexpr std::uint64_t kGiB = 1024 * kMiB;

struct Options {
  fs::path work_parent = fs::temp_directory_path();
  fs::path binary = VEXAL_BINARY;
  int runs = 5;
  std::vector<std::string> only;  // empty: every scenario
  bool keep = false;
  bool data_only = false;  // write the data, keep it, time nothing
  MicroOptions micro;
};

struct Timed {
  double seconds = 0;
  std::uint64_t max_rss_bytes = 0;
};

// Runs a program with its standard output sent to a file; throws when it fails.
Timed run_program(const std::vector<std::string>& argv, const fs::path& cwd,
                  const fs::path& stdout_path) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) {
    throw std::runtime_error("fork failed");
  }
  if (child == 0) {
    const int out = ::open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || ::chdir(cwd.c_str()) != 0 || ::dup2(out, 1) < 0) {
      ::_exit(127);
    }
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) {
    throw std::runtime_error("wait failed");
  }
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(argv[0] + std::string(" failed with status ") +
                             std::to_string(WEXITSTATUS(status)) + "; its output is in " +
                             stdout_path.string());
  }
  return {std::chrono::duration<double>(end - start).count(),
          static_cast<std::uint64_t>(usage.ru_maxrss) * 1024};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Comparison {
  double tool = 0;       // median seconds
  double reference = 0;  // median seconds
  std::uint64_t peak_rss = 0;
};

// FNV-1a over a whole file, to tell whether two builds of the tool wrote the same bytes.
std::uint64_t checksum(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> block(std::size_t{1} << 20);
  std::uint64_t hash = 0xcbf29ce484222325u;
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash =
          (hash ^ static_cast<unsigned char>(block[static_cast<std::size_t>(i)])) * 0x100000001b3u;
    }
  }
  return hash;
}

// Alternates the tool and the reference so that both see the same machine load; the
// outputs are removed after every run so the page cache and the disk stay comparable.
// A child's peak memory includes what it shared with this process before exec, so the
// pools that generate the data are released before this is called.
// The tool's output (`output`) is checksummed after the warm-up.
Comparison compare(int runs, const std::function<Timed()>& tool,
                   const std::function<Timed()>& reference, const std::function<void()>& clean,
                   const fs::path& output) {
  std::vector<double> tool_times;
  std::vector<double> reference_times;
  Comparison result;
  clean();
  // One warm-up of each brings the sources into the page cache.
  tool();
  std::printf("    output %s: %ju bytes, checksum %016jx\n", output.filename().c_str(),
              static_cast<std::uintmax_t>(fs::file_size(output)),
              static_cast<std::uintmax_t>(checksum(output)));
  clean();
  reference();
  clean();
  for (int i = 0; i < runs; ++i) {
    const Timed timed = tool();
    tool_times.push_back(timed.seconds);
    result.peak_rss = std::max(result.peak_rss, timed.max_rss_bytes);
    clean();
    reference_times.push_back(reference().seconds);
    clean();
  }
  result.tool = median(tool_times);
  result.reference = median(reference_times);
  std::printf("    tool runs (s):");
  for (const double t : tool_times)
    std::printf(" %.3f", t);
  std::printf("\n    reference runs (s):");
  for (const double t : reference_times)
    std::printf(" %.3f", t);
  std::printf("\n");
  return result;
}

void write_text(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

std::string numbered(const char* format, std::size_t i) {
  char text[32];
  std::snprintf(text, sizeof text, format, i);
  return text;
}

std::uint64_t total_size(const std::vector<NamedSize>& entries) {
  std::uint64_t total = 0;
  for (const NamedSize& e : entries)
    total += e.size;
  return total;
}

// A working folder the tool runs in: config.ini, game/data, and the mod in mod/.
fs::path make_work_folder(const fs::path& root, const std::string& name) {
  fs::path work = root / name;
  fs::create_directories(work / "game" / "data");
  fs::create_directories(work / "cd" / "data");
  fs::create_directories(work / "mod");
  write_text(work / "config.ini", "[PATH]\nvexal=" + (work / "game").string() +
                                      "\nvexalcd=" + (work / "cd").string() + "\nallowcdmod=0\n");
  return work;
}

// With --data-only, says where a scenario's data are, which are kept, and that it ends there.
bool data_only(const Options& options, const fs::path& work) {
  if (options.data_only) {
    std::printf("  data in %s\n", work.c_str());
  }
  return options.data_only;
}

std::function<Timed()> tool_run(const Options& options, const fs::path& work) {
  return [&options, work] {
    return run_program({options.binary.string(), "mod/bench.def"}, work, work / "tool.log");
  };
}

// The tool building BASICS.FS in work against cat of the inputs (relative to work) into
// one file.
Comparison compare_with_cat(const Options& options, const fs::path& work,
                            std::vector<std::string> inputs) {
  inputs.insert(inputs.begin(), "cat");
  return compare(
      options.runs, tool_run(options, work),
      [&] { return run_program(inputs, work, work / "cat.out"); },
      [&] {
        fs::remove(work / "cat.out");
        fs::remove(work / "mod" / "out" / "BASICS.FS");
      },
      work / "mod" / "out" / "BASICS.FS");
}

// The time ratio and, beside it, the tool's peak memory (maximum resident set).
void print_ratio(const char* label, const Comparison& c, const char* reference, double target) {
  const double ratio = c.tool / c.reference;
  std::printf("  %-14s tool %.3f s, %s %.3f s: ratio %.2f (target <= %.2f) %s; peak %.0f MiB\n",
              label, c.tool, reference, c.reference, ratio, target,
              ratio <= target ? "ok" : "MISSED", static_cast<double>(c.peak_rss) / kMiB);
}

void bench_build(const Options& options, const fs::path& root) {
  std::printf(
      "\n[build] game archive of 1 GiB with 20,000 entries, a mod folder of 5,000 files "
      "re-pointing 5,000 of them with ALL, written as a flat archive\n");
  const fs::path work = make_work_folder(root, "build");
  Random random(1);
  std::vector<NamedSize> entries;
  const std::uint64_t average = kGiB / 20000;
  for (std::size_t i = 0; i < 20000; ++i) {
    entries.push_back({numbered("E%07zu.DAT", i), random.between(average / 2, average * 3 / 2)});
  }
  std::vector<NamedSize> mod_files;
  for (std::size_t i = 0; i < 20000; i += 4) {
    std::string name = entries[i].name;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    mod_files.push_back({name, random.between(1024, std::uint64_t{16} * 1024)});
  }
  {
    const BytePool pool(64 * kMiB);
    write_flat_archive(work / "game" / "data" / "GAME.FS", entries, pool);
    write_files(work / "mod" / "files", mod_files, pool);
  }
  write_text(work / "mod" / "bench.def",
             "class PATH { MAKE = out; }\n"
             "class BASICS.FS {\n  add(%VEXAL%\\data\\GAME.FS)\n  add(ALL, files)\n}\n");
  const std::uint64_t sources =
      4 + 21 * entries.size() + total_size(entries) + total_size(mod_files);

  if (data_only(options, work)) {
    return;
  }
  std::vector<std::string> inputs{"game/data/GAME.FS"};
  for (const NamedSize& file : mod_files)
    inputs.push_back("mod/files/" + file.name);
  const Comparison c = compare_with_cat(options, work, inputs);
  print_ratio("build", c, "cat", 1.3);
  const double extra = (static_cast<double>(c.peak_rss) - static_cast<double>(sources)) / kMiB;
  std::printf("  %-14s peak %.0f MiB, sources %.0f MiB: %+.0f MiB (target <= +64 MiB) %s\n",
              "memory", static_cast<double>(c.peak_rss) / kMiB, static_cast<double>(sources) / kMiB,
              extra, extra <= 64 ? "ok" : "MISSED");
  if (!options.keep)
    fs::remove_all(work);
}

void bench_folder(const Options& options, const fs::path& root) {
  std::printf("\n[folder] 50,000 files of 1 to 8 KiB added into an empty archive and saved\n");
  const fs::path work = make_work_folder(root, "folder");
  Random random(2);
  std::vector<NamedSize> files;
  for (std::size_t i = 0; i < 50000; ++i) {
    files.push_back({numbered("F%07zu.DAT", i), random.between(1024, std::uint64_t{8} * 1024)});
  }
  write_files(work / "mod" / "many", files, BytePool(16 * kMiB));
  write_text(work / "mod" / "bench.def",
             "class PATH { MAKE = out; }\nclass BASICS.FS { add(many); }\n");
  if (data_only(options, work)) {
    return;
  }
  const Comparison c = compare(
      options.runs, tool_run(options, work),
      [&] {
        return run_program({"tar", "-cf", "out.tar", "many"}, work / "mod", work / "tar.log");
      },
      [&] {
        fs::remove(work / "mod" / "out.tar");
        fs::remove(work / "mod" / "out" / "BASICS.FS");
      },
      work / "mod" / "out" / "BASICS.FS");
  print_ratio("folder", c, "tar -cf", 0.8);
  if (!options.keep)
    fs::remove_all(work);
}

void bench_large_files(const Options& options, const fs::path& root) {
  std::printf("\n[large] 1,000 files of 1 MiB added into an empty archive and saved\n");
  const fs::path work = make_work_folder(root, "large");
  std::vector<NamedSize> files;
  for (std::size_t i = 0; i < 1000; ++i) {
    files.push_back({numbered("L%07zu.DAT", i), kMiB});
  }
  write_files(work / "mod" / "large", files, BytePool(64 * kMiB));
  write_text(work / "mod" / "bench.def",
             "class PATH { MAKE = out; }\nclass BASICS.FS { add(large); }\n");
  if (data_only(options, work)) {
    return;
  }
  std::vector<std::string> inputs;
  inputs.reserve(files.size());
  for (const NamedSize& file : files)
    inputs.push_back("mod/large/" + file.name);
  const Comparison c = compare_with_cat(options, work, inputs);
  print_ratio("large", c, "cat", 1.0);
  const double peak = static_cast<double>(c.peak_rss) / kMiB;
  std::printf("  %-14s peak %.0f MiB building from a 1 GiB folder (target <= 64 MiB) %s\n",
              "memory", peak, peak <= 64 ? "ok" : "MISSED");
  if (!options.keep)
    fs::remove_all(work);
}

void bench_two_level(const Options& options, const fs::path& root) {
  std::printf(
      "\n[two-level] an archive of 2,000 groups of 50 items, re-pointed group by group "
      "(2,000 add(ALL, folder, group)) from a folder\n");
  const fs::path work = make_work_folder(root, "twolevel");
  Random random(3);
  std::vector<Group> groups;
  for (std::size_t g = 0; g < 2000; ++g) {
    Group group{numbered("G%04zu", g), {}};
    for (std::size_t i = 0; i < 50; ++i) {
      group.items.push_back({numbered("I%02zu", i), random.between(256, 4096)});
    }
    groups.push_back(std::move(group));
  }
  auto pool = std::make_unique<const BytePool>(16 * kMiB);
  write_two_level_archive(work / "game" / "data" / "TROOP.FSU", groups, *pool);
  std::string definition =
      "class PATH { MAKE = out; }\nclass TROOP.FSU {\n"
      "  add(%VEXAL%\\data\\TROOP.FSU)\n";
  for (const Group& group : groups) {
    std::vector<NamedSize> items = group.items;
    for (NamedSize& item : items)
      item.size = random.between(100, 1000);
    write_files(work / "mod" / "troop" / group.name, items, *pool);
    definition += "  add(ALL, troop, " + group.name + ")\n";
  }
  pool.reset();
  write_text(work / "mod" / "bench.def", definition + "}\n");
  if (data_only(options, work)) {
    return;
  }
  const Comparison c = compare(
      options.runs, tool_run(options, work),
      [&] {
        return run_program({"tar", "-cf", "out.tar", "game/data/TROOP.FSU", "mod/troop"}, work,
                           work / "tar.log");
      },
      [&] {
        fs::remove(work / "out.tar");
        fs::remove(work / "mod" / "out" / "TROOP.FSU");
      },
      work / "mod" / "out" / "TROOP.FSU");
  print_ratio("two-level", c, "tar -cf", 1.0);
  if (!options.keep)
    fs::remove_all(work);
}

void bench_micro(const Options& options) {
  std::printf("\n[linking] outputs re-pointed entry by entry with ALL (in process)\n");
  std::fflush(stdout);
  MicroOptions micro = options.micro;
  micro.runs = options.runs;
  const auto medians = run_micro_benchmarks(micro);
  const auto ratio_line = [&](const char* label, const std::string& prefix,
                              const std::vector<std::size_t>& sizes, double target) {
    if (sizes.size() < 2)
      return;
    const double small = medians.at(prefix + std::to_string(sizes.front()));
    const double large = medians.at(prefix + std::to_string(sizes.back()));
    const double ratio = large / small;
    const double work = static_cast<double>(sizes.back()) / static_cast<double>(sizes.front());
    std::printf("  %-14s %zu: %.4f s, %zu: %.4f s: ratio %.2f for %.0fx the work", label,
                sizes.front(), small, sizes.back(), large, ratio, work);
    if (target > 0) {
      std::printf(" (target <= %.0f) %s", target, ratio <= target ? "ok" : "MISSED");
    }
    std::printf("\n");
  };
  ratio_line("linking scale", "link/", micro.link_sizes, 12);
  ratio_line("source lookup", "sources/", micro.source_counts, 0);  // no target: a check
}

bool wanted(const Options& options, const std::string& name) {
  return options.only.empty() ||
         std::find(options.only.begin(), options.only.end(), name) != options.only.end();
}

std::vector<std::size_t> parse_sizes(const std::string& text) {
  std::vector<std::size_t> sizes;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    sizes.push_back(std::stoul(text.substr(start, comma - start)));
    start = comma + 1;
  }
  return sizes;
}

void usage() {
  std::printf(
      "usage: vexal_bench [--dir FOLDER] [--runs N] [--only build|folder|large|twolevel|link]...\n"
      "                   [--binary PATH] [--link-sizes A,B] [--keep] [--data-only]\n"
      "  --dir         where the temporary data goes (default: %s; needs about 6 GiB)\n"
      "  --runs        timed runs per figure; medians are printed (default 5)\n"
      "  --only        run only the named scenarios (repeatable)\n"
      "  --link-sizes  the two output sizes of the linking scale (default 20000,200000)\n"
      "  --keep        keep the data folder\n"
      "  --data-only   write the data of the scenarios (not link) and keep it, timing nothing\n",
      fs::temp_directory_path().c_str());
}

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc)
        throw std::runtime_error(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--dir") {
      options.work_parent = value();
    } else if (arg == "--runs") {
      options.runs = std::max(1, std::stoi(value()));
    } else if (arg == "--only") {
      options.only.push_back(value());
    } else if (arg == "--binary") {
      options.binary = value();
    } else if (arg == "--link-sizes") {
      options.micro.link_sizes = parse_sizes(value());
    } else if (arg == "--keep") {
      options.keep = true;
    } else if (arg == "--data-only") {
      options.data_only = options.keep = true;
    } else {
      usage();
      std::exit(arg == "--help" || arg == "-h" ? 0 : 2);
    }
  }
  return options;
}

void check_free_space(const fs::path& folder, std::uint64_t needed) {
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0) {
    return;
  }
  const std::uint64_t free_bytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  if (free_bytes < needed) {
    throw std::runtime_error("not enough free space in " + folder.string() + " (" +
                             std::to_string(needed / kMiB) + " MiB needed)");
  }
}

}  // namespace
}  // namespace vexal::bench

int main(int argc, char** argv) {
  using namespace vexal::bench;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  fs::path root;
  try {
    const Options options = parse(argc, argv);
    if (!fs::is_regular_file(options.binary)) {
      throw std::runtime_error("tool not found: " + options.binary.string());
    }
    // The largest scenario's data, its output and its reference's output at once.
    check_free_space(options.work_parent, wanted(options, "build")   ? 3 * kGiB + 512 * kMiB
                                          : wanted(options, "large") ? 3 * kGiB + 256 * kMiB
                                                                     : kGiB);
    std::string pattern = (options.work_parent / "vexal-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a folder in " + options.work_parent.string());
    }
    root = pattern;
    std::printf("vexal_bench: %s, %d runs per figure, data in %s\n", options.binary.c_str(),
                options.runs, root.c_str());
    if (wanted(options, "build"))
      bench_build(options, root);
    if (wanted(options, "folder"))
      bench_folder(options, root);
    if (wanted(options, "large"))
      bench_large_files(options, root);
    if (wanted(options, "twolevel"))
      bench_two_level(options, root);
    if (wanted(options, "link") && !options.data_only)
      bench_micro(options);
    if (!options.keep)
      fs::remove_all(root);
    return 0;
  } catch (const std::exception& error) {
    std::printf("vexal_bench: %s\n", error.what());
    if (!root.empty()) {
      std::printf("data left in %s\n", root.c_str());
    }
    return 1;
  }
}
