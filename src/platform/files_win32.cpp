#include "platform/files_win32.h"

#include <algorithm>
#include <string>

namespace vexal::win32 {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;
constexpr std::size_t kDirectWriteSize = std::size_t{16} << 10;
constexpr std::size_t kCopyBlock = std::size_t{1} << 20;
constexpr std::size_t kPageSize = 4096;
// ReadFile and WriteFile count in 32 bits.
constexpr std::size_t kLargestCall = std::size_t{1} << 30;

// Reads with one call, which a file fills as far as it reaches; nullopt on an error. No
// OVERLAPPED offset: under Wine a read given one asks the server about completion ports.
std::optional<std::size_t> read_some(HANDLE file, std::span<std::byte> buffer) {
  DWORD count = 0;
  const DWORD asked = static_cast<DWORD>(std::min(buffer.size(), kLargestCall));
  if (ReadFile(file, buffer.data(), asked, &count, nullptr) == 0) {
    return std::nullopt;
  }
  return count;
}

bool seek_to(HANDLE file, std::uint64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return offset <= INT64_MAX && SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

bool write_all(HANDLE file, std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD asked = static_cast<DWORD>(std::min(bytes.size(), kLargestCall));
    if (WriteFile(file, bytes.data(), asked, &written, nullptr) == 0 || written == 0) {
      return false;
    }
    bytes = bytes.subspan(written);
  }
  return true;
}

}  // namespace

std::string reason_of(DWORD error) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) {
    message = "error " + std::to_string(error);
  }
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
             ? held_open_reason(message)
             : message;
}

bool Handle::reset() {
  const bool closed = !valid() || CloseHandle(handle_) != 0;
  handle_ = nullptr;
  return closed;
}

std::optional<FileId> id_of(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info) == 0) {
    return std::nullopt;
  }
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

SetAsideFile::~SetAsideFile() {
  SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path_.c_str());
}

MappedFile::MappedFile(Handle file, FileId id, Handle section, const void* view, std::size_t size)
    : file_(std::move(file)), id_(id), section_(std::move(section)), view_(view), size_(size) {}

MappedFile::~MappedFile() {
  if (view_ != nullptr) {
    UnmapViewOfFile(view_);
  }
  section_.reset();
  file_.reset();
}

IoExpected<std::size_t> HandleFile::read(std::span<std::byte> buffer) {
  std::size_t total = 0;
  if (!flush()) {
    return outcome(false);
  }
  while (total < buffer.size()) {
    DWORD count = 0;
    const DWORD asked = static_cast<DWORD>(std::min(buffer.size() - total, kLargestCall));
    if (ReadFile(handle_.get(), buffer.data() + total, asked, &count, nullptr) == 0) {
      fail();
      return outcome(false);
    }
    if (count == 0) {
      break;  // the end of the file
    }
    total += count;
  }
  return total;
}

IoResult HandleFile::write(std::span<const std::byte> bytes) {
  if (!handle_.valid()) {
    return outcome(false);
  }
  if (bytes.size() >= kDirectWriteSize) {
    return outcome(flush() && write_through(bytes));
  }
  if (buffered_ + bytes.size() > kBufferSize && !flush()) {
    return outcome(false);
  }
  if (!buffer_) {
    buffer_ = std::make_unique_for_overwrite<std::byte[]>(kBufferSize);
  }
  std::copy(bytes.begin(), bytes.end(), buffer_.get() + buffered_);
  buffered_ += bytes.size();
  return outcome(!failed_);
}

IoResult HandleFile::write_from(const MappedBytes& source, std::span<const std::byte> bytes) {
  const auto* const mapped = dynamic_cast<const MappedFile*>(&source);
  const std::span<const std::byte> whole = source.bytes();
  if (mapped == nullptr || bytes.size() < kDirectWriteSize || bytes.data() < whole.data() ||
      bytes.data() + bytes.size() > whole.data() + whole.size()) {
    return write(bytes);
  }
  const auto offset = static_cast<std::uint64_t>(bytes.data() - whole.data());
  return outcome(flush() &&
                 copy_blocks(mapped->file(), offset, bytes.size(), false).end == CopyEnd::copied);
}

void HandleFile::expect_size(std::uint64_t size) {
  FILE_ALLOCATION_INFO allocation{};
  allocation.AllocationSize.QuadPart =
      static_cast<LONGLONG>(std::min<std::uint64_t>(size, INT64_MAX));
  // Only a hint: where the file system cannot reserve the space, the writes take it as they go.
  SetFileInformationByHandle(handle_.get(), FileAllocationInfo, &allocation, sizeof allocation);
}

IoResult HandleFile::seek(std::uint64_t offset) {
  return outcome(flush() && seek_to(handle_.get(), offset));
}

IoExpected<std::uint64_t> HandleFile::size() {
  LARGE_INTEGER size{};
  if (!flush() || GetFileSizeEx(handle_.get(), &size) == 0) {
    return outcome(false);
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

IoResult HandleFile::close() {
  if (!handle_.valid()) {
    return outcome(false);
  }
  const bool flushed = flush();
  return outcome(handle_.reset() && flushed);
}

CopyResult HandleFile::append_from(HANDLE source, std::uint64_t size) {
  if (size >= kDirectWriteSize) {
    return flush() ? copy_blocks(source, 0, size, true) : target_failed();
  }
  // A small file is read straight into the gathered bytes, with one byte more than it
  // should hold: a file gives at once what it has, so the count tells both a short and a
  // grown file.
  if (buffered_ + size + 1 > kBufferSize && !flush()) {
    return target_failed();
  }
  if (!buffer_) {
    buffer_ = std::make_unique_for_overwrite<std::byte[]>(kBufferSize);
  }
  const auto wanted = static_cast<std::size_t>(size);
  if (read_some(source, {buffer_.get() + buffered_, wanted + 1}) != wanted) {
    return {CopyEnd::source_failed, {}};
  }
  buffered_ += wanted;
  return failed_ ? target_failed() : CopyResult{};
}

bool HandleFile::fail() {
  error_ = GetLastError();
  failed_ = true;
  return false;
}

IoResult HandleFile::outcome(bool ok) const {
  if (ok) {
    return {};
  }
  return IoResult::failed(error_ == 0 ? std::string() : reason_of(error_));
}

bool HandleFile::flush() {
  if (buffered_ > 0 && !failed_ && handle_.valid() &&
      !write_all(handle_.get(), {buffer_.get(), buffered_})) {
    fail();
  }
  buffered_ = 0;
  return !failed_ && handle_.valid();
}

bool HandleFile::write_through(std::span<const std::byte> bytes) {
  if (!failed_ && !write_all(handle_.get(), bytes)) {
    fail();
  }
  return !failed_;
}

CopyResult HandleFile::copy_blocks(HANDLE source, std::uint64_t offset, std::uint64_t size,
                                   bool to_end) {
  if (!seek_to(source, offset)) {
    return {CopyEnd::source_failed, {}};
  }
  const std::span<std::byte> block = copy_block();
  for (std::uint64_t left = size; left > 0;) {
    const std::size_t wanted = left > kCopyBlock ? kCopyBlock : static_cast<std::size_t>(left);
    // The last read asks for a byte more than is left, to find the end as well.
    const std::size_t asked = to_end && left <= kCopyBlock ? wanted + 1 : wanted;
    if (read_some(source, block.first(asked)) != wanted) {
      return {CopyEnd::source_failed, {}};
    }
    if (!write_through(block.first(wanted))) {
      return target_failed();
    }
    left -= wanted;
  }
  return {};
}

// The block starts at a page: under Wine, placing it at the output's offset within a page,
// as the POSIX backend does, measured no faster.
std::span<std::byte> HandleFile::copy_block() {
  if (!copy_buffer_) {
    copy_buffer_ = std::make_unique_for_overwrite<std::byte[]>(kPageSize + kCopyBlock + 1);
  }
  const std::size_t skip =
      (kPageSize - reinterpret_cast<std::uintptr_t>(copy_buffer_.get()) % kPageSize) % kPageSize;
  return {copy_buffer_.get() + skip, kCopyBlock + 1};
}

}  // namespace vexal::win32
