#include "install/restore.h"

#include <memory>

#include "install/archive_moves.h"
#include "install/config.h"
#include "platform/settings.h"

namespace vexal {

namespace {

// How the restore of one archive that only config.ini records ended.
enum class RestoreStatus {
  restored,          // mod archive returned, game archive back
  mod_not_returned,  // game archive back, but the mod archive could not be moved out
  game_not_back,     // game archive still missing from the game's folder
};

RestoreStatus restore_as_before(FileSystem& fs, Reporter& reporter, const ArchiveState& archive) {
  // Without a saved copy the restore cannot succeed, and the file in the game's folder
  // may be the game's own archive, put back by a run that died before it cleared the
  // key: moving it out into the mod data folder would leave it where a failed move back
  // or the next build would lose it.
  if (!fs.is_file(archive.saved)) {
    reporter.explain("\"" + archive.saved + "\" is missing: the game's archive was not moved");
    return RestoreStatus::game_not_back;
  }
  const bool mod_returned = move_file(fs, archive.installed, archive.returned, true);
  const std::string not_returned =
      mod_returned ? std::string() : move_failure(fs, archive.installed, archive.returned);
  if (move_file(fs, archive.saved, archive.installed, true)) {
    if (!mod_returned) {
      reporter.warn(not_returned);
    }
    return mod_returned ? RestoreStatus::restored : RestoreStatus::mod_not_returned;
  }
  reporter.explain(move_failure(fs, archive.saved, archive.installed));
  // Only a mod archive that really left may be put back: if it never left, the
  // returned path holds some other file, and replacing the game's folder with it could
  // destroy a game archive that an interrupted earlier restore had already put back.
  if (mod_returned && !move_file(fs, archive.returned, archive.installed, true)) {
    reporter.explain(move_failure(fs, archive.returned, archive.installed) + "; the mod's " +
                     archive.name + " is in \"" + archive.returned + "\"");
  }
  return RestoreStatus::game_not_back;
}

// How the restore of a recorded archive ended.
enum class Settlement {
  settled,           // the game has its file back; the record forgets the archive
  mod_not_returned,  // settled, but the mod's archive was deleted instead of returned
  failed,            // nothing more moves until the user acts (501)
};

// Moves the mod's archive out of the game into its output folder. Where that folder
// cannot take it (deleted, full, or holding another file), the archive is deleted: the
// record proves it is the tool's own, and a build makes it again. Returns whether it
// reached the output folder; sets gone when the game's folder no longer holds it.
bool take_mod_out(FileSystem& fs, Reporter& reporter, const ArchiveState& archive, bool& gone) {
  std::string why;
  if (holding_at(fs, archive.returned, *archive.entry, why) == Holding::mod_archive) {
    // A copy left by a move between drives that was cut short.
    gone = fs.remove(archive.returned) && fs.move(archive.installed, archive.returned);
  } else {
    gone = !fs.stat(archive.returned) && fs.move(archive.installed, archive.returned);
  }
  if (gone) {
    return true;
  }
  const std::string not_returned = fs.stat(archive.returned)
                                       ? "\"" + archive.returned + "\" holds another file"
                                       : move_failure(fs, archive.installed, archive.returned);
  gone = fs.remove(archive.installed);
  if (gone) {
    reporter.warn(not_returned + "; the mod's " + archive.name + " was deleted from the game " +
                  "instead (build the mod again to get it back)");
  } else {
    reporter.explain(describe_failure(
        fs, "cannot move the mod's archive out of the game: " + archive.installed));
  }
  return false;
}

Settlement swap_back(FileSystem& fs, Reporter& reporter, const ArchiveState& archive) {
  bool gone = false;
  const bool returned = take_mod_out(fs, reporter, archive, gone);
  if (!gone) {
    return Settlement::failed;
  }
  if (fs.move(archive.saved, archive.installed)) {
    return returned ? Settlement::settled : Settlement::mod_not_returned;
  }
  reporter.explain(move_failure(fs, archive.saved, archive.installed));
  if (returned && !fs.move(archive.returned, archive.installed)) {
    reporter.explain("the game lacks " + archive.name + ": its own is in \"" + archive.saved +
                     "\", the mod's in \"" + archive.returned + "\"");
  }
  return Settlement::failed;
}

// The game keeps the file it holds, which it got from a patch, a repair or by hand; the
// game's archive that the installation saved is kept under a name of its own.
Settlement keep_both(FileSystem& fs, Reporter& reporter, const ArchiveState& archive) {
  const std::string kept = kept_name(fs, archive.saved);
  if (!fs.move(archive.saved, kept)) {
    reporter.explain(move_failure(fs, archive.saved, kept));
    return Settlement::failed;
  }
  reporter.warn("\"" + archive.installed + "\" has changed since the mod was installed (a " +
                "patch or a repair of the game?), so it stays in the game; the game's " +
                archive.name + " that it replaced is kept as \"" + kept + "\"");
  return Settlement::settled;
}

// The game's own archive is in place, and a copy of it (the same identity) was left in
// the backup folder by a move between drives that was cut short.
Settlement drop_copy(FileSystem& fs, Reporter& reporter, const ArchiveState& archive) {
  if (!fs.remove(archive.saved)) {
    reporter.warn(describe_failure(fs, "cannot remove " + archive.saved) +
                  "; it is a copy of the game's own archive, which is back in the game");
  }
  return Settlement::settled;
}

}  // namespace

void explain_refusal(Reporter& reporter, const ArchiveState& archive) {
  const std::string take = "take " + archive.name +
                           " from the game's CD or installation (or let the game's store "
                           "verify its files), then run the tool again";
  if (archive.decision == Decision::game_copy_lost) {
    reporter.explain("\"" + archive.installed + "\" still holds the mod's " + archive.name +
                     ", but the game's own copy is gone from \"" + archive.saved + "\": " + take);
  } else if (archive.decision == Decision::missing) {
    reporter.explain("the game lacks " + archive.name + ": neither \"" + archive.installed +
                     "\" nor \"" + archive.saved + "\" holds it; " + take);
  } else {
    reporter.explain(archive.why_unreadable);
  }
}

namespace {

Settlement restore_recorded(FileSystem& fs, Reporter& reporter, const ArchiveState& archive) {
  switch (archive.decision) {
    case Decision::swap_back:
      return swap_back(fs, reporter, archive);
    case Decision::put_back:
      if (fs.move(archive.saved, archive.installed)) {
        return Settlement::settled;
      }
      reporter.explain(move_failure(fs, archive.saved, archive.installed));
      return Settlement::failed;
    case Decision::keep_both:
      return keep_both(fs, reporter, archive);
    case Decision::changed:
      reporter.warn("\"" + archive.installed + "\" has changed since the mod was installed (a " +
                    "patch or a repair of the game?), so it stays in the game");
      return Settlement::settled;
    case Decision::drop_copy:
      return drop_copy(fs, reporter, archive);
    case Decision::settled:
    case Decision::as_before:
      return Settlement::settled;
    case Decision::game_copy_lost:
    case Decision::missing:
    case Decision::unreadable:
      break;
  }
  explain_refusal(reporter, archive);
  return Settlement::failed;
}

// One archive: its progress line, its moves, its key and its record entry. ok,
// restore_failed (the walk goes on) or config_not_written (the walk ends).
Status restore_one(FileSystem& fs, Reporter& reporter, Settings& settings, InstallState& state,
                   const ArchiveState& archive) {
  const bool shown = archive.key_swapped || archive.decision != Decision::settled;
  if (shown) {
    reporter.begin(Reporter::Step::restoring_archive, archive.name);
  }
  bool failed = false;
  if (!archive.entry) {
    const RestoreStatus status = restore_as_before(fs, reporter, archive);
    reporter.end(status == RestoreStatus::restored);
    failed = status == RestoreStatus::game_not_back;
  } else {
    const Settlement outcome = restore_recorded(fs, reporter, archive);
    if (shown) {
      reporter.end(outcome == Settlement::settled);
    }
    failed = outcome == Settlement::failed;
  }
  if (failed) {
    return Status::restore_failed;
  }
  if (archive.key_swapped && !settings.write_integer(kStatusSection, archive.key, 0)) {
    return key_not_written(reporter, archive.key);
  }
  if (RecordFile* file = archive.entry ? state.record_of(archive.installed) : nullptr) {
    file->record.drop(archive.name);
    if (std::string why; !store_record(fs, *file, why)) {
      reporter.warn(why);
    }
  }
  return Status::ok;
}

}  // namespace

Status check_restore(Reporter& reporter, const InstallState& state, bool& skip) {
  if (const RecordFile* foreign = state.foreign_record()) {
    explain_foreign_record(reporter, *foreign);
    return Status::restore_failed;
  }
  // Installations of earlier versions, which config.ini alone records, need both path keys.
  skip = !state.path_keys_present || state.mod_data.empty() || state.backup.empty();
  if (!skip || !state.path_keys_present || state.pending_key.empty()) {
    return Status::ok;
  }
  reporter.explain(
      std::string("config.ini: the key ") + (state.mod_data.empty() ? kModDataKey : kBackupKey) +
      " of [STATUS] is empty, but " + state.pending_key + " records an archive as swapped in");
  return Status::status_paths_missing;
}

void explain_foreign_record(Reporter& reporter, const RecordFile& record) {
  if (record.damaged) {
    reporter.explain(record.problem +
                     "; put the game's archives back by hand and delete it, as "
                     "the user's guide describes under \"When the restore fails\"");
    return;
  }
  reporter.explain("the mod in the game was installed from the working folder \"" +
                   record.record.owner + "\" (see \"" + record.path +
                   "\"): run vexal_mod_builder "
                   "there without arguments to put the game back; if that folder is gone, follow "
                   "\"When the restore fails\" in the user's guide");
}

Status restore_archives(FileSystem& fs, Reporter& reporter) {
  const std::unique_ptr<Settings> settings = open_config(fs, reporter);
  if (!settings) {
    return Status::config_missing;
  }
  InstallState state = read_install_state(fs, *settings, fs.current_directory());
  bool skip_as_before = false;
  if (const Status status = check_restore(reporter, state, skip_as_before); status != Status::ok) {
    return status;
  }
  Status result = Status::ok;
  for (const ArchiveState& archive : state.archives) {
    if (!archive.entry && skip_as_before) {
      continue;
    }
    const Status status = restore_one(fs, reporter, *settings, state, archive);
    if (status == Status::config_not_written) {
      return status;
    }
    result = status == Status::ok ? result : status;
  }
  return result;
}

}  // namespace vexal
