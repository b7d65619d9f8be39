#include "toolkit/mod_changes.h"

#include "archive/catalogue.h"
#include "install/install.h"
#include "moddef/definition.h"
#include "moddef/variables.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "session/run_steps.h"

namespace vexal::fs_tool {
namespace {

// The source of the first add of each block that linked anything: the source an
// archive starts from.
class FirstSources final : public AddObserver {
 public:
  void added(const AddOutcome& outcome) override {
    if (outcome.output_was_empty && !outcome.added.empty()) {
      first_.try_emplace(outcome.output, outcome.source);
    }
  }
  const SourceArchive* first_source(const OutputArchive& output) const {
    const auto found = first_.find(&output);
    return found == first_.end() ? nullptr : found->second;
  }

 private:
  std::map<const OutputArchive*, const SourceArchive*> first_;
};

// A source's path as the loader takes it: against the mod folder unless absolute.
std::string full_source_path(const std::string& path, const std::string& mod_folder) {
  return is_absolute_path(path) ? path : join_path(mod_folder, path);
}

// Reads back the archive saved for one slot and where each of its entries came from.
Status read_back(Tool& plan_tool, const ModContext& context, const GameFolders& game,
                 const FirstSources& firsts, const OutputArchive& output, PlannedMod& mod) {
  PlannedArchive archive;
  archive.name = output.name;
  Expected<ArchiveView> built = read_archive_view(plan_tool.fs, output.file_path);
  if (!built) {
    return plan_tool.console.explained(built.failure());
  }
  archive.built = std::make_unique<ArchiveView>(std::move(*built));
  if (archive.built->members.size() != output.links.size()) {
    return Status::programmer_error;
  }
  const std::string game_path = game_archive_path(game, archive.name);
  for (const Link& link : output.links) {
    const SourceArchive& source = context.archives.source(link.source);
    std::string path = full_source_path(source.path, context.mod_folder);
    if (same_path(path, game_path)) {
      path = game_path;  // one name for the game's archive, however a mod writes it
    }
    archive.origins.push_back({path, std::string(entry_name(context.archives.linked_entry(link)))});
    auto [names, inserted] = mod.source_entries.try_emplace(path);
    if (inserted) {
      for (const Entry& source_entry : source.entries) {
        names->second.emplace_back(entry_name(source_entry));
      }
    }
  }
  if (const SourceArchive* first = firsts.first_source(output)) {
    archive.from_game = same_path(full_source_path(first->path, context.mod_folder), game_path);
  }
  mod.archives.push_back(std::move(archive));
  return Status::ok;
}

}  // namespace

std::vector<std::string> lexical_parts(std::string_view path) {
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !is_path_separator(path[i])) {
      part += path[i];
      continue;
    }
    if (part == ".." && !parts.empty() && parts.back() != "..") {
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  }
  return parts;
}

bool same_path(std::string_view a, std::string_view b) {
  return lexical_parts(upper_case(a)) == lexical_parts(upper_case(b));
}

std::string game_archive_path(const GameFolders& game, std::string_view name) {
  return installed_path(game, std::string(name));
}

namespace {

// The build's steps on plan_fs, the archives it would save read back into mod. ok, or
// the failure (explained to the console) with line set when it stands in the definition.
Status plan_steps(Tool& tool, PlanFileSystem& plan_fs, const GameFolders& game, PlannedMod& mod) {
  VariableStore vars;
  const Expected<ConfigPaths> settings = read_settings(tool.fs, vars);
  if (!settings) {
    return tool.console.explained(settings.failure());
  }
  const std::string definition_path = definition_path_of(tool.fs, mod.definition);
  ArchiveList archives;
  SlotTable slots{};
  reset_slot_table(slots);
  FirstSources firsts;
  QuietReporter reporter(tool.console);
  ModContext context{plan_fs, vars, archives, slots, reporter, {}, &firsts};
  set_mod_folder(context, definition_path);
  const Expected<std::string> text = load_definition(plan_fs, definition_path);
  if (!text) {
    return tool.console.explained(text.failure());
  }
  if (const ScanResult scan = scan_definition(context, *text, settings->allow_cd); !scan.outcome) {
    mod.line = scan.line;
    return tool.console.explained(scan.outcome.failure());
  }
  const Expected<std::string> output_folder = allowed_output_folder(plan_fs, vars, definition_path);
  if (!output_folder) {
    return tool.console.explained(output_folder.failure());
  }
  if (const Outcome saved = save_archives(plan_fs, reporter, archives, slots, *output_folder);
      !saved) {
    return tool.console.explained(saved.failure());
  }
  Tool plan_tool{plan_fs, tool.console, tool.command_line, tool.command, false};
  for (const OutputArchive* output : slots) {
    if (output == nullptr) {
      continue;
    }
    if (const Status status = read_back(plan_tool, context, game, firsts, *output, mod);
        status != Status::ok) {
      return status;
    }
  }
  return Status::ok;
}

}  // namespace

PlannedMod plan_mod(Tool& tool, PlanFileSystem& plan_fs, const GameFolders& game,
                    const std::string& definition) {
  PlannedMod mod;
  mod.definition = definition;
  mod.status = plan_steps(tool, plan_fs, game, mod);
  return mod;
}

}  // namespace vexal::fs_tool
