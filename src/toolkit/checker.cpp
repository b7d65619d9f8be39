#include "toolkit/checker.h"

#include <algorithm>
#include <charconv>

#include "platform/ascii.h"
#include "platform/path_rules.h"

namespace vexal::fs_tool {

namespace {

// A warning of the scanner starts with the line it stands for: "line 7: ...".
int strip_line_prefix(std::string_view& text) {
  constexpr std::string_view kPrefix = "line ";
  if (!text.starts_with(kPrefix)) {
    return 0;
  }
  int line = 0;
  const char* first = text.data() + kPrefix.size();
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), line);
  if (error != std::errc{} || !std::string_view(end, text.data() + text.size()).starts_with(": ")) {
    return 0;
  }
  text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 2);
  return line;
}

// The line of the first assignment to the name, or 0.
int line_of_assignment(std::string_view text, std::string_view name) {
  for (std::size_t at = text.find(name); at != std::string_view::npos;
       at = text.find(name, at + 1)) {
    const std::size_t after = text.find_first_not_of(" \t", at + name.size());
    const bool starts_word = at == 0 || text.find_first_of(" \t\n{;", at - 1) == at - 1;
    if (starts_word && after != std::string_view::npos && text[after] == '=') {
      return 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
    }
  }
  return 0;
}

// True when a folder name of the path climbs out with "..".
bool climbs_out(std::string_view path) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    end = end == std::string_view::npos ? path.size() : end;
    if (path.substr(start, end - start) == "..") {
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace

void Checker::watch(ModContext& context) {
  context_ = &context;
  context.findings = &findings_;
}

void Checker::warn(std::string_view text) {
  console_.warn(text);
  const int line = strip_line_prefix(text);
  findings_.push_back(
      {line != 0 ? line : (context_ != nullptr ? context_->line : 0), std::string(text)});
}

void Checker::added(const AddOutcome& outcome) {
  printer_.added(outcome);
  const ArchiveRecord& source = *archives_.get(outcome.source_slot);
  const ArchiveRecord& output = *archives_.get(outcome.output_slot);
  const int line = context_ != nullptr ? context_->line : 0;
  Block& block = blocks_[outcome.output_slot];
  if (block.first_add_line == 0) {
    block.first_add_line = line;
  }
  if (source.folder.empty() && equal_ignoring_case(file_name_part(source.name), output.name)) {
    block.takes_game_archive = true;
  }
  // An empty source or a mask that matches nothing is a warning of the build already.
  if (outcome.taken > 0 && outcome.added.empty() && outcome.repointed.empty()) {
    findings_.push_back({line, output.name + ": " + std::string(outcome.command) +
                                   " adds nothing: the names it takes are there already; "
                                   "add(ALL, ...) or replace = 1 puts them in instead"});
  }
}

void Checker::check_outputs(const SlotTable& slots, std::string_view definition_text,
                            std::string_view make) {
  for (const int slot : slots) {
    const auto block = blocks_.find(slot);
    if (block == blocks_.end() || block->second.takes_game_archive) {
      continue;
    }
    const ArchiveRecord& output = *archives_.get(slot);
    const std::string name(file_name_part(output.name));
    const std::string folder = output.cd_archive ? "%VEXALCD%" : "%VEXAL%";
    findings_.push_back({block->second.first_add_line,
                         name + " is built without the game's " + name +
                             ": the whole archive is replaced by what the block adds; start the "
                             "block with add(" +
                             folder + "\\data\\" + name + ") to change only some of its entries"});
  }
  if (climbs_out(make) || is_absolute_path(std::string(make))) {
    findings_.push_back({line_of_assignment(definition_text, "MAKE"),
                         "the output folder MAKE = " + std::string(make) +
                             " lies outside the mod folder: name a folder inside it, such as "
                             "MAKE = out"});
  }
}

Findings Checker::sorted_findings() const {
  Findings sorted = findings_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  sorted.erase(std::unique(sorted.begin(), sorted.end(),
                           [](const Finding& a, const Finding& b) {
                             return a.line == b.line && a.text == b.text;
                           }),
               sorted.end());
  return sorted;
}

}  // namespace vexal::fs_tool
