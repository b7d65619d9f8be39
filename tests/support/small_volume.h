// A folder on a file system of its own, mounted for a test: a second volume whose free
// space is known. Mounting needs privileges, so tests skip what needs one when there is
// none. POSIX only.
#pragma once

#include <cstdint>
#include <filesystem>

#include "support/temp_dir.h"

namespace vexal::test {

class SmallVolume {
 public:
  // A tmpfs of that many bytes at a fresh folder under base.
  explicit SmallVolume(std::uint64_t bytes,
                       const std::filesystem::path& base = std::filesystem::temp_directory_path());
  // Unmounts it, with everything on it.
  ~SmallVolume();
  SmallVolume(const SmallVolume&) = delete;
  SmallVolume& operator=(const SmallVolume&) = delete;

  // False when this process may not mount: the folder is then on the same volume.
  bool mounted() const { return mounted_; }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  bool mounted_ = false;
};

}  // namespace vexal::test
