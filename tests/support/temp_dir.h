// A fresh folder under the system's temporary folder for tests that touch real files,
// removed with everything in it when the object goes out of scope.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vexal::test {

class TempDir {
 public:
  // Throws std::runtime_error when no folder can be made.
  explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path());
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // The folder followed by "/" and the relative path, as a string.
  std::string join(std::string_view relative) const { return str() + "/" + std::string(relative); }
  // Writes a file below the folder, creating its parent folders.
  void write_file(std::string_view relative, std::string_view bytes) const;
  // The bytes of a file below the folder; empty when it cannot be read.
  std::string read_file(std::string_view relative) const;

 private:
  std::filesystem::path path_;
};

}  // namespace vexal::test
