#include "moddef/statement.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
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

  Outcome parse(ModContext& context, Block block) {
    for (std::size_t i = 0; i < copy_.size(); ++i) {
      if (const Status status = step(i); status != Status::ok) {
        return Failure(status);
      }
    }
    return finish(context, block);
  }

 private:
  // Where the statement stands: inside "(...)" of a command, or after the "=" of an
  // assignment; a blank ends a piece only outside a parameter or a value.
  enum class ListState { outside, before_parameter, in_parameter };
  enum class ValueState { no_equals, before_value, in_value };

  Status step(std::size_t i) {
    switch (copy_[i]) {
      case '(':
        return open_list(i);
      case ')':
      case ',':
        return end_parameter(i, copy_[i] == ')');
      case '=':
        return open_value(i);
      case ' ':
      case '\t':
        blank(i);
        return Status::ok;
      default:
        if (value_ == ValueState::before_value) {
          value_ = ValueState::in_value;
        }
        if (list_ == ListState::before_parameter) {
          list_ = ListState::in_parameter;
        }
        return Status::ok;
    }
  }

  Status open_list(std::size_t i) {
    if (list_ != ListState::outside || value_ != ValueState::no_equals || token_start_ == i) {
      return Status::misplaced_open_paren;
    }
    take_name(i);
    list_ = ListState::before_parameter;
    return Status::ok;
  }

  // A ")" closes the list, a "," opens the next parameter.
  Status end_parameter(std::size_t i, bool closes) {
    if (list_ == ListState::outside || value_ != ValueState::no_equals) {
      return closes ? Status::misplaced_close_paren : Status::misplaced_comma;
    }
    if (const Status status = take_parameter(i); status != Status::ok) {
      return status;
    }
    if (!closes) {
      token_start_ = i + 1;
    }
    list_ = closes ? ListState::outside : ListState::before_parameter;
    return Status::ok;
  }

  Status open_value(std::size_t i) {
    if (list_ != ListState::outside || value_ != ValueState::no_equals || name_) {
      return Status::misplaced_equals;
    }
    take_name(i);
    value_ = ValueState::before_value;
    return Status::ok;
  }

  void blank(std::size_t i) {
    if (value_ == ValueState::before_value || list_ == ListState::before_parameter) {
      token_start_ = i + 1;
    }
    if (list_ != ListState::in_parameter && value_ != ValueState::in_value) {
      copy_[i] = '\0';
    }
  }

  Outcome finish(ModContext& context, Block block) {
    if (list_ != ListState::outside || !name_) {
      return Failure(Status::incomplete_command);
    }
    if (value_ != ValueState::no_equals) {
      const std::string_view value = piece(token_start_);
      if (value.empty() || name_->empty()) {
        return Failure(Status::incomplete_command);
      }
      strip_trailing_blanks(token_start_);
      return exec_assignment(context, *name_, piece(token_start_), block);
    }
    return exec_command(context, *name_, parameters_, block);
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
  ListState list_ = ListState::outside;
  ValueState value_ = ValueState::no_equals;
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

// The output of an archive block, or null.
OutputArchive* output_of(const ModContext& context, Block block) {
  return context.slots[block.slot];
}

// Sets the output's replace mode for one command and puts the block's own mode back
// however the command ends.
class ReplaceModeScope {
 public:
  ReplaceModeScope(OutputArchive& output, AddMode mode) : output_(output), saved_(output.replace) {
    output_.replace = mode == AddMode::block ? saved_ : mode == AddMode::all;
  }
  ~ReplaceModeScope() { output_.replace = saved_; }
  ReplaceModeScope(const ReplaceModeScope&) = delete;
  ReplaceModeScope& operator=(const ReplaceModeScope&) = delete;

 private:
  OutputArchive& output_;
  bool saved_;
};

// Links the source's entries that match the mask. How many it took, or the failure.
Expected<std::size_t> link_matching(ArchiveList& archives, OutputArchive& output,
                                    const SourceArchive& source, std::string_view mask) {
  std::size_t taken = 0;
  for (std::size_t i = 0; i < source.entries.size(); ++i) {
    if (matches_entry_mask(mask, entry_name(source.entries[i]))) {
      ++taken;
      if (Outcome linked = archives.link_entry(output, source, i); !linked) {
        return std::move(linked).failure();
      }
    }
  }
  return taken;
}

// The loaded source of a path, loading it on first use. ok or the loader's failure.
Expected<const SourceArchive*> obtain_source(ModContext& context, const std::string& path) {
  if (const SourceArchive* found = find_source(context, path)) {
    return found;
  }
  SourceArchive& source = context.archives.add_source(path);
  if (Outcome loaded = load_source(context.fs, context.reporter, source, context.mod_folder);
      !loaded) {
    return std::move(loaded).failure();
  }
  return &source;
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

// The source and entry each entry of an output is linked to.
using Links = std::vector<Link>;

// Tells the observer which names the command added and which it re-pointed.
void tell_observer(ModContext& context, AddOutcome outcome, const Links& before) {
  const std::vector<Link>& links = outcome.output->links;
  for (std::size_t i = 0; i < links.size(); ++i) {
    const std::string_view name = entry_name(context.archives.linked_entry(links[i]));
    if (i >= before.size()) {
      outcome.added.emplace_back(name);
    } else if (before[i] != links[i]) {
      outcome.repointed.emplace_back(name);
    }
  }
  outcome.output_was_empty = before.empty();
  context.observer->added(outcome);
}

// Links the entries of the source (those the mask takes) into the output, in the
// replace mode of the command. How many it took, or the failure.
Expected<std::size_t> link_into_output(ModContext& context, OutputArchive& output, AddMode mode,
                                       const AddOutcome& outcome) {
  const ReplaceModeScope replace_mode(output, mode);
  if (outcome.mask) {
    return link_matching(context.archives, output, *outcome.source, *outcome.mask);
  }
  if (Outcome linked = context.archives.link_archive(output, *outcome.source); !linked) {
    return std::move(linked).failure();
  }
  return outcome.source->entries.size();
}

// A command that took nothing is most likely a mistyped folder or mask.
void warn_if_nothing_taken(ModContext& context, const AddOutcome& outcome) {
  const SourceArchive& source = *outcome.source;
  const std::string where = outcome.output->name + ": " + std::string(outcome.command) + ": ";
  if (source.entries.empty()) {
    context.reporter.warn(where + "the source \"" + source.path + "\" holds no entries");
  } else if (outcome.taken == 0) {
    context.reporter.warn(where + "the mask \"" + std::string(*outcome.mask) +
                          "\" matches no entry of \"" + source.path + "\"");
  }
}

}  // namespace

Outcome run_statement(ModContext& context, std::string_view statement, Block block) {
  StatementParser parser(statement);
  return parser.parse(context, block);
}

Outcome exec_assignment(ModContext& context, std::string_view name, std::string_view value,
                        Block block) {
  if (name.find('%') != std::string_view::npos) {
    return Failure(Status::invalid_variable);
  }
  if (const std::optional<VariableLevel> level = block.defined_level()) {
    return context.vars.define(name, value, *level);
  }
  if (!block.is_archive()) {
    return Failure(Status::programmer_error);
  }
  if (name != "replace") {
    return Failure(Status::invalid_variable);
  }
  const std::optional<bool> positive = read_positive(value);
  if (!positive) {
    return Failure(Status::invalid_variable_value);
  }
  OutputArchive* output = output_of(context, block);
  if (output == nullptr) {
    return Failure(Status::archive_not_in_list);
  }
  output->replace = *positive;
  return {};
}

Expected<AddCommand> parse_add(std::string_view name, const std::vector<std::string>& parameters) {
  if (name != "add") {
    return Failure(Status::unknown_command);
  }
  const std::size_t count = parameters.size();
  if (count > 3) {
    return Failure(Status::wrong_parameter_count);
  }
  if (count == 0) {
    return Failure(Status::invalid_command_parameter);
  }
  AddCommand command;
  if (equal_ignoring_case(parameters[0], "NEW")) {
    command.mode = AddMode::new_only;
  } else if (equal_ignoring_case(parameters[0], "ALL")) {
    command.mode = AddMode::all;
  }
  const std::size_t source_index = command.mode == AddMode::block ? 0 : 1;
  if ((command.mode != AddMode::block && count == 1) ||
      (command.mode == AddMode::block && count == 3)) {
    return Failure(Status::invalid_command_parameter);
  }
  command.source = parameters[source_index];
  if (count > source_index + 1) {
    command.mask = parameters[source_index + 1];
  }
  return command;
}

Outcome exec_command(ModContext& context, std::string_view name,
                     const std::vector<std::string>& parameters, Block block) {
  if (!block.is_archive()) {
    return Failure(Status::command_in_path_class);
  }
  Expected<AddCommand> command = parse_add(name, parameters);
  if (!command) {
    return std::move(command).failure();
  }
  return run_add(context, *command, command_text(name, parameters), block);
}

Outcome run_add(ModContext& context, const AddCommand& command, std::string_view text,
                Block block) {
  Expected<std::string> path = context.vars.expand(command.source, VariableLevel::archive);
  if (!path) {
    return std::move(path).failure();
  }
  Expected<const SourceArchive*> obtained = obtain_source(context, *path);
  if (!obtained) {
    return std::move(obtained).failure();
  }
  const SourceArchive* source = *obtained;
  OutputArchive* output = output_of(context, block);
  if (output == nullptr) {
    return Failure(Status::archive_not_in_list);
  }
  AddOutcome outcome;
  outcome.output = output;
  outcome.source = source;
  outcome.command = text;
  if (command.mask) {
    outcome.mask = *command.mask;
  }
  // Only re-pointed groups and the observer need to know what was linked before.
  const Links before = context.observer != nullptr || output->two_level ? output->links : Links{};
  Expected<std::size_t> taken = link_into_output(context, *output, command.mode, outcome);
  if (!taken) {
    return std::move(taken).failure();
  }
  outcome.taken = *taken;
  warn_if_nothing_taken(context, outcome);
  if (output->two_level) {
    warn_of_lost_items(context, *output, text, before);
  }
  if (context.observer != nullptr) {
    tell_observer(context, std::move(outcome), before);
  }
  return {};
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

const SourceArchive* find_source(const ModContext& context, std::string_view path) {
  return context.archives.find_source(path);
}

}  // namespace vexal
