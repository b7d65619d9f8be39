#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/memory.h"

namespace vexal {

void advise_large_buffer(void* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr std::size_t kWorthIt = std::size_t{4} << 20;  // below this, few faults to save
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (data == nullptr || size < kWorthIt || page_size <= 0) {
    return;
  }
  const auto page = static_cast<std::uintptr_t>(page_size);
  const auto address = reinterpret_cast<std::uintptr_t>(data);
  const auto begin = (address + page - 1) & ~(page - 1);
  const auto end = (address + size) & ~(page - 1);
  if (begin < end) {
    // Failure only means ordinary pages.
    ::madvise(static_cast<char*>(data) + (begin - address), end - begin, MADV_HUGEPAGE);
  }
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace vexal
