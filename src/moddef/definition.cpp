#include "moddef/definition.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "archive/catalogue.h"
#include "moddef/hints.h"
#include "moddef/statement.h"

namespace vexal {

namespace {

constexpr char kCarriageReturn = 13;
constexpr char kEndOfFile = 26;  // Ctrl-Z: text mode ends the file here
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Failures of the text itself, which the line they stand in explains best.
bool is_failure_of_the_text(Status status) {
  return (status >= Status::invalid_statement && status <= Status::invalid_variable_value) ||
         status == Status::archive_not_in_list;
}

// Everything the file yields, carriage returns dropped, up to Ctrl-Z; a failure when the
// file could not be read up to there.
IoExpected<std::string> read_text(File& file) {
  std::string text;
  std::array<std::byte, 4096> buffer{};
  while (true) {
    const IoExpected<std::size_t> got = file.read(buffer);
    if (!got) {
      return got.result();
    }
    if (*got == 0) {
      return text;
    }
    for (std::size_t i = 0; i < *got; ++i) {
      const char c = static_cast<char>(buffer[i]);
      if (c == kEndOfFile) {
        return text;
      }
      if (c != kCarriageReturn) {
        text.push_back(c);
      }
    }
  }
}

// One pass over the definition text; see scan_definition.
class ClassScanner {
 public:
  ClassScanner(ModContext& context, std::string_view text, bool allow_cd)
      : context_(context), text_(text), allow_cd_(allow_cd) {}

  ScanResult run() {
    Status status = Status::ok;
    while (status == Status::ok && !finished_) {
      status = step();
    }
    if (is_failure_of_the_text(status) && status != Status::unknown_class) {
      explanations_.push_back("line " + std::to_string(line_) + ": " + std::string(line_text()));
      if (hint_) {
        explanations_.push_back(*hint_);
        note(line_, *hint_);
      }
    }
    if (status == Status::ok && state_ != State::outside) {
      note(block_line_, "the block opened here is never closed: end it with '}'");
    }
    if (status == Status::ok) {
      return {{}, line_};
    }
    Failure failure(status);
    for (std::string& line : explanations_) {
      failure.because(std::move(line));
    }
    return {std::move(failure), line_};
  }

 private:
  enum class State { outside, after_class, after_name, body };

  // The line the scan stands in, without its surrounding blanks.
  std::string_view line_text() const {
    const std::size_t from = std::min(position_, text_.size());
    const std::size_t before = from == 0 ? std::string_view::npos : text_.rfind('\n', from - 1);
    const std::size_t start = before == std::string_view::npos ? 0 : before + 1;
    std::string_view line = text_.substr(start, text_.find('\n', start) - start);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
      line.remove_prefix(1);
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) {
      line.remove_suffix(1);
    }
    return line;
  }

  // The end of the string reads as the end marker, like a zero byte in the text.
  char at(std::size_t position) const { return position < text_.size() ? text_[position] : '\0'; }

  bool match(std::string_view keyword) {
    if (!text_.substr(position_).starts_with(keyword)) {
      return false;
    }
    position_ += keyword.size();
    return true;
  }

  // Tells the checker, when there is one.
  void note(int line, std::string text) {
    if (context_.findings != nullptr) {
      context_.findings->push_back({line, std::move(text)});
    }
  }

  // The character that ends the statement at the position; "//" ends it as a line end.
  char terminator() const {
    const char c = at(position_);
    return c == '/' && at(position_ + 1) == '/' ? '\n' : c;
  }

  // Ends the pending statement at the position and runs it, unless its block is skipped.
  Status run_pending() {
    const bool after_slash = after_slash_;
    after_slash_ = terminator() == '/' || (after_slash_ && terminator() != '\n');
    if (!pending_start_) {
      return Status::ok;
    }
    const StatementText statement{text_.substr(*pending_start_, position_ - *pending_start_),
                                  terminator(), after_slash};
    pending_start_.reset();
    if (!execute_) {
      return Status::ok;
    }
    context_.line = line_;
    Outcome ran = run_statement(context_, statement.text, block_);
    if (!ran) {
      hint_ = hint_for_failure(ran.status(), statement);
      // What the statement explains comes before the line it stands in.
      Failure failure = std::move(ran).failure();
      explanations_.insert(explanations_.end(), failure.explanations.begin(),
                           failure.explanations.end());
      return failure.status;
    }
    for (std::string& doubt : doubts_about(statement)) {
      note(line_, std::move(doubt));
    }
    return Status::ok;
  }

  Status step() {
    switch (const char c = at(position_)) {
      case ' ':
      case '\t':
        while (at(position_) == ' ' || at(position_) == '\t') {
          ++position_;
        }
        return Status::ok;
      case '\0': {
        finished_ = true;
        return run_pending();
      }
      case '\n':
        if (const Status status = run_pending(); status != Status::ok) {
          return status;
        }
        ++position_;
        ++line_;
        return Status::ok;
      case '/':
        if (const Status status = run_pending(); status != Status::ok) {
          return status;
        }
        skip_slash();
        return Status::ok;
      case ';':
        if (const Status status = run_pending(); status != Status::ok) {
          return status;
        }
        ++position_;
        return Status::ok;
      default:
        return by_state(c);
    }
  }

  // "//" opens a comment up to the line feed, which is left for the line counter; a
  // single "/" only ends the statement and is passed over like ";".
  void skip_slash() {
    if (at(position_ + 1) != '/') {
      ++position_;
      return;
    }
    while (at(position_) != '\n' && at(position_) != '\0') {
      ++position_;
    }
  }

  Status by_state(char c) {
    switch (state_) {
      case State::outside:
        if (!match("class")) {
          return Status::invalid_statement;
        }
        state_ = State::after_class;
        return Status::ok;
      case State::after_class:
        return class_header();
      case State::after_name:
        if (c == '{') {
          ++position_;
          state_ = State::body;
          return Status::ok;
        }
        return c == '}' ? Status::misplaced_brace : Status::misplaced_command;
      case State::body:
        if (c == '}') {
          // The block ends, but a statement still pending runs on to its terminator.
          execute_ = true;
          ++position_;
          state_ = State::outside;
          return Status::ok;
        }
        if (c == '{' && pending_start_ && text_.substr(*pending_start_).starts_with("class")) {
          hint_ = "the block opened at line " + std::to_string(block_line_) +
                  " is not closed: end it with '}' before this line";
        }
        if (c == '{') {
          return Status::misplaced_brace;
        }
        if (!pending_start_) {
          pending_start_ = position_;
        }
        ++position_;
        return Status::ok;
    }
    return Status::programmer_error;
  }

  Status class_header() {
    if (match("PATH")) {
      enter_block({BlockClass::path});
      return Status::ok;
    }
    if (match("SRC")) {
      enter_block({BlockClass::src});
      return Status::ok;
    }
    const CatalogueMatch found = match_catalogue(text_.substr(position_));
    if (!found.slot) {
      const std::string_view rest = text_.substr(position_);
      explanations_.push_back("line " + std::to_string(line_) + ": unknown class \"" +
                              std::string(rest.substr(0, rest.find_first_of(" \t\n{};/"))) +
                              "\"; the classes are PATH, SRC and the archive names, such as "
                              "BASICS.FS, in capitals");
      return Status::unknown_class;
    }
    position_ += found.length;
    const std::size_t table_slot = *found.slot;
    enter_block(Block::archive(table_slot));
    if (context_.slots[table_slot] != nullptr) {
      return Status::class_already_defined;
    }
    if (found.cd_archive && !allow_cd_) {
      // The block is still scanned for its braces; its statements are dropped unread.
      context_.reporter.warn("line " + std::to_string(line_) + ": the " +
                             std::string(kCatalogue[table_slot].name) +
                             " block is skipped, since allowcdmod in config.ini is 0 or less");
      execute_ = false;
      return Status::ok;
    }
    return create_output(table_slot);
  }

  void enter_block(Block block) {
    block_ = block;
    block_line_ = line_;
    state_ = State::after_name;
  }

  Status create_output(std::size_t table_slot) {
    const CatalogueEntry& archive = kCatalogue[table_slot];
    context_.slots[table_slot] = &context_.archives.add_output(
        std::string(archive.name), archive.two_level, archive.cd_archive);
    return Status::ok;
  }

  ModContext& context_;
  std::string_view text_;
  bool allow_cd_;
  std::size_t position_ = 0;
  State state_ = State::outside;
  Block block_;
  std::optional<std::size_t> pending_start_;
  bool execute_ = true;
  int line_ = 1;
  int block_line_ = 1;                     // of the class whose block is open
  bool after_slash_ = false;               // the last statement on this line ended at a "/"
  std::optional<std::string> hint_;        // how to fix the failure the scan ends with
  std::vector<std::string> explanations_;  // of the failure the scan ends with
  bool finished_ = false;                  // the end marker was reached
};

}  // namespace

Expected<std::string> load_definition(FileSystem& fs, const std::string& path) {
  const OpenedFile file = fs.open_read(path);
  if (!file) {
    return Failure(Status::definition_not_opened, file.describe(path));
  }
  // Part of a definition would build part of the mod.
  IoExpected<std::string> read = read_text(**file);
  if (!read) {
    return Failure(Status::definition_not_opened,
                   read.describe(path + ": cannot be read to its end", "read error"));
  }
  std::string text = std::move(*read);
  if (text.starts_with(kByteOrderMark)) {
    text.erase(0, kByteOrderMark.size());
  }
  // A last line without its line end is still ended; the end of the string is the
  // end marker.
  text.push_back('\n');
  return text;  // a file only read loses nothing when it is closed
}

void free_definition(std::string& text) {
  text.clear();
  text.shrink_to_fit();
}

ScanResult scan_definition(ModContext& context, const std::string& text, bool allow_cd) {
  return ClassScanner(context, text, allow_cd).run();
}

}  // namespace vexal
