#include "toolkit/combine.h"

#include <cstdio>
#include <optional>

#include "archive/catalogue.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "session/console.h"
#include "session/run_steps.h"
#include "toolkit/combined_definition.h"
#include "toolkit/json_output.h"

namespace vexal::fs_tool {
namespace {

struct Request {
  std::vector<std::string> mods;
  std::string folder;  // combine: --into
};

// The mods and, for combine, --into FOLDER, in any order.
std::optional<Request> read_request(Tool& tool, const Arguments& args, bool into) {
  Request request;
  for (std::size_t i = 0; i < args.words.size(); ++i) {
    if (into && equal_ignoring_case(args.words[i], "--into") && i + 1 < args.words.size()) {
      request.folder = args.words[++i];
    } else {
      request.mods.push_back(args.words[i]);
    }
  }
  if (request.mods.empty() || (into && request.folder.empty())) {
    tool.console.explain("combine needs one or more definitions and --into FOLDER");
    tool.fail("wrong usage: see vexal_fs help combine");
    return std::nullopt;
  }
  return request;
}

// Every mod planned, and every archive any of them builds combined.
struct Combination {
  ConfigPaths config;
  GameFolders game;
  std::vector<PlannedMod> mods;
  std::vector<std::unique_ptr<ArchiveView>> game_archives;
  std::vector<CombinedArchive> archives;  // in catalogue order
  std::map<std::string, std::vector<std::string>> source_entries;
  struct Replacement {
    std::string archive;
    std::size_t mod = 0;
  };
  std::vector<Replacement> replacements;  // archives a mod replaces whole
};

// The report a build of the mod would end with, and its exit status.
int mod_failed(Tool& tool, const std::string& mod, Status status, int line) {
  tool.console.explain(mod + " would not build, so nothing is combined and nothing written");
  print_error_at_line(static_cast<int>(status), line);
  tool.console.print_explanations();
  return exit_code(status);
}

// Plans every mod, after the restore a build begins with. kSucceeded, or the exit
// status the first mod that would not build ends with (reported).
int plan_mods(Tool& tool, PlanFileSystem& plan_fs, const Request& request, Combination& result) {
  Expected<ConfigPaths> config = read_config_paths(tool.fs);
  Outcome previewed = config ? Outcome() : Outcome(config.failure());
  if (config) {
    result.config = std::move(*config);
    previewed = preview_restore(tool.fs, plan_fs, [](const std::string& /*line*/) {});
  }
  if (!previewed) {
    return mod_failed(tool, request.mods.front(), tool.console.explained(previewed.failure()), -1);
  }
  result.game = {data_folder(result.config.vexal), data_folder(result.config.vexalcd)};
  plan_fs.keep_written_bytes();
  for (const std::string& definition : request.mods) {
    const PlannedMod& mod =
        result.mods.emplace_back(plan_mod(tool, plan_fs, result.game, definition));
    if (mod.status != Status::ok) {
      return mod_failed(tool, definition, mod.status, mod.line);
    }
    for (auto& [source, names] : mod.source_entries) {
      result.source_entries.try_emplace(source, names);
    }
  }
  return kSucceeded;
}

// The game's own archive, or null when the game has none that can be read.
const ArchiveView* read_game_archive(PlanFileSystem& plan_fs, Combination& result,
                                     const std::string& path) {
  Expected<ArchiveView> read = read_archive_view(plan_fs, path);
  if (!read) {
    return nullptr;  // a game without the archive is no failure here
  }
  auto view = std::make_unique<ArchiveView>(std::move(*read));
  auto& names = result.source_entries[path];
  names.clear();
  for (const ArchiveView::Member& member : view->members) {
    names.push_back(member.name);
  }
  return result.game_archives.emplace_back(std::move(view)).get();
}

void combine_archives(PlanFileSystem& plan_fs, Combination& result) {
  for (const CatalogueEntry& catalogued : kCatalogue) {
    const std::string name(catalogued.name);
    std::optional<CombinedArchive> combined;
    for (std::size_t mod = 0; mod < result.mods.size(); ++mod) {
      for (const PlannedArchive& archive : result.mods[mod].archives) {
        if (archive.name != name) {
          continue;
        }
        if (!combined) {
          const std::string path = game_archive_path(result.game, name);
          combined.emplace(name, read_game_archive(plan_fs, result, path), path);
        }
        if (!archive.from_game) {
          result.replacements.push_back({name, mod});
        }
        combined->apply(mod, archive);
      }
    }
    if (combined) {
      result.archives.push_back(std::move(*combined));
    }
  }
}

std::string conflict_line(const Conflict& conflict, const std::vector<std::string>& mods) {
  std::string line = conflict.archive + " " + shown_name(conflict.entry);
  if (!conflict.item.empty()) {
    line += " " + shown_name(conflict.item);
  }
  line += ":";
  for (std::size_t i = 0; i < conflict.mods.size(); ++i) {
    line += (i == 0 ? " " : ", ") + mods[conflict.mods[i]];
  }
  return line + "; " + mods[conflict.mods.back()] + " wins";
}

std::vector<Conflict> all_conflicts(const Combination& result) {
  std::vector<Conflict> found;
  for (const CombinedArchive& archive : result.archives) {
    const std::vector<Conflict> conflicts = archive.conflicts();
    found.insert(found.end(), conflicts.begin(), conflicts.end());
  }
  return found;
}

void print_conflicts(const std::vector<Conflict>& conflicts, const std::vector<std::string>& mods) {
  for (const Conflict& conflict : conflicts) {
    std::printf("%s\n", conflict_line(conflict, mods).c_str());
  }
}

// Names as shown_name prints them, so that every byte of a name reaches the JSON text.
Json conflicts_json(const std::vector<Conflict>& conflicts, const std::vector<std::string>& mods) {
  Json list = Json::array();
  for (const Conflict& conflict : conflicts) {
    Json changers = Json::array();
    for (const std::size_t mod : conflict.mods) {
      changers.push_back(mods[mod]);
    }
    Json line = {{"archive", conflict.archive},
                 {"entry", shown_name(conflict.entry)},
                 {"mods", changers},
                 {"winner", mods[conflict.mods.back()]}};
    if (!conflict.item.empty()) {
      line["item"] = shown_name(conflict.item);
    }
    list.push_back(std::move(line));
  }
  return list;
}

Json combine_json(const Tool& tool, const std::string& path, const Request& request,
                  const Combination& result) {
  Json archives = Json::array();
  for (const CombinedArchive& archive : result.archives) {
    archives.push_back(archive.name());
  }
  Json replaced = Json::array();
  for (const Combination::Replacement& replacement : result.replacements) {
    replaced.push_back({{"archive", replacement.archive}, {"mod", request.mods[replacement.mod]}});
  }
  Json document = json_document(tool.command);
  document["definition"] = path;
  document["mods"] = request.mods;
  document["archives"] = std::move(archives);
  document["replaced"] = std::move(replaced);
  document["conflicts"] = conflicts_json(all_conflicts(result), request.mods);
  return document;
}

// Plans and combines the mods. kSucceeded, or the status a failed mod ends with.
int combined(Tool& tool, const Request& request, Combination& result) {
  PlanFileSystem plan_fs(tool.fs);
  if (const int status = plan_mods(tool, plan_fs, request, result); status != kSucceeded) {
    return status;
  }
  combine_archives(plan_fs, result);
  return kSucceeded;
}

bool write_file(Tool& tool, const std::string& path, std::span<const std::byte> bytes) {
  const std::size_t folder_end = last_separator(path);
  if (folder_end != std::string::npos) {
    if (const IoResult made = make_folders(tool.fs, path.substr(0, folder_end)); !made) {
      tool.console.explain(made.describe(path.substr(0, folder_end)));
      return false;
    }
  }
  return write_whole(tool, path, bytes);
}

// Writes the definition and its folder sources into a folder that holds neither yet,
// so that nothing of an earlier combination is taken for a source of this one.
int write_combination(Tool& tool, const std::string& folder, const CombinedDefinition& definition) {
  const std::string path = join_path(folder, "combined.def");
  const std::string sources = join_path(folder, kSourcesFolder);
  for (const std::string& there : {path, sources}) {
    if (tool.fs.is_file(there) || tool.fs.is_directory(there)) {
      tool.console.explain(there + " exists already: combine into a new folder, or delete it");
      return tool.fail("nothing written");
    }
  }
  for (const SourceFile& file : definition.files) {
    if (!write_file(tool, join_path(folder, file.path), file.bytes)) {
      return tool.fail("combining stopped");
    }
  }
  const std::string& text = definition.text;
  if (!write_file(tool, path, std::as_bytes(std::span(text.data(), text.size())))) {
    return tool.fail("combining stopped");
  }
  return kSucceeded;
}

}  // namespace

int combine_mods(Tool& tool, const Arguments& args) {
  const std::optional<Request> request = read_request(tool, args, true);
  if (!request) {
    return kWrongUsage;
  }
  Combination result;
  if (const int status = combined(tool, *request, result); status != kSucceeded) {
    return status;
  }
  const std::string folder = definition_path_of(tool.fs, request->folder);
  const DefinitionPlace place{folder, result.config, result.game, result.source_entries};
  const Expected<CombinedDefinition> definition =
      compose_definition(place, request->mods, result.archives);
  if (!definition) {
    tool.console.explain(definition.failure());
    return tool.fail("nothing written: the combined archives cannot be written as a definition");
  }
  if (const int status = write_combination(tool, folder, *definition); status != kSucceeded) {
    return status;
  }
  for (const Combination::Replacement& replaced : result.replacements) {
    tool.console.warn(request->mods[replaced.mod] + " replaces " + replaced.archive +
                      " whole: its block does not start from the game's archive; the mods "
                      "after it change that archive");
  }
  const std::string path = join_path(folder, "combined.def");
  if (tool.json) {
    print_json(combine_json(tool, path, *request, result));
    return kSucceeded;
  }
  print_conflicts(all_conflicts(result), request->mods);
  std::printf("%s written: %s of %s\n", path.c_str(),
              counted(result.archives.size(), "archive", "archives").c_str(),
              counted(request->mods.size(), "mod", "mods").c_str());
  return kSucceeded;
}

int show_conflicts(Tool& tool, const Arguments& args) {
  const std::optional<Request> request = read_request(tool, args, false);
  if (!request) {
    return kWrongUsage;
  }
  Combination result;
  if (const int status = combined(tool, *request, result); status != kSucceeded) {
    return status;
  }
  const std::vector<Conflict> conflicts = all_conflicts(result);
  if (tool.json) {
    Json document = json_document(tool.command);
    document["conflicts"] = conflicts_json(conflicts, request->mods);
    print_json(document);
  } else {
    print_conflicts(conflicts, request->mods);
  }
  return conflicts.empty() ? kSucceeded : kDiffers;
}

}  // namespace vexal::fs_tool
