#include "platform/moves_win32.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "platform/files_win32.h"
#include "platform/path_rules.h"

namespace vexal::win32 {
namespace {

// On the stack: a move must not fail for want of memory.
constexpr DWORD kCopyBlock = DWORD{64} << 10;

MoveResult failed(DWORD error, std::string left_behind = {}) {
  return {error, std::move(left_behind)};
}

// Creates a hidden file in the folder of path, under a name no other file has and no
// archive can have; its name goes to temp.
HANDLE create_hidden_file(const std::string& path, std::string& temp) {
  static unsigned made = 0;
  const std::size_t separator = last_separator(path);
  const std::string folder = separator == std::string::npos ? "" : path.substr(0, separator + 1);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char name[48];
    std::snprintf(name, sizeof name, ".vexal-%lx-%x.tmp", GetCurrentProcessId(), ++made);
    temp = folder + name;
    const HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
      return file;
    }
  }
  return INVALID_HANDLE_VALUE;
}

bool copy_blocks(HANDLE from, HANDLE to) {
  std::array<char, kCopyBlock> buffer;
  for (;;) {
    DWORD got = 0;
    if (ReadFile(from, buffer.data(), kCopyBlock, &got, nullptr) == 0) {
      return false;
    }
    if (got == 0) {
      return true;
    }
    DWORD put = 0;
    if (WriteFile(to, buffer.data(), got, &put, nullptr) == 0) {
      return false;
    }
    if (put != got) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
  }
}

// The bytes and the last write time of the source, written through to the disk.
bool fill_copy(HANDLE source, HANDLE copy) {
  FILETIME written{};
  return copy_blocks(source, copy) && GetFileTime(source, nullptr, nullptr, &written) != 0 &&
         SetFileTime(copy, nullptr, nullptr, &written) != 0 && FlushFileBuffers(copy) != 0;
}

// Deletes a file that a failed move made, whatever its attributes; names it when it stays.
std::string discard(const std::string& path, std::string_view what) {
  if ((SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0 &&
       DeleteFileA(path.c_str()) != 0) ||
      GetLastError() == ERROR_FILE_NOT_FOUND) {
    return {};
  }
  return std::string(what) + " " + path + " could not be deleted";
}

// The system's own copy between volumes writes under the destination's name as it goes;
// this one appears there only when it is whole and written through.
MoveResult copy_across(const std::string& from, const std::string& to, DWORD attributes,
                       const std::function<DWORD()>& remove_source) {
  // Shared only with readers: a file another program writes is no file to copy.
  Handle source(CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!source.valid()) {
    return failed(GetLastError());
  }
  std::string temp;
  Handle copy(create_hidden_file(to, temp));
  if (!copy.valid()) {
    return failed(GetLastError());
  }
  if (!fill_copy(source.get(), copy.get()) || !copy.reset() ||
      SetFileAttributesA(temp.c_str(), attributes) == 0 ||
      MoveFileExA(temp.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) == 0) {
    const DWORD error = GetLastError();
    return failed(error, discard(temp, "the unfinished copy"));
  }
  // Open, the source could not be deleted.
  const DWORD removed = source.reset() ? remove_source() : GetLastError();
  return removed == ERROR_SUCCESS ? MoveResult{} : failed(removed, discard(to, "the copy"));
}

}  // namespace

MoveResult move_no_replace(const std::string& from, const std::string& to,
                           const std::function<DWORD()>& remove_source) {
  const DWORD attributes = GetFileAttributesA(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return failed(GetLastError());
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return failed(ERROR_ACCESS_DENIED);  // only files move
  }
  // Without MOVEFILE_REPLACE_EXISTING an existing destination makes it fail.
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
    return {};
  }
  const DWORD error = GetLastError();
  return error == ERROR_NOT_SAME_DEVICE ? copy_across(from, to, attributes, remove_source)
                                        : failed(error);
}

}  // namespace vexal::win32
