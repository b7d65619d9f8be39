#include "bench_data.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace vexal::bench {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr create(const std::filesystem::path& path) {
  FilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    throw std::runtime_error("cannot create " + path.string());
  }
  return file;
}

void put(std::FILE* file, std::span<const char> bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    throw std::runtime_error("write failed (disk full?)");
  }
}

void put_le(std::FILE* file, std::uint64_t value, std::size_t width) {
  char bytes[8];
  for (std::size_t i = 0; i < width; ++i) {
    bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  put(file, {bytes, width});
}

void put_name(std::FILE* file, const std::string& name, std::size_t width) {
  std::string field = name;
  field.resize(width, '\0');
  put(file, field);
}

void finish(FilePtr file, const std::filesystem::path& path) {
  if (std::fclose(file.release()) != 0) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

}  // namespace

std::uint64_t Random::next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return state_ * 0x2545F4914F6CDD1DULL;
}

std::uint64_t Random::between(std::uint64_t low, std::uint64_t high) {
  return low + next() % (high - low + 1);
}

BytePool::BytePool(std::size_t size) : bytes_(size) {
  Random random(0x5EED);
  for (char& byte : bytes_) {
    byte = static_cast<char>(random.next() >> 56);
  }
}

std::span<const char> BytePool::slice(std::uint64_t key, std::size_t size) const {
  const std::size_t room = bytes_.size() - size;
  const std::size_t start = room == 0 ? 0 : static_cast<std::size_t>((key * 2654435761u) % room);
  return {bytes_.data() + start, size};
}

void write_flat_archive(const std::filesystem::path& path, const std::vector<NamedSize>& entries,
                        const BytePool& pool) {
  FilePtr file = create(path);
  put_le(file.get(), entries.size(), 4);
  std::uint64_t offset = 4 + 21 * entries.size();
  for (const NamedSize& entry : entries) {
    put_name(file.get(), entry.name, 13);
    put_le(file.get(), offset, 4);
    put_le(file.get(), entry.size, 4);
    offset += entry.size;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    put(file.get(), pool.slice(i, entries[i].size));
  }
  finish(std::move(file), path);
}

void write_two_level_archive(const std::filesystem::path& path, const std::vector<Group>& groups,
                             const BytePool& pool) {
  FilePtr file = create(path);
  std::uint64_t tables = 8 + 9 * groups.size();
  std::uint64_t data_start = tables;
  for (const Group& group : groups) {
    data_start += 2 + 9 * group.items.size();
  }
  put_le(file.get(), data_start, 4);
  put_le(file.get(), groups.size(), 4);
  for (const Group& group : groups) {
    put_name(file.get(), group.name, 5);
    put_le(file.get(), tables, 4);
    tables += 2 + 9 * group.items.size();
  }
  std::uint64_t offset = data_start;
  for (const Group& group : groups) {
    put_le(file.get(), group.items.size(), 2);
    for (const NamedSize& item : group.items) {
      put_name(file.get(), item.name, 3);
      put_le(file.get(), offset, 4);
      put_le(file.get(), item.size, 2);
      offset += item.size;
    }
  }
  std::uint64_t key = 0;
  for (const Group& group : groups) {
    for (const NamedSize& item : group.items) {
      put(file.get(), pool.slice(key++, item.size));
    }
  }
  finish(std::move(file), path);
}

void write_files(const std::filesystem::path& folder, const std::vector<NamedSize>& files,
                 const BytePool& pool) {
  std::filesystem::create_directories(folder);
  std::uint64_t key = 7;
  for (const NamedSize& entry : files) {
    const std::filesystem::path path = folder / entry.name;
    FilePtr file = create(path);
    put(file.get(), pool.slice(key++, entry.size));
    finish(std::move(file), path);
  }
}

}  // namespace vexal::bench
