#include "install/install_record.h"

#include <algorithm>

#include "platform/ascii.h"

namespace vexal {
namespace {

constexpr std::string_view kHeading =
    "; vexal_mod_builder: the mod installed into this folder, to put the game's own archives "
    "back. Do not edit, move or delete this file.\n";

// Each field of an entry: its key and where it is kept.
struct EntryField {
  std::string_view key;
  std::string RecordEntry::*text;
  FileIdentity RecordEntry::*identity;
};

constexpr EntryField kFields[] = {
    {"installed", &RecordEntry::installed, nullptr}, {"saved", &RecordEntry::saved, nullptr},
    {"returned", &RecordEntry::returned, nullptr},   {"mod", nullptr, &RecordEntry::mod},
    {"game", nullptr, &RecordEntry::game},
};

// Sets one field of the entry and returns its bit among the entry's fields: 0 for a key or
// value the tool does not write.
unsigned set_field(RecordEntry& entry, std::string_view key, std::string_view value) {
  if (key == "state") {
    entry.swapped = value == "swapped";
    return value == "swapped" || value == "waiting" ? 1U : 0U;
  }
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    const EntryField& field = kFields[i];
    if (field.key != key) {
      continue;
    }
    bool valid = !value.empty();
    if (field.text != nullptr) {
      entry.*field.text = std::string(value);
    } else {
      const std::optional<FileIdentity> identity = parse_identity(value);
      entry.*field.identity = identity.value_or(FileIdentity{});
      valid = identity.has_value();
    }
    return valid ? 2U << i : 0U;
  }
  return 0;
}

// The bits of an entry that has each of its fields: its state and every field above.
constexpr unsigned kWholeEntry = (2U << std::size(kFields)) - 1;

}  // namespace

RecordEntry* InstallRecord::find(std::string_view archive) {
  const auto found = std::find_if(entries.begin(), entries.end(), [&](const RecordEntry& entry) {
    return equal_ignoring_case(entry.archive, archive);
  });
  return found == entries.end() ? nullptr : &*found;
}

void InstallRecord::drop(std::string_view archive) {
  std::erase_if(entries, [&](const RecordEntry& entry) {
    return equal_ignoring_case(entry.archive, archive);
  });
}

std::string record_text(const InstallRecord& record) {
  std::string text(kHeading);
  text += "owner=" + record.owner + "\n";
  for (const RecordEntry& entry : record.entries) {
    text += "archive=" + entry.archive + "\n";
    text += std::string("state=") + (entry.swapped ? "swapped" : "waiting") + "\n";
    for (const EntryField& field : kFields) {
      text += std::string(field.key) + "=" +
              (field.text != nullptr ? entry.*field.text : identity_text(entry.*field.identity)) +
              "\n";
    }
  }
  return text;
}

std::optional<InstallRecord> parse_record(std::string_view text) {
  InstallRecord record;
  unsigned fields = 0;  // the bits of the fields the last entry has
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    const std::size_t equals = line.find('=');
    if (line.empty() || line.starts_with(';')) {
      continue;
    }
    if (equals == std::string_view::npos) {
      return std::nullopt;
    }
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "owner" && record.owner.empty() && record.entries.empty()) {
      record.owner = std::string(value);
      continue;
    }
    if (key == "archive" && !record.owner.empty() &&
        (record.entries.empty() || fields == kWholeEntry) && !value.empty()) {
      record.entries.emplace_back().archive = std::string(value);
      fields = 0;
      continue;
    }
    // Each field once: an entry with one line twice lacks another.
    const unsigned field =
        record.entries.empty() ? 0 : set_field(record.entries.back(), key, value);
    if (field == 0 || (fields & field) != 0) {
      return std::nullopt;
    }
    fields |= field;
  }
  const bool whole = !record.owner.empty() && (record.entries.empty() || fields == kWholeEntry);
  return whole ? std::optional(record) : std::nullopt;
}

std::string record_path_in(const std::string& data_folder) {
  return data_folder + kRecordFileName;
}

RecordFile load_record(FileSystem& fs, const std::string& data_folder) {
  RecordFile file;
  file.path = record_path_in(data_folder);
  file.exists = fs.stat(file.path).ok();
  if (!file.exists) {
    return file;
  }
  const IoExpected<std::string> text = read_whole_file(fs, file.path);
  std::optional<InstallRecord> record = text ? parse_record(*text) : std::nullopt;
  if (!record) {
    file.damaged = true;
    file.problem = text ? file.path +
                              ": was changed by hand or cut short, so the tool cannot "
                              "trust it"
                        : text.describe(file.path, "cannot be read");
    return file;
  }
  file.record = std::move(*record);
  return file;
}

bool store_record(FileSystem& fs, const RecordFile& file, std::string& why) {
  if (file.record.entries.empty()) {
    if (!fs.is_file(file.path)) {
      return true;
    }
    const IoResult removed = fs.remove(file.path);
    if (!removed) {
      why = removed.describe("cannot remove " + file.path);
    }
    return removed.ok();
  }
  const IoResult written = fs.replace_file(file.path, record_text(file.record));
  if (!written) {
    why = written.describe("cannot write " + file.path);
  }
  return written.ok();
}

}  // namespace vexal
