// The subcommands on archive files: list, extract, pack and verify.
#include <algorithm>
#include <cstdio>
#include <set>

#include "archive/archive_writer.h"
#include "archive/source_loader.h"
#include "moddef/statement.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "session/run_steps.h"
#include "toolkit/fs_tool.h"
#include "toolkit/json_output.h"

namespace vexal::fs_tool {
namespace {

unsigned long long as_printed(std::uint64_t value) {
  return static_cast<unsigned long long>(value);
}

std::vector<const ArchiveView::Member*> picked(const ArchiveView& view,
                                               const std::vector<std::string>& words,
                                               std::size_t mask_at) {
  std::vector<const ArchiveView::Member*> members;
  for (const ArchiveView::Member& member : view.members) {
    if (words.size() <= mask_at || matches_entry_mask(words[mask_at], member.name)) {
      members.push_back(&member);
    }
  }
  return members;
}

// --- extract ---------------------------------------------------------------------------

// Why a name cannot be a file or folder of its own inside the folder extracted into, or
// nullptr when it can.
const char* why_unsafe(std::string_view name) {
  if (name.empty()) {
    return "it is empty";
  }
  if (name.find("..") != std::string_view::npos) {
    return "it holds \"..\"";
  }
  for (const char c : name) {
    if (c == '\\' || c == '/' || c == ':') {
      return "it holds \"\\\", \"/\" or \":\"";
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return "it holds a control byte";
    }
  }
  const std::string base = upper_case(name.substr(0, name.find('.')));
  const bool numbered = base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
                        base[3] >= '1' && base[3] <= '9';
  if (numbered || base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") {
    return "Windows reserves it for a device";
  }
  return nullptr;
}

// The file name as Windows compares it: letter case ignored, trailing dots and blanks
// dropped.
std::string file_key(std::string_view name) {
  std::string key = upper_case(name);
  while (!key.empty() && (key.back() == '.' || key.back() == ' ')) {
    key.pop_back();
  }
  return key;
}

struct OutputFile {
  std::string folder;  // empty, or the group's subfolder
  std::string name;
  std::span<const std::byte> bytes;
};

// The files an extract writes, or nullopt after explaining every name that cannot be
// written safely.
std::optional<std::vector<OutputFile>> output_files(
    Tool& tool, bool two_level, const std::vector<const ArchiveView::Member*>& members) {
  std::vector<OutputFile> files;
  std::set<std::string> keys;
  bool refused = false;
  const auto check = [&](const std::string& shown, std::string_view name, const std::string& key) {
    if (const char* why = why_unsafe(name)) {
      tool.console.explain("\"" + shown_name(shown) + "\" cannot be extracted: " + why);
      refused = true;
    } else if (!keys.insert(key).second) {
      tool.console.explain("\"" + shown_name(shown) + "\" would land on a file already extracted");
      refused = true;
    }
  };
  for (const ArchiveView::Member* member : members) {
    if (!two_level) {
      check(member->name, member->name, file_key(member->name));
      files.push_back({"", member->name, member->bytes});
      continue;
    }
    const std::string folder = member->name.substr(0, member->name.find_last_not_of('_') + 1);
    check(member->name, folder, file_key(folder) + "\\");
    for (const ArchiveView::Item& item : member->items) {
      check(member->name + "\\" + item.name, item.name,
            file_key(folder) + "\\" + file_key(item.name));
      files.push_back({folder, item.name, item.bytes});
    }
  }
  return refused ? std::nullopt : std::optional(std::move(files));
}

// The entries of a listing with their sizes, and the totals.
Json listing_document(const std::string& path, const ArchiveView& view,
                      const std::vector<const ArchiveView::Member*>& members) {
  Json document = json_document("list");
  document["archive"] = path;
  document["two_level"] = view.two_level;
  Json entries = Json::array();
  std::uint64_t total = 0;
  std::size_t item_count = 0;
  for (const ArchiveView::Member* member : members) {
    Json entry{{"name", shown_name(member->name)}, {"size", member->size()}};
    if (view.two_level) {
      Json items = Json::array();
      for (const ArchiveView::Item& item : member->items) {
        items.push_back({{"name", shown_name(item.name)}, {"size", item.bytes.size()}});
      }
      entry["items"] = std::move(items);
    }
    entries.push_back(std::move(entry));
    total += member->size();
    item_count += member->items.size();
  }
  document["entries"] = std::move(entries);
  document["total"] = {{"entries", members.size()}, {"items", item_count}, {"bytes", total}};
  return document;
}

}  // namespace

int list_entries(Tool& tool, const Arguments& args) {
  Expected<ArchiveView> read = read_archive_view(tool.fs, args.words[0]);
  if (!read) {
    return tool.fail(read.failure());
  }
  const ArchiveView& view = *read;
  std::uint64_t total = 0;
  std::size_t items = 0;
  const auto members = picked(view, args.words, 1);
  if (args.json) {
    print_json(listing_document(args.words[0], view, members));
    return kSucceeded;
  }
  for (const ArchiveView::Member* member : members) {
    std::printf("%10llu  %s\n", as_printed(member->size()), shown_name(member->name).c_str());
    for (const ArchiveView::Item& item : member->items) {
      std::printf("%10llu    %s\n", as_printed(item.bytes.size()), shown_name(item.name).c_str());
    }
    total += member->size();
    items += member->items.size();
  }
  const std::string counts = view.two_level ? counted(members.size(), "group", "groups") + ", " +
                                                  counted(items, "item", "items")
                                            : counted(members.size(), "entry", "entries");
  std::printf("%s, %s\n", counts.c_str(), counted(total, "byte", "bytes").c_str());
  return kSucceeded;
}

int extract_entries(Tool& tool, const Arguments& args) {
  Expected<ArchiveView> read = read_archive_view(tool.fs, args.words[0]);
  if (!read) {
    return tool.fail(read.failure());
  }
  const ArchiveView& view = *read;
  const auto files = output_files(tool, view.two_level, picked(view, args.words, 2));
  if (!files) {
    return tool.fail("nothing extracted: entry names that are no safe file names");
  }
  std::string folder = args.words[1];
  if (!ends_with_separator(folder)) {
    folder += '\\';
  }
  // The names were checked above: none holds a separator of its own.
  const auto path_of = [&](const OutputFile& file) {
    return file.folder.empty() ? folder + file.name : join_path(folder + file.folder, file.name);
  };
  bool exists = false;
  for (const OutputFile& file : *files) {
    if (!args.force && (tool.fs.is_file(path_of(file)) || tool.fs.is_directory(path_of(file)))) {
      tool.console.explain(path_of(file) + " exists already");
      exists = true;
    }
  }
  if (exists) {
    return tool.fail("nothing extracted: --force replaces existing files");
  }
  std::uint64_t total = 0;
  if (const IoResult made = make_folders(tool.fs, folder); !made) {
    tool.console.explain(made.describe(args.words[1]));
    return tool.fail("extracting stopped");
  }
  for (const OutputFile& file : *files) {
    // A group's folder is made by its first item; an existing one is fine.
    const std::string group = folder + file.folder;
    if (!file.folder.empty()) {
      if (const IoResult made = tool.fs.make_directory(group);
          !made && !tool.fs.is_directory(group)) {
        tool.console.explain(made.describe(group));
        return tool.fail("extracting stopped");
      }
    }
    if (!write_whole(tool, path_of(file), file.bytes)) {
      return tool.fail("extracting stopped");
    }
    total += file.bytes.size();
  }
  std::printf("%s, %s extracted into %s\n", counted(files->size(), "file", "files").c_str(),
              counted(total, "byte", "bytes").c_str(), args.words[1].c_str());
  return kSucceeded;
}

int pack_folder(Tool& tool, const Arguments& args) {
  const std::string& archive = args.words[1];
  const NamedLayout layout = layout_of_name(archive);
  if (layout == NamedLayout::none) {
    return tool.fail("the archive's name must end in .FS (flat) or .FSU (two-level)");
  }
  if (!args.force && tool.fs.is_file(archive)) {
    tool.console.explain(archive + " exists already");
    return tool.fail("nothing packed: --force replaces an existing archive");
  }
  QuietReporter reporter(tool.console);
  ArchiveList list;
  SourceArchive& source = list.add_source(args.words[0]);
  OutputArchive& output = list.add_output(archive, layout == NamedLayout::two_level);
  output.file_path = archive;
  Outcome packed = load_source(tool.fs, reporter, source, "");
  if (packed && source.entries.empty()) {
    reporter.warn(args.words[0] + " holds no entries");
  }
  if (packed) {
    packed = list.link_archive(output, source);
  }
  if (packed) {
    packed = save_archive(list, tool.fs, output);
  }
  if (!packed) {
    return tool.fail(tool.console.explained(packed.failure()));
  }
  const std::size_t count = output.links.size();
  std::printf(
      "%s packed into %s\n",
      (output.two_level ? counted(count, "group", "groups") : counted(count, "entry", "entries"))
          .c_str(),
      archive.c_str());
  return kSucceeded;
}

int verify_archives(Tool& tool, const Arguments& args) {
  // The reader's explanations are the result here, so they go to standard output.
  bool all_ok = true;
  Json archives = Json::array();
  for (const std::string& path : args.words) {
    const Expected<ArchiveView> view = read_archive_view(tool.fs, path);
    std::vector<std::string> problems;
    if (!view) {
      all_ok = false;
      problems = view.failure().explanations;
      if (problems.empty()) {
        problems.push_back(path + ": " + std::string(message_of(view.status())));
      }
    }
    if (args.json) {
      archives.push_back({{"path", path}, {"ok", view.has_value()}, {"problems", problems}});
      continue;
    }
    if (view) {
      std::printf("%s: ok\n", path.c_str());
    }
    for (const std::string& line : problems) {
      std::printf("%s\n", line.c_str());
    }
  }
  if (args.json) {
    Json document = json_document("verify");
    document["archives"] = std::move(archives);
    print_json(document);
  }
  return all_ok ? kSucceeded : kDiffers;
}

}  // namespace vexal::fs_tool
