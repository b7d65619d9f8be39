// Paths on POSIX file systems, for the POSIX backend: the tool's "\" paths in "/" form, and
// names that do not exist as spelt looked up again without regard to ASCII case, since the
// tool was made for Windows, whose file system ignores letter case.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <optional>
#include <string>

namespace vexal::posix {

// The path as the operating system takes it; nullopt for a path it must not be given.
std::optional<std::string> os_form(const std::string& path);

std::string join(const std::string& base, const std::string& name);

// The folder that holds an entry; "." for a bare name.
std::string folder_of(const std::string& os_path);

bool stat_path(const std::string& path, struct stat& info);

// The spelling on disk of an existing path (in "/" form).
std::optional<std::string> resolve_existing(const std::string& os_path);

// The spelling on disk of an existing path as the tool gives it.
std::optional<std::string> resolve_existing_path(const std::string& path);

// Where a new entry goes: its existing parent folder, and the name as given.
std::optional<std::string> resolve_new(const std::string& os_path);

// The operating system's path for writing a file: the existing file in whatever case,
// or a new name in its folder.
std::optional<std::string> resolve_for_writing(const std::string& path);

// An open folder, closed when destroyed; get() is null when it could not be opened.
class DirHandle {
 public:
  explicit DirHandle(const std::string& path) : dir_(::opendir(path.c_str())) {}
  ~DirHandle() {
    if (dir_ != nullptr) {
      ::closedir(dir_);
    }
  }
  DirHandle(const DirHandle&) = delete;
  DirHandle& operator=(const DirHandle&) = delete;
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

}  // namespace vexal::posix
