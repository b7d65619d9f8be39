// Handles, mapped files and open files of the Windows backend (file_system_win32.cpp).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "platform/file_system.h"

namespace vexal::win32 {

// A handle of the system, closed when the object goes.
class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() { reset(); }
  Handle(Handle&& other) noexcept : handle_(other.release()) {}
  Handle& operator=(Handle&& other) noexcept {
    reset();
    handle_ = other.release();
    return *this;
  }
  HANDLE get() const { return handle_; }
  [[nodiscard]] HANDLE release() { return std::exchange(handle_, nullptr); }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  // Closes now; false when the close failed.
  bool reset();

 private:
  HANDLE handle_;
};

// What tells one file from every other while it exists: its volume's serial number and
// its index on the volume. A rename keeps it, a copy gets a new one.
struct FileId {
  DWORD volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId&) const = default;
};

// The system's text for an error, without its closing period and line end; for a file
// another program holds open, with what to do about it (held_open_reason).
std::string reason_of(DWORD error);

// The identity of an open file, or nullopt when the system does not tell it.
[[nodiscard]] std::optional<FileId> id_of(HANDLE file);

// A file moved out of the way under a hidden temporary name, deleted when the last mapping
// of it goes. Windows neither truncates nor deletes a mapped file, but it does rename one.
class SetAsideFile {
 public:
  explicit SetAsideFile(std::string path) : path_(std::move(path)) {}
  ~SetAsideFile();
  SetAsideFile(const SetAsideFile&) = delete;
  SetAsideFile& operator=(const SetAsideFile&) = delete;

 private:
  std::string path_;
};

// A whole file mapped read-only, with its handle kept open: runs of its bytes are copied
// into other files through the handle, since under Wine a write from the mapping faults
// every page in and keeps it in the process, which costs more than reading the bytes.
class MappedFile : public MappedBytes {
 public:
  // An empty file has no section and no view.
  MappedFile(Handle file, FileId id, Handle section, const void* view, std::size_t size);
  ~MappedFile() override;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::span<const std::byte> bytes() const override {
    return {static_cast<const std::byte*>(view_), size_};
  }
  HANDLE file() const { return file_.get(); }
  const FileId& id() const { return id_; }
  // The file now goes by the set-aside name, which is deleted once no mapping needs it.
  void set_aside(std::shared_ptr<SetAsideFile> file) { set_aside_ = std::move(file); }

 private:
  std::shared_ptr<SetAsideFile> set_aside_;  // released last, after the handles
  Handle file_;
  FileId id_;
  Handle section_;
  const void* view_;
  std::size_t size_;
};

// A file opened with CreateFile. Small writes (the directory's fields, the files of a folder
// of small files) gather in a buffer; large ones, and large copies, go straight to the file.
class HandleFile : public File {
 public:
  explicit HandleFile(Handle handle) : handle_(std::move(handle)) {}
  // Only a file given up on a failure, which its owner reports, is still open here.
  ~HandleFile() override { static_cast<void>(close()); }
  HandleFile(const HandleFile&) = delete;
  HandleFile& operator=(const HandleFile&) = delete;

  IoExpected<std::size_t> read(std::span<std::byte> buffer) override;
  IoResult write(std::span<const std::byte> bytes) override;
  // Large runs of a mapped file are read from its handle rather than from the mapping.
  IoResult write_from(const MappedBytes& source, std::span<const std::byte> bytes) override;
  void expect_size(std::uint64_t size) override;
  IoResult seek(std::uint64_t offset) override;
  IoExpected<std::uint64_t> size() override;
  IoResult close() override;
  // Copies the open file, which must hold exactly `size` bytes, to the end of this one.
  CopyResult append_from(HANDLE source, std::uint64_t size);

 private:
  // Remembers the error of the call that just failed; false, as that call returns.
  bool fail();
  // Done when ok; otherwise failed for the error of the last failed read or write (no
  // reason when none failed).
  IoResult outcome(bool ok) const;
  CopyResult target_failed() const { return {CopyEnd::target_failed, outcome(false)}; }
  // Writes out the gathered bytes; false (and the file failed) when that failed.
  [[nodiscard]] bool flush();
  [[nodiscard]] bool write_through(std::span<const std::byte> bytes);
  // Copies `size` bytes of source from offset through a block of 1 MiB; with to_end, source
  // must end right after them.
  [[nodiscard]] CopyResult copy_blocks(HANDLE source, std::uint64_t offset, std::uint64_t size,
                                       bool to_end);
  std::span<std::byte> copy_block();

  Handle handle_;
  bool failed_ = false;
  DWORD error_ = 0;  // of the last failed read or write
  std::unique_ptr<std::byte[]> buffer_;
  std::size_t buffered_ = 0;
  std::unique_ptr<std::byte[]> copy_buffer_;
};

}  // namespace vexal::win32
