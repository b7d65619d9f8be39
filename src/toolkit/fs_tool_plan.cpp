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
#include "toolkit/checker.h"
#include "toolkit/fs_tool.h"
#include "toolkit/json_output.h"
#include "toolkit/plan_file_system.h"

namespace vexal::fs_tool {
namespace {

// What the plan tells: printed as it is found for the text form, gathered for --json.
struct PlanReport {
  bool text = true;
  Json restore = Json::array();  // a line for each archive the restore moves or leaves
  Json adds = Json::array();
  Json outputs = Json::array();

  void restore_line(const std::string& line) {
    if (text) {
      std::printf("%s\n", line.c_str());
    }
    restore.push_back(line);
  }
};

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
  explicit AddPrinter(PlanReport& report) : report_(report) {}

  void added(const AddOutcome& outcome) override {
    const SourceArchive& source = *outcome.source;
    std::string text;
    if (outcome.added.empty() && outcome.repointed.empty()) {
      text = "adds nothing: " + std::string(source.entries.empty() ? "the source holds no entries"
                                            : outcome.taken == 0
                                                ? "the mask matches no entry"
                                                : "the names it takes are there already");
    } else if (outcome.output_was_empty) {
      text = "starts the archive with " + counted(outcome.added.size(), "entry", "entries") +
             " of " + source.path;
    } else {
      text = outcome.added.empty() ? "" : "adds " + joined(outcome.added);
      if (!outcome.repointed.empty()) {
        text += (text.empty() ? "" : "; ") + std::string("re-points ") + joined(outcome.repointed);
      }
    }
    const std::string& output = outcome.output->name;
    if (report_.text) {
      std::printf("%s: %.*s %s\n", output.c_str(), static_cast<int>(outcome.command.size()),
                  outcome.command.data(), text.c_str());
    }
    report_.adds.push_back({{"archive", output},
                            {"command", outcome.command},
                            {"source", source.path},
                            {"taken", outcome.taken},
                            {"added", shown_names(outcome.added)},
                            {"repointed", shown_names(outcome.repointed)},
                            {"does", text}});
  }

 private:
  static Json shown_names(const std::vector<std::string>& names) {
    Json shown = Json::array();
    for (const std::string& name : names) {
      shown.push_back(shown_name(name));
    }
    return shown;
  }

  PlanReport& report_;
};

// One line per archive the build saves: its size and how many entries each source gave.
void print_outputs(PlanFileSystem& plan_fs, const ArchiveList& archives, const SlotTable& slots,
                   const std::string& output_folder, PlanReport& report) {
  if (report.text) {
    std::printf("A build would save into %s:\n", output_folder.c_str());
  }
  for (const OutputArchive* output : slots) {
    if (output == nullptr) {
      continue;
    }
    std::map<std::uint32_t, std::size_t> by_source;
    for (const Link& link : output->links) {
      ++by_source[link.source];
    }
    std::string sources;
    Json source_counts = Json::array();
    for (const auto& [source, count] : by_source) {
      sources += (sources.empty() ? "; " : ", ") + std::to_string(count) + " from " +
                 archives.source(source).path;
      source_counts.push_back({{"source", archives.source(source).path}, {"entries", count}});
    }
    const std::size_t count = output->links.size();
    report.outputs.push_back({{"archive", output->name},
                              {"path", output->file_path},
                              {"entries", count},
                              {"bytes", plan_fs.written(output->file_path)},
                              {"sources", std::move(source_counts)}});
    if (report.text) {
      std::printf("  %s: %s, %s%s\n", output->name.c_str(),
                  (output->two_level ? counted(count, "group", "groups")
                                     : counted(count, "entry", "entries"))
                      .c_str(),
                  counted(plan_fs.written(output->file_path), "byte", "bytes").c_str(),
                  sources.c_str());
    }
  }
}

// How a planned build ends: ok, or the failure (its explanations kept by the console) and
// the line of the definition it arose at (-1: none); and what the checker found.
struct PlanEnd {
  Status status = Status::ok;
  int line = -1;
  Findings findings;
};

// The build's steps after its restore, through the planning file system, with the
// checker watching.
PlanEnd plan_steps(PlanFileSystem& plan_fs, ConsoleReporter& console, VariableStore& vars,
                   bool allow_cd, const std::string& definition_path, PlanReport& report) {
  int line = -1;
  ArchiveList archives;
  SlotTable slots{};
  reset_slot_table(slots);
  AddPrinter printer(report);
  QuietReporter reporter(console);
  Checker checker(reporter, printer);
  ModContext context{plan_fs, vars, archives, slots, checker, {}, &checker};
  checker.watch(context);
  set_mod_folder(context, definition_path);
  Expected<std::string> loaded = load_definition(plan_fs, definition_path);
  Status status = loaded ? Status::ok : console.explained(loaded.failure());
  const std::string text = loaded ? std::move(*loaded) : std::string();
  if (status == Status::ok) {
    const ScanResult scan = scan_definition(context, text, allow_cd);
    status = scan.outcome ? Status::ok : console.explained(scan.outcome.failure());
    line = scan.outcome ? -1 : scan.line;
  }
  Expected<std::string> output_folder = Failure(Status::programmer_error);  // until read
  if (status == Status::ok) {
    output_folder = output_folder_of(vars, definition_path);
    status = output_folder ? Status::ok : console.explained(output_folder.failure());
  }
  if (status == Status::ok) {
    checker.check_outputs(slots, text, vars.lookup("MAKE", VariableLevel::path).value_or(""));
    const Outcome allowed = check_output_folder(plan_fs, *output_folder);
    status = allowed ? Status::ok : console.explained(allowed.failure());
  }
  if (status == Status::ok) {
    const Outcome saved = save_archives(plan_fs, checker, archives, slots, *output_folder);
    status = saved ? Status::ok : console.explained(saved.failure());
  }
  if (status == Status::ok) {
    print_outputs(plan_fs, archives, slots, *output_folder, report);
  }
  return {status, line, checker.sorted_findings()};
}

// One line per finding, as compilers print theirs.
void print_findings(const std::string& file, const Findings& findings) {
  for (const Finding& finding : findings) {
    std::printf("%s:%d: warning: %s\n", file.c_str(), finding.line, finding.text.c_str());
  }
}

// The plan as one document: what the text form prints, field by field.
Json plan_document(const Tool& tool, const std::string& definition_path, PlanReport& report,
                   const Findings* findings, Status status, int line) {
  Json document = json_document(tool.command);
  document["definition"] = definition_path;
  document["restore"] = std::move(report.restore);
  document["adds"] = std::move(report.adds);
  document["outputs"] = std::move(report.outputs);
  if (findings != nullptr) {
    Json found = Json::array();
    for (const Finding& finding : *findings) {
      found.push_back({{"line", finding.line}, {"text", finding.text}});
    }
    document["findings"] = std::move(found);
  }
  document["result"] = {{"code", static_cast<int>(status)},
                        {"line", line >= 0 ? Json(line) : Json(nullptr)},
                        {"message", status == Status::ok ? "All done." : message_of(status)}};
  return document;
}

// The end of a plan in text: the findings of a check, then the build's own report.
void print_plan_end(Tool& tool, const std::string& file, const Findings* findings, Status status,
                    int line) {
  if (findings != nullptr) {
    print_findings(file, *findings);
  }
  print_text("A build would end with:\n");
  if (status == Status::ok) {
    print_text("All done.\n");
  } else {
    print_error_at_line(static_cast<int>(status), line);
    tool.console.print_explanations();
  }
}

// Plans the build; with strict, checks it too.
int plan_or_check(Tool& tool, const Arguments& args, bool strict) {
  VariableStore vars;
  PlanFileSystem plan_fs(tool.fs);
  PlanReport report{!args.json};
  const std::string definition_path = definition_path_of(tool.fs, args.words[0]);
  if (report.text) {
    std::printf("Plan of %s; nothing is written.\n", definition_path.c_str());
  }
  const Expected<ConfigPaths> settings = read_settings(tool.fs, vars);
  Status status = settings ? Status::ok
                           : tool.console.explained(
                                 with_config_hint(tool.fs, tool.command_line, settings.failure()));
  if (status == Status::ok) {
    const Outcome previewed = preview_restore(
        tool.fs, plan_fs, [&](const std::string& line) { report.restore_line(line); });
    status = previewed ? Status::ok : tool.console.explained(previewed.failure());
  }
  PlanEnd end{status, -1, {}};
  if (status == Status::ok) {
    end = plan_steps(plan_fs, tool.console, vars, settings->allow_cd, definition_path, report);
  }
  const Findings* shown = strict ? &end.findings : nullptr;
  if (report.text) {
    print_plan_end(tool, args.words[0], shown, end.status, end.line);
  } else {
    print_json(plan_document(tool, definition_path, report, shown, end.status, end.line));
    tool.console.print_explanations();
  }
  if (end.status == Status::ok && strict && !end.findings.empty()) {
    return kDiffers;
  }
  return exit_code(end.status);
}

}  // namespace

int plan_build(Tool& tool, const Arguments& args) {
  return plan_or_check(tool, args, args.strict);
}

int check_definition(Tool& tool, const Arguments& args) {
  return plan_or_check(tool, args, true);
}

}  // namespace vexal::fs_tool
