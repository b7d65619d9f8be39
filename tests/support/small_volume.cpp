#include "support/small_volume.h"

#include <sys/mount.h>

#include <string>

namespace vexal::test {

SmallVolume::SmallVolume(std::uint64_t bytes, const std::filesystem::path& base) : dir_(base) {
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  mounted_ = ::mount("tmpfs", dir_.str().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallVolume::~SmallVolume() {
  if (mounted_) {
    ::umount2(dir_.str().c_str(), MNT_DETACH);
  }
}

}  // namespace vexal::test
