// The 64-bit seek and size of a stream on POSIX systems.
#include <sys/stat.h>

#include <limits>

#include "platform/stdio_file.h"

namespace vexal {

bool seek_stream(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    return false;
  }
  return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

IoExpected<std::uint64_t> stream_size(std::FILE* file) {
  struct stat info {};
  if (::fstat(::fileno(file), &info) != 0) {
    return IoResult::failed({});
  }
  return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace vexal
