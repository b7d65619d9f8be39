#include "platform/path_lookup_posix.h"

#include "platform/ascii.h"
#include "platform/path_rules.h"

namespace vexal::posix {
namespace {

bool exists(const std::string& path) {
  struct stat info {};
  return stat_path(path, info);
}

std::optional<std::string> find_ignoring_case(const std::string& folder, const std::string& name) {
  DirHandle dir(folder.empty() ? "." : folder);
  if (dir.get() == nullptr) {
    return std::nullopt;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    if (equal_ignoring_case(entry->d_name, name)) {
      return std::string(entry->d_name);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> os_form(const std::string& path) {
  if (path.empty() || path.size() >= max_path_bytes || path.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  std::string result = path;
  for (char& c : result) {
    if (c == '\\') {
      c = '/';
    }
  }
  return result;
}

std::string join(const std::string& base, const std::string& name) {
  if (base.empty()) {
    return name;
  }
  return base.back() == '/' ? base + name : base + "/" + name;
}

std::string folder_of(const std::string& os_path) {
  const std::size_t slash = os_path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : os_path.substr(0, slash);
}

bool stat_path(const std::string& path, struct stat& info) {
  return ::stat(path.c_str(), &info) == 0;
}

std::optional<std::string> resolve_existing(const std::string& os_path) {
  if (exists(os_path)) {
    return os_path;
  }
  std::string resolved = os_path.front() == '/' ? "/" : "";
  std::size_t start = 0;
  while (start < os_path.size()) {
    std::size_t end = os_path.find('/', start);
    if (end == std::string::npos) {
      end = os_path.size();
    }
    const std::string component = os_path.substr(start, end - start);
    start = end + 1;
    if (component.empty()) {
      continue;
    }
    const std::string exact = join(resolved, component);
    if (exists(exact)) {
      resolved = exact;
      continue;
    }
    const auto found = find_ignoring_case(resolved, component);
    if (!found) {
      return std::nullopt;
    }
    resolved = join(resolved, *found);
  }
  return resolved;
}

std::optional<std::string> resolve_existing_path(const std::string& path) {
  const auto os_path = os_form(path);
  return os_path ? resolve_existing(*os_path) : std::nullopt;
}

std::optional<std::string> resolve_new(const std::string& os_path) {
  std::string trimmed = os_path;
  while (trimmed.size() > 1 && trimmed.back() == '/') {
    trimmed.pop_back();
  }
  const std::size_t slash = trimmed.rfind('/');
  const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") {
    return std::nullopt;
  }
  if (slash == std::string::npos) {
    return name;
  }
  const auto parent = resolve_existing(slash == 0 ? "/" : trimmed.substr(0, slash));
  return parent ? std::optional(join(*parent, name)) : std::nullopt;
}

std::optional<std::string> resolve_for_writing(const std::string& path) {
  const auto os_path = os_form(path);
  if (!os_path) {
    return std::nullopt;
  }
  if (auto existing = resolve_existing(*os_path)) {
    return existing;
  }
  return resolve_new(*os_path);
}

}  // namespace vexal::posix
