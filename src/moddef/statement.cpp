#include "moddef/statement.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>

#include "archive/source_loader.h"
#include "moddef/lost_items.h"
#include "platform/ascii.h"

namespace vexal {

namespace {

// The parser has always had room for this many parameters; a longer list is refused
// rather than cut short.
constexpr std::size_t kMaxParameters = 8;

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// The statement is cut into pieces in place: a piece ends at the first zero byte
// written over the copy, so a blank that ends a name also ends every piece that
// started before it.
class StatementParser {
 public:
  explicit StatementParser(std::string_view statement) : copy_(statement) {}

  Status parse(ModContext& context, int class_code) {
    for (std::size_t i = 0; i < copy_.size(); ++i) {
      if (const Status status = step(i); status != Status::ok) {
        return status;
      }
    }
    return finish(context, class_code);
  }

 private:
  Status step(std::size_t i) {
    const char c = copy_[i];
    switch (c) {
      case '(':
        if (list_state_ != 0 || assignment_state_ != 0 || token_start_ == i) {
          return Status::misplaced_open_paren;
        }
        take_name(i);
        list_state_ = 1;
        return Status::ok;
      case ')':
        if (list_state_ == 0 || assignment_state_ != 0) {
          return Status::misplaced_close_paren;
        }
        if (const Status status = take_parameter(i); status != Status::ok) {
          return status;
        }
        list_state_ = 0;
        return Status::ok;
      case ',':
        if (list_state_ == 0 || assignment_state_ != 0) {
          return Status::misplaced_comma;
        }
        if (const Status status = take_parameter(i); status != Status::ok) {
          return status;
        }
        token_start_ = i + 1;
        list_state_ = 1;
        return Status::ok;
      case '=':
        if (list_state_ != 0 || assignment_state_ != 0 || name_) {
          return Status::misplaced_equals;
        }
        take_name(i);
        assignment_state_ = 1;
        return Status::ok;
      case ' ':
      case '\t':
        if (assignment_state_ == 1 || list_state_ == 1) {
          token_start_ = i + 1;
        }
        if (list_state_ != 2 && assignment_state_ != 2) {
          copy_[i] = '\0';
        }
        return Status::ok;
      default:
        if (assignment_state_ == 1) {
          assignment_state_ = 2;
        }
        if (list_state_ == 1) {
          list_state_ = 2;
        }
        return Status::ok;
    }
  }

  Status finish(ModContext& context, int class_code) {
    if (list_state_ != 0 || !name_) {
      return Status::incomplete_command;
    }
    if (assignment_state_ != 0) {
      const std::string_view value = piece(token_start_);
      if (value.empty() || name_->empty()) {
        return Status::incomplete_command;
      }
      strip_trailing_blanks(token_start_);
      return exec_assignment(context, *name_, piece(token_start_), class_code);
    }
    return exec_command(context, *name_, parameters_, class_code);
  }

  void take_name(std::size_t i) {
    copy_[i] = '\0';
    name_ = std::string(piece(token_start_));
    token_start_ = i + 1;
  }

  Status take_parameter(std::size_t i) {
    if (parameters_.size() == kMaxParameters) {
      return Status::wrong_parameter_count;
    }
    copy_[i] = '\0';
    strip_trailing_blanks(token_start_);
    parameters_.emplace_back(piece(token_start_));
    return Status::ok;
  }

  // The piece that starts at the position, up to the first zero byte (or the end).
  std::string_view piece(std::size_t start) const {
    const std::string_view rest = std::string_view(copy_).substr(start);
    return rest.substr(0, rest.find('\0'));
  }

  void strip_trailing_blanks(std::size_t start) {
    std::size_t end = start + piece(start).size();
    while (end > start && is_blank(copy_[end - 1])) {
      copy_[--end] = '\0';
    }
  }

  std::string copy_;
  std::size_t token_start_ = 0;
  std::optional<std::string> name_;
  std::vector<std::string> parameters_;
  int list_state_ = 0;        // 0 outside "(...)", 1 before a parameter, 2 inside one
  int assignment_state_ = 0;  // 0 no "=", 1 before the value, 2 inside it
};

// Reads the value like "%d": leading white space, an optional sign, digits, and
// anything after them ignored. Only the sign of the number matters, so no digit
// string can overflow.
std::optional<bool> read_positive(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool any_digit = false;
  bool non_zero = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    any_digit = true;
    non_zero = non_zero || text[i] != '0';
  }
  if (!any_digit) {
    return std::nullopt;
  }
  return non_zero && !negative;
}

bool is_archive_class(int class_code) {
  return class_code >= kFirstArchiveClass && class_code <= kLastArchiveClass;
}

// The slot of the output record of an archive block, or -1.
int output_slot(const ModContext& context, int class_code) {
  const int slot = context.slots[slot_of_class(class_code)];
  return context.archives.get(slot) != nullptr ? slot : -1;
}

bool is_output_slot(const ModContext& context, int slot) {
  return std::find(context.slots.begin(), context.slots.end(), slot) != context.slots.end();
}

// Sets the output's replace mode for one command and puts the block's own mode back
// however the command ends.
class ReplaceModeScope {
 public:
  ReplaceModeScope(ArchiveList& archives, int slot, int mode) : archives_(archives), slot_(slot) {
    ArchiveRecord* output = archives_.get(slot_);
    saved_ = output->replace;
    output->replace = mode == -1 ? saved_ : mode;
  }
  ~ReplaceModeScope() {
    // A failing engine empties the list, so the record may be gone by now.
    if (ArchiveRecord* output = archives_.get(slot_)) {
      output->replace = saved_;
    }
  }
  ReplaceModeScope(const ReplaceModeScope&) = delete;
  ReplaceModeScope& operator=(const ReplaceModeScope&) = delete;

 private:
  ArchiveList& archives_;
  int slot_;
  int saved_ = 0;
};

// Counts in taken the entries that match.
Status link_matching(ArchiveList& archives, int target_slot, int source_slot, std::string_view mask,
                     std::size_t& taken) {
  // The source record is fetched anew for each entry: it is never the target, but a
  // reference into the list is only trusted for as long as the list is not touched.
  for (std::size_t i = 0;; ++i) {
    const ArchiveRecord* source = archives.get(source_slot);
    if (source == nullptr) {
      return Status::archive_not_in_list;
    }
    if (i >= source->entries.size()) {
      return Status::ok;
    }
    if (matches_entry_mask(mask, entry_name(source->entries[i]))) {
      ++taken;
      if (const Status status =
              archives.link_entry(target_slot, source_slot, static_cast<std::int64_t>(i));
          status != Status::ok) {
        return status;
      }
    }
  }
}

// The slot of the loaded source, loading it on first use.
Status obtain_source(ModContext& context, const std::string& path, int& slot) {
  slot = find_source_slot(context, path);
  if (slot >= 0) {
    return Status::ok;
  }
  if (const Status status = context.archives.append(slot); status != Status::ok) {
    return status;
  }
  return load_source(context.archives, context.fs, context.reporter, slot, path,
                     context.mod_folder);
}

// The command as written: add(ALL, %GFX%, *.TXT).
std::string command_text(std::string_view name, const std::vector<std::string>& parameters) {
  std::string text(name);
  text += '(';
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    text += (i == 0 ? "" : ", ") + parameters[i];
  }
  return text + ')';
}

// Tells the observer which names the command added and which it re-pointed.
void tell_observer(ModContext& context, AddOutcome outcome, const Links& before) {
  const ArchiveRecord& output = *context.archives.get(outcome.output_slot);
  for (std::size_t i = 0; i < output.entries.size(); ++i) {
    const Entry& entry = output.entries[i];
    if (i >= before.size()) {
      outcome.added.emplace_back(entry_name(entry));
    } else if (before[i] != std::pair(entry.source_archive, entry.source_entry)) {
      outcome.repointed.emplace_back(entry_name(entry));
    }
  }
  outcome.output_was_empty = before.empty();
  context.observer->added(outcome);
}

// Links the entries of the source (those the mask takes) into the output, in the
// replace mode of the command, and counts them in outcome.taken.
Status link_into_output(ModContext& context, int mode, AddOutcome& outcome) {
  const ReplaceModeScope replace_mode(context.archives, outcome.output_slot, mode);
  if (outcome.mask) {
    return link_matching(context.archives, outcome.output_slot, outcome.source_slot, *outcome.mask,
                         outcome.taken);
  }
  outcome.taken = context.archives.get(outcome.source_slot)->entries.size();
  return context.archives.link_archive(outcome.output_slot, outcome.source_slot);
}

// A command that took nothing is most likely a mistyped folder or mask.
void warn_if_nothing_taken(ModContext& context, const AddOutcome& outcome) {
  const ArchiveRecord& output = *context.archives.get(outcome.output_slot);
  const ArchiveRecord& source = *context.archives.get(outcome.source_slot);
  const std::string where = output.name + ": " + std::string(outcome.command) + ": ";
  if (source.entries.empty()) {
    context.reporter.warn(where + "the source \"" + source.name + "\" holds no entries");
  } else if (outcome.taken == 0) {
    context.reporter.warn(where + "the mask \"" + std::string(*outcome.mask) +
                          "\" matches no entry of \"" + source.name + "\"");
  }
}

}  // namespace

Status run_statement(ModContext& context, std::string_view statement, int class_code) {
  try {
    StatementParser parser(statement);
    return parser.parse(context, class_code);
  } catch (const std::bad_alloc&) {
    return Status::out_of_memory;
  }
}

Status exec_assignment(ModContext& context, std::string_view name, std::string_view value,
                       int class_code) {
  if (name.find('%') != std::string_view::npos) {
    return Status::invalid_variable;
  }
  if (class_code == kPathClass || class_code == kSrcClass) {
    const VariableLevel level = class_code == kPathClass ? VariableLevel::path : VariableLevel::src;
    if (Outcome defined = context.vars.define(name, value, level); !defined) {
      return explained(context.reporter, defined.failure());
    }
    return Status::ok;
  }
  if (!is_archive_class(class_code)) {
    return Status::programmer_error;
  }
  if (name != "replace") {
    return Status::invalid_variable;
  }
  const std::optional<bool> positive = read_positive(value);
  if (!positive) {
    return Status::invalid_variable_value;
  }
  ArchiveRecord* output = context.archives.get(output_slot(context, class_code));
  if (output == nullptr) {
    return Status::archive_not_in_list;
  }
  output->replace = *positive ? 1 : 0;
  return Status::ok;
}

Status exec_command(ModContext& context, std::string_view name,
                    const std::vector<std::string>& parameters, int class_code) {
  if (class_code < kFirstArchiveClass) {
    return Status::command_in_path_class;
  }
  if (class_code > kLastArchiveClass) {
    return Status::programmer_error;
  }
  if (name != "add") {
    return Status::unknown_command;
  }
  const std::size_t count = parameters.size();
  if (count > 3) {
    return Status::wrong_parameter_count;
  }
  if (count == 0) {
    return Status::invalid_command_parameter;
  }
  int mode = -1;
  if (equal_ignoring_case(parameters[0], "NEW")) {
    mode = 0;
  } else if (equal_ignoring_case(parameters[0], "ALL")) {
    mode = 1;
  }
  const std::size_t source_index = mode == -1 ? 0 : 1;
  if ((mode != -1 && count == 1) || (mode == -1 && count == 3)) {
    return Status::invalid_command_parameter;
  }
  const std::optional<std::string_view> mask =
      count > source_index + 1 ? std::optional<std::string_view>(parameters[source_index + 1])
                               : std::nullopt;

  Expected<std::string> expanded =
      context.vars.expand(parameters[source_index], VariableLevel::archive);
  if (!expanded) {
    return explained(context.reporter, expanded.failure());
  }
  const std::string& path = *expanded;
  int source_slot = -1;
  if (const Status status = obtain_source(context, path, source_slot); status != Status::ok) {
    return status;
  }
  const int target_slot = output_slot(context, class_code);
  if (target_slot < 0) {
    return Status::archive_not_in_list;
  }
  const std::string command = command_text(name, parameters);
  AddOutcome outcome;
  outcome.output_slot = target_slot;
  outcome.source_slot = source_slot;
  outcome.command = command;
  outcome.mask = mask;
  // Only re-pointed groups and the observer need to know what was linked before.
  const bool two_level = context.archives.get(target_slot)->two_level;
  const Links before = context.observer != nullptr || two_level
                           ? links_of(*context.archives.get(target_slot))
                           : Links{};
  if (const Status status = link_into_output(context, mode, outcome); status != Status::ok) {
    return status;
  }
  warn_if_nothing_taken(context, outcome);
  if (two_level) {
    warn_of_lost_items(context, target_slot, command, before);
  }
  if (context.observer != nullptr) {
    tell_observer(context, std::move(outcome), before);
  }
  return Status::ok;
}

bool matches_entry_mask(std::string_view mask, std::string_view name) {
  // Past its end the mask reads as a zero byte, which no name character equals.
  const auto mask_at = [mask](std::size_t i) { return i < mask.size() ? mask[i] : '\0'; };
  std::size_t n = 0;
  std::size_t m = 0;
  while (n < name.size() && mask_at(m) != '*') {
    if (mask_at(m) != '?' && mask_at(m) != name[n]) {
      return false;
    }
    ++n;
    ++m;
  }
  std::size_t resume = 0;
  std::size_t retry = 0;
  while (n < name.size()) {
    if (mask_at(m) == '*') {
      ++m;
      if (m >= mask.size()) {
        return true;
      }
      resume = m;
      retry = n + 1;
    } else if (mask_at(m) == name[n] || mask_at(m) == '?') {
      ++n;
      ++m;
    } else {
      m = resume;
      n = retry++;
    }
  }
  while (mask_at(m) == '*') {
    ++m;
  }
  return m >= mask.size();
}

int find_source_slot(const ModContext& context, std::string_view path) {
  for (const int slot : context.archives.find_slots(path)) {
    if (!is_output_slot(context, slot)) {
      return slot;
    }
  }
  return -1;
}

}  // namespace vexal
