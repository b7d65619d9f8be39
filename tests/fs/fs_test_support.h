// Test doubles for the archive engine: a file system that passes everything to the fake
// but can falsify listings and make writes, seeks, reads or closes fail, which the fake
// itself cannot do mid-file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fs/archive_list.h"
#include "platform/file_system.h"
#include "support/fake_file_system.h"

namespace vexal::test {

class HookedFileSystem : public FileSystem {
 public:
  explicit HookedFileSystem(FakeFileSystem& inner) : inner_(inner) {}

  std::function<void(std::vector<DirEntry>&)> edit_listing;
  int writes_before_failure = -1;  // negative: writes never fail
  bool fail_close = false;
  std::uint64_t extra_reported_size = 0;  // added to File::size of files opened for reading

  bool is_file(const std::string& path) override { return inner_.is_file(path); }
  bool is_directory(const std::string& path) override { return inner_.is_directory(path); }
  std::unique_ptr<File> open_read(const std::string& path) override {
    auto file = inner_.open_read(path);
    return file ? std::make_unique<HookedFile>(*this, std::move(file)) : nullptr;
  }
  std::unique_ptr<File> open_write(const std::string& path) override {
    auto file = inner_.open_write(path);
    return file ? std::make_unique<HookedFile>(*this, std::move(file)) : nullptr;
  }
  bool move(const std::string& from, const std::string& to) override {
    return inner_.move(from, to);
  }
  bool remove(const std::string& path) override { return inner_.remove(path); }
  bool make_directory(const std::string& path) override { return inner_.make_directory(path); }
  std::vector<DirEntry> list(const std::string& pattern, ListMode mode) override {
    auto listing = inner_.list(pattern, mode);
    if (edit_listing) {
      edit_listing(listing);
    }
    return listing;
  }
  std::string current_directory() override { return inner_.current_directory(); }
  std::string failure_reason() const override { return inner_.failure_reason(); }
  bool replace_file(const std::string& path, std::string_view contents) override {
    return inner_.replace_file(path, contents);
  }
  LockAttempt lock_exclusive(const std::string& path, bool wait) override {
    return inner_.lock_exclusive(path, wait);
  }

 private:
  class HookedFile : public File {
   public:
    HookedFile(HookedFileSystem& owner, std::unique_ptr<File> inner)
        : owner_(owner), inner_(std::move(inner)) {}
    std::size_t read(std::span<std::byte> buffer) override { return inner_->read(buffer); }
    bool write(std::span<const std::byte> bytes) override {
      if (owner_.writes_before_failure == 0) {
        return false;
      }
      if (owner_.writes_before_failure > 0) {
        --owner_.writes_before_failure;
      }
      return inner_->write(bytes);
    }
    bool seek(std::uint64_t offset) override { return inner_->seek(offset); }
    std::optional<std::uint64_t> size() override {
      const auto size = inner_->size();
      return size ? std::optional(*size + owner_.extra_reported_size) : size;
    }
    bool close() override { return inner_->close() && !owner_.fail_close; }

   private:
    HookedFileSystem& owner_;
    std::unique_ptr<File> inner_;
  };

  FakeFileSystem& inner_;
};

inline std::string data_text(const ArchiveRecord& record) {
  const std::span<const std::byte> bytes = record.bytes();
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

inline std::string entry_bytes(const ArchiveRecord& record, const Entry& entry) {
  return data_text(record).substr(static_cast<std::size_t>(entry.offset),
                                  static_cast<std::size_t>(entry.size));
}

inline std::vector<std::string> entry_names(const ArchiveRecord& record) {
  std::vector<std::string> names;
  for (const Entry& entry : record.entries) {
    names.emplace_back(entry_name(entry));
  }
  return names;
}

}  // namespace vexal::test
