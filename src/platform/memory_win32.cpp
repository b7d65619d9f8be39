#include "platform/memory.h"

namespace vexal {

// Windows grows committed memory without the per-page cost this hint avoids on Linux;
// large pages there need a privilege the tool does not ask for.
void advise_large_buffer(void*, std::size_t) {}

}  // namespace vexal
