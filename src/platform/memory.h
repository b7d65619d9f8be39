// Memory hints for the large buffers that hold whole archives.
#pragma once

#include <cstddef>

namespace vexal {

// Asks the operating system to back a large buffer that is about to be filled with
// large pages: filling a gigabyte page by page costs far more in page faults than the
// copying itself. Only a hint; does nothing where it is not supported or not needed.
void advise_large_buffer(void* data, std::size_t size);

}  // namespace vexal
