// The 64-bit seek and size of a stream on Windows, where fseek takes a 32-bit long.
#include <io.h>

#include <limits>

#include "platform/stdio_file.h"

namespace vexal {

bool seek_stream(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<__int64>::max())) {
    return false;
  }
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

std::optional<std::uint64_t> stream_size(std::FILE* file) {
  const __int64 length = _filelengthi64(_fileno(file));
  return length < 0 ? std::nullopt : std::optional(static_cast<std::uint64_t>(length));
}

}  // namespace vexal
