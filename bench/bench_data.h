// Test data for the benchmarks: FS archives written byte for byte in the tool's
// layouts, and folders of loose files, all filled from one pseudo-random pool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vexal::bench {

// Deterministic pseudo-random numbers (xorshift64*), so every run builds the same data.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed | 1) {}
  std::uint64_t next();
  // Uniform in [low, high].
  std::uint64_t between(std::uint64_t low, std::uint64_t high);

 private:
  std::uint64_t state_;
};

// A block of random bytes that file contents are sliced from.
class BytePool {
 public:
  explicit BytePool(std::size_t size);
  // `size` bytes starting at a position that depends on `key`; size <= the pool's size.
  std::span<const char> slice(std::uint64_t key, std::size_t size) const;

 private:
  std::vector<char> bytes_;
};

struct NamedSize {
  std::string name;
  std::uint64_t size = 0;
};

// A flat archive of the entries in the given order (the caller sorts them).
void write_flat_archive(const std::filesystem::path& path, const std::vector<NamedSize>& entries,
                        const BytePool& pool);

struct Group {
  std::string name;              // five characters
  std::vector<NamedSize> items;  // three-character names
};

// A two-level archive of the groups in the given order.
void write_two_level_archive(const std::filesystem::path& path, const std::vector<Group>& groups,
                             const BytePool& pool);

// One file per entry in the folder (created if needed).
void write_files(const std::filesystem::path& folder, const std::vector<NamedSize>& files,
                 const BytePool& pool);

}  // namespace vexal::bench
