// plan: a build of a mod run to its end without touching anything. The definition and
// its sources are read through a file system that writes nothing: saved archives are
// counted instead of written, and while the last installation is still in place, the
// game's archives are read from the backup folder, where the restore would take them.
#include <cstdio>
#include <map>
#include <optional>
#include <unordered_map>

#include "install/config.h"
#include "install/install.h"
#include "install/restore.h"
#include "moddef/definition.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "platform/settings.h"
#include "session/run_steps.h"
#include "toolkit/fs_tool.h"
#include "toolkit/plan_file_system.h"

namespace vexal::fs_tool {
namespace {

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    text += (text.empty() ? "" : ", ") + shown_name(name);
  }
  return text;
}

// Prints what each add command does, as it runs.
class AddPrinter final : public AddObserver {
 public:
  explicit AddPrinter(const ArchiveList& archives) : archives_(archives) {}

  void added(const AddOutcome& outcome) override {
    const ArchiveRecord& source = *archives_.get(outcome.source_slot);
    std::string text;
    if (outcome.added.empty() && outcome.repointed.empty()) {
      text = "adds nothing: " + std::string(source.entries.empty() ? "the source holds no entries"
                                            : outcome.taken == 0
                                                ? "the mask matches no entry"
                                                : "the names it takes are there already");
    } else if (outcome.output_was_empty) {
      text = "starts the archive with " + counted(outcome.added.size(), "entry", "entries") +
             " of " + source.name;
    } else {
      text = outcome.added.empty() ? "" : "adds " + joined(outcome.added);
      if (!outcome.repointed.empty()) {
        text += (text.empty() ? "" : "; ") + std::string("re-points ") + joined(outcome.repointed);
      }
    }
    std::printf("%s: %.*s %s\n", archives_.get(outcome.output_slot)->name.c_str(),
                static_cast<int>(outcome.command.size()), outcome.command.data(), text.c_str());
  }

 private:
  const ArchiveList& archives_;
};

// One line per archive the build saves: its size and how many entries each source gave.
void print_outputs(PlanFileSystem& plan_fs, const ArchiveList& archives, const SlotTable& slots,
                   const std::string& output_folder) {
  std::printf("A build would save into %s:\n", output_folder.c_str());
  for (const int slot : slots) {
    const ArchiveRecord* record = archives.get(slot);
    if (record == nullptr) {
      continue;
    }
    std::map<int, std::size_t> by_source;
    for (const Entry& entry : record->entries) {
      ++by_source[entry.source_archive];
    }
    std::string sources;
    for (const auto& [source, count] : by_source) {
      sources += (sources.empty() ? "; " : ", ") + std::to_string(count) + " from " +
                 archives.get(source)->name;
    }
    const std::size_t count = record->entries.size();
    std::printf(
        "  %s: %s, %s%s\n", std::string(file_name_part(record->name)).c_str(),
        (record->two_level ? counted(count, "group", "groups") : counted(count, "entry", "entries"))
            .c_str(),
        counted(plan_fs.written(record->name), "byte", "bytes").c_str(), sources.c_str());
  }
}

// The build's steps after its restore, through the planning file system. ok or the
// failure and the line it arose at.
Status plan_steps(PlanFileSystem& plan_fs, Reporter& reporter, VariableStore& vars, bool allow_cd,
                  const std::string& definition_path, int& line) {
  ArchiveList archives;
  SlotTable slots{};
  reset_slot_table(slots);
  AddPrinter printer(archives);
  ModContext context{plan_fs, vars, archives, slots, reporter, {}, &printer};
  set_mod_folder(context, definition_path);
  std::string text;
  if (const Status status = load_definition(plan_fs, reporter, definition_path, text);
      status != Status::ok) {
    return status;
  }
  const ScanResult scan = scan_definition(context, text, allow_cd);
  if (scan.status != Status::ok) {
    line = scan.line;
    return scan.status;
  }
  std::string output_folder;
  Status status = output_folder_of(reporter, vars, definition_path, output_folder);
  if (status == Status::ok) {
    status = check_output_folder(plan_fs, reporter, output_folder);
  }
  if (status == Status::ok) {
    status = save_archives(plan_fs, reporter, archives, slots, output_folder);
  }
  if (status == Status::ok) {
    print_outputs(plan_fs, archives, slots, output_folder);
  }
  return status;
}

}  // namespace

int plan_build(Tool& tool, const Arguments& args) {
  QuietReporter reporter(tool.console);
  VariableStore vars;
  PlanFileSystem plan_fs(tool.fs);
  const std::string definition_path = definition_path_of(tool.fs, args.words[0]);
  std::printf("Plan of %s; nothing is written.\n", definition_path.c_str());
  bool allow_cd = true;
  int line = -1;
  Status status = read_settings(tool.fs, reporter, vars, allow_cd);
  if (status == Status::config_missing) {
    explain_config_beside_program(tool.fs, reporter, tool.command_line);
  }
  if (status == Status::ok) {
    status = preview_restore(tool.fs, reporter, plan_fs, RestoreLines::printed);
  }
  if (status == Status::ok) {
    status = plan_steps(plan_fs, reporter, vars, allow_cd, definition_path, line);
  }
  print_text("A build would end with:\n");
  if (status == Status::ok) {
    print_text("All done.\n");
  } else {
    print_error_at_line(static_cast<int>(status), line);
    tool.console.print_explanations();
  }
  return exit_code(status);
}

}  // namespace vexal::fs_tool
