#include "install/cleanup.h"

#include <memory>

#include "install/config.h"
#include "install/install_state.h"
#include "platform/settings.h"

namespace vexal {
namespace {

// What -cleanup leaves for the user to put right, one warning per archive.
void warn_still_swapped(Reporter& reporter, const ArchiveState& archive) {
  const bool mod_in_game =
      archive.entry ? archive.in_game == Holding::mod_archive : archive.key_swapped;
  const bool game_saved =
      archive.entry ? archive.in_backup == Holding::game_archive : archive.key_swapped;
  if (!mod_in_game && !game_saved) {
    return;
  }
  const std::string where = archive.installed.empty() ? "" : " (\"" + archive.installed + "\")";
  reporter.warn("the tool forgets " + archive.name + ": the game keeps " +
                (mod_in_game ? "the mod's archive" : "no archive") + where +
                ", and the game's own is \"" + archive.saved +
                "\"; put it back by hand, as the user's guide describes");
}

}  // namespace

Outcome cleanup_config(FileSystem& fs, Reporter& reporter) {
  Expected<std::unique_ptr<Settings>> opened = open_config(fs);
  if (!opened) {
    return std::move(opened).failure();
  }
  Settings& settings = **opened;
  InstallState state = read_install_state(fs, settings, fs.current_directory());
  for (const std::string& key : settings.key_names(kStatusSection)) {
    if (!is_status_path_key(key) && !settings.write_integer(kStatusSection, key, 0)) {
      return key_not_written(key);
    }
  }
  for (const ArchiveState& archive : state.archives) {
    warn_still_swapped(reporter, archive);
  }
  for (RecordFile& file : state.records) {
    if (file.exists && !file.damaged && owned_by(file.record, state.working_folder)) {
      file.record.entries.clear();
      if (std::string why; !store_record(fs, file, why)) {
        reporter.warn(why);
      }
    }
  }
  return {};
}

}  // namespace vexal
