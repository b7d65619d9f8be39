// status: what config.ini records about the last installation, set against the files
// that are really there. It reads config.ini and the folders and writes nothing.
#include <cstdio>
#include <optional>
#include <vector>

#include "archive/catalogue.h"
#include "install/config.h"
#include "install/install_state.h"
#include "platform/ascii.h"
#include "platform/path_rules.h"
#include "platform/settings.h"
#include "session/run_steps.h"
#include "toolkit/fs_tool.h"
#include "toolkit/json_output.h"

namespace vexal::fs_tool {
namespace {

struct ArchiveRow {
  std::string key;  // as written in STATUS, empty when no key names the archive
  std::string value;
  bool swapped = false;  // the key records the mod's archive as being in the game
};

// What status tells: printed for the text form, gathered into a document for --json.
struct StatusOutput {
  bool text = true;
  Json document;
};

struct Folders {
  GameFolders game;
  std::string vexal;  // as config.ini writes them
  std::string vexalcd;
  bool game_set = false;
  bool cd_set = false;
  std::string mod_data;  // empty when no installation recorded one
  std::string backup;
};

const char* yes_no(bool yes) {
  return yes ? "yes" : "no";
}

void print_folder(StatusOutput& out, const char* key, const char* label, const std::string& value,
                  const std::string& data) {
  out.document[key] = {{"folder", value.empty() ? Json(nullptr) : Json(value)},
                       {"archives", value.empty() ? Json(nullptr) : Json(data)}};
  if (!out.text) {
    return;
  }
  if (value.empty()) {
    std::printf("%-15s(not set in [PATH])\n", label);
  } else {
    std::printf("%-15s%s (archives in %s)\n", label, value.c_str(), data.c_str());
  }
}

// Prints the folders; gives them for the table.
Folders print_folders(Tool& tool, Settings& settings, StatusOutput& out) {
  Folders folders;
  folders.game = read_game_folders(settings);
  const std::string vexal = settings.read_string(kPathSection, "vexal", "");
  const std::string vexalcd = settings.read_string(kPathSection, "vexalcd", "");
  folders.vexal = vexal;
  folders.vexalcd = vexalcd;
  folders.game_set = !vexal.empty();
  folders.cd_set = !vexalcd.empty();
  print_folder(out, "game", "Game folder:", vexal, folders.game.game_data);
  print_folder(out, "cd", "CD folder:", vexalcd, folders.game.cd_data);
  const int allow = settings.read_integer(kPathSection, "allowcdmod", 1);
  const std::string allow_text = settings.read_string(kPathSection, "allowcdmod", "");
  folders.mod_data = settings.read_string(kStatusSection, kModDataKey, "");
  folders.backup = settings.read_string(kStatusSection, kBackupKey, "");
  const bool backup_recorded = !folders.backup.empty();
  if (!backup_recorded) {
    folders.backup = join_path(tool.fs.current_directory(), "backup");
  }
  out.document["cd_archives_may_be_modded"] = allow > 0;
  out.document["installed_mod"] = folders.mod_data.empty() ? Json(nullptr) : Json(folders.mod_data);
  out.document["backup"] = {{"folder", folders.backup}, {"recorded", backup_recorded}};
  if (out.text) {
    std::printf("%-15s%s (allowcdmod=%s)\n", "CD archives:", allow > 0 ? "may be modded" : "kept",
                allow_text.c_str());
    std::printf("%-15s%s\n", "Installed mod:",
                folders.mod_data.empty() ? "none recorded" : folders.mod_data.c_str());
    std::printf(
        backup_recorded ? "%-15s%s\n" : "%-15s%s (none recorded; an installation uses this one)\n",
        "Backup folder:", folders.backup.c_str());
  }
  folders.backup = with_trailing_separator(folders.backup);
  return folders;
}

// The archives by upper-case file name, in the order they are shown: the catalogue's,
// then those only a key or a backup file names.
class ArchiveRows {
 public:
  ArchiveRow& operator[](const std::string& name) {
    for (auto& [listed, row] : rows_) {
      if (listed == name) {
        return row;
      }
    }
    return rows_.emplace_back(name, ArchiveRow{}).second;
  }
  auto begin() const { return rows_.begin(); }
  auto end() const { return rows_.end(); }

 private:
  std::vector<std::pair<std::string, ArchiveRow>> rows_;
};

ArchiveRows archive_rows(Settings& settings) {
  ArchiveRows rows;
  for (const CatalogueEntry& entry : kCatalogue) {
    rows[std::string(entry.name)];
  }
  for (const std::string& key : settings.key_names(kStatusSection)) {
    const std::string file_name = archive_of_key(key);
    if (is_status_path_key(key) || file_name.empty()) {
      continue;
    }
    ArchiveRow& row = rows[upper_case(file_name)];
    row.key = key;
    row.value = settings.read_string(kStatusSection, key, "");
    row.swapped = settings.read_integer(kStatusSection, key, -1) > 0;
  }
  return rows;
}

void print_records(const InstallState& state, std::vector<std::string>& attention,
                   StatusOutput& out) {
  out.document["owners"] = Json::array();
  for (const RecordFile& file : state.records) {
    if (file.damaged) {
      attention.push_back(file.problem);
    } else if (file.exists) {
      out.document["owners"].push_back({{"owner", file.record.owner}, {"record", file.path}});
      if (out.text) {
        std::printf("%-15s%s (record %s)\n", "Owner:", file.record.owner.c_str(),
                    file.path.c_str());
      }
      if (!owned_by(file.record, state.working_folder)) {
        attention.push_back("the mod in the game was installed from " + file.record.owner +
                            ": run vexal_mod_builder there without arguments to put the game back");
      }
    }
  }
}

// What the record tells of each archive it lists: changed since the installation, or
// what stops the restore.
void judge_recorded(const InstallState& state, std::vector<std::string>& changed,
                    std::vector<std::string>& attention) {
  for (const ArchiveState& archive : state.archives) {
    const Decision decision = archive.decision;
    if (!archive.entry) {
      continue;
    }
    if (decision == Decision::keep_both || decision == Decision::changed) {
      changed.push_back(archive.installed + " has changed since the mod was installed; the next " +
                        "run leaves it in the game" +
                        (decision == Decision::keep_both ? " and keeps the game's older one" : ""));
    } else if (decision == Decision::game_copy_lost || decision == Decision::missing ||
               decision == Decision::unreadable) {
      attention.push_back(archive.installed + ": the next run cannot put the game's own " +
                          archive.name + " back (vexal_mod_builder says why)");
    }
  }
}

// What the status shows below the table.
struct Findings {
  std::vector<std::string> attention;
  std::vector<std::string> changed;
  std::vector<std::string> kept;
};

// An archive that this working folder's record lists.
bool recorded(const InstallState& state, const std::string& name) {
  for (const ArchiveState& archive : state.archives) {
    if (archive.entry && equal_ignoring_case(archive.name, name)) {
      return true;
    }
  }
  return false;
}

// A backup file that the record keeps as the game's own archive.
bool saved_by_record(const InstallState& state, const std::string& name) {
  for (const ArchiveState& archive : state.archives) {
    if (archive.entry && archive.in_backup == Holding::game_archive &&
        equal_ignoring_case(std::string(file_name_part(archive.saved)), name)) {
      return true;
    }
  }
  return false;
}

// A relative game or CD folder means two folders: the restore takes it against the
// working folder, while %VEXAL% in a definition is a source path, taken against the mod
// folder as every relative source is.
void judge_relative_folders(const Folders& folders, std::vector<std::string>& attention) {
  for (const auto& [key, value] :
       {std::pair{"vexal", &folders.vexal}, std::pair{"vexalcd", &folders.vexalcd}}) {
    if (!value->empty() && !is_absolute_path(*value)) {
      attention.push_back(std::string(key) + "=" + *value +
                          " is a relative path: the restore takes it against this working "
                          "folder, but a build takes %" +
                          upper_case(key) +
                          "% in a definition against the mod's folder; write the full path");
    }
  }
}

void print_lines(StatusOutput& out, const char* key, const char* heading,
                 const std::vector<std::string>& lines) {
  out.document[key] = lines;
  if (!out.text) {
    return;
  }
  if (!lines.empty()) {
    std::printf("%s\n", heading);
  }
  for (const std::string& line : lines) {
    std::printf("  %s\n", line.c_str());
  }
}

// The files of the backup folder that no key nor record accounts for, and the older
// versions a restore kept there.
void scan_backup_folder(Tool& tool, const Folders& folders, const InstallState& state,
                        ArchiveRows& rows, Findings& findings) {
  const IoExpected<std::vector<DirEntry>> backups =
      tool.fs.list(folders.backup + "*", ListMode::files_only);
  if (!backups) {
    findings.attention.push_back(
        backups.describe("the backup folder " + folders.backup, "cannot be listed") +
        "; it may hold the game's only copies of its archives");
  }
  for (const DirEntry& file : backups.value_or(std::vector<DirEntry>{})) {
    if (file.name.find(".old-") != std::string::npos) {
      findings.kept.push_back(folders.backup + file.name);
    } else if (!rows[upper_case(file.name)].swapped && !saved_by_record(state, file.name)) {
      findings.attention.push_back(
          folders.backup + file.name +
          " is recorded by no key of [STATUS]: it may be the game's only copy of that archive, "
          "so keep it until you know where it belongs");
    }
  }
}

void print_table(Tool& tool, const Folders& folders, const InstallState& state,
                 const ArchiveRows& rows, Findings& findings, StatusOutput& out) {
  out.document["archives"] = Json::array();
  if (out.text) {
    std::printf("\n%-13s%-16s%-7s%-8s%s\n", "Archive", "Key", "Game", "Backup", "Output");
  }
  for (const auto& [name, row] : rows) {
    const bool game_set = match_catalogue(name).cd_archive ? folders.cd_set : folders.game_set;
    const bool in_game = game_set && tool.fs.is_file(installed_path(folders.game, name));
    const bool in_backup = tool.fs.is_file(folders.backup + name);
    const bool in_output = !folders.mod_data.empty() &&
                           tool.fs.is_file(with_trailing_separator(folders.mod_data) + name);
    if (row.key.empty() && !in_game && !in_backup && !in_output) {
      continue;
    }
    const std::string key = row.key.empty() ? "-" : row.key + "=" + row.value;
    out.document["archives"].push_back(
        {{"archive", name},
         {"key", row.key.empty() ? Json(nullptr) : Json({{"name", row.key}, {"value", row.value}})},
         {"game", in_game},
         {"backup", in_backup},
         {"output", in_output}});
    if (out.text) {
      std::printf("%-13s%-16s%-7s%-8s%s\n", name.c_str(), key.c_str(), yes_no(in_game),
                  yes_no(in_backup), yes_no(in_output));
    }
    if (row.swapped && !in_backup && !recorded(state, name)) {
      findings.attention.push_back(key + " records " + name + " as swapped in, but the backup " +
                                   "folder holds no " + name +
                                   ": the game's own archive is missing");
    }
  }
  if (out.text) {
    std::printf("\n");
  }
}

}  // namespace

int show_status(Tool& tool, const Arguments& args) {
  const Expected<std::unique_ptr<Settings>> opened = open_config(tool.fs);
  if (!opened) {
    return tool.fail(
        tool.console.explained(with_config_hint(tool.fs, tool.command_line, opened.failure())));
  }
  Settings* const settings = opened->get();
  StatusOutput out{!args.json, json_document("status")};
  const Folders folders = print_folders(tool, *settings, out);
  const InstallState state = read_install_state(tool.fs, *settings, tool.fs.current_directory());
  Findings findings;
  judge_relative_folders(folders, findings.attention);
  print_records(state, findings.attention, out);
  judge_recorded(state, findings.changed, findings.attention);
  ArchiveRows rows = archive_rows(*settings);
  scan_backup_folder(tool, folders, state, rows, findings);
  print_table(tool, folders, state, rows, findings, out);
  print_lines(out, "changed_outside", "Changed outside the tool:", findings.changed);
  print_lines(out, "older_versions_kept",
              "Older versions kept in the backup folder:", findings.kept);
  if (findings.attention.empty() && out.text) {
    std::printf("Nothing needs your attention.\n");
  }
  print_lines(out, "needs_attention", "Needs your attention:", findings.attention);
  if (!out.text) {
    print_json(out.document);
  }
  return findings.attention.empty() ? kSucceeded : kDiffers;
}

}  // namespace vexal::fs_tool
