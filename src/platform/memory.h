// Memory hints for the large buffers that hold whole archives.
#pragma once

#include <cstddef>
#include <memory>

namespace vexal {

// Asks the operating system to back a large buffer that is about to be filled with
// large pages: filling a gigabyte page by page costs far more in page faults than the
// copying itself. Only a hint; does nothing where it is not supported or not needed.
void advise_large_buffer(void* data, std::size_t size);

// The allocator of a table of millions of records read and written at random: its memory
// is advised as above before the records are made in it, which spares the address
// translations that ordinary pages cost such a table.
template <typename T>
struct LargeTableAllocator : std::allocator<T> {
  using value_type = T;
  LargeTableAllocator() = default;
  template <typename U>
  explicit LargeTableAllocator(const LargeTableAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    T* data = std::allocator<T>::allocate(n);
    advise_large_buffer(data, n * sizeof(T));
    return data;
  }
};

}  // namespace vexal
