#include "install/restore.h"

#include <memory>
#include <optional>

#include "install/archive_moves.h"
#include "install/config.h"
#include "platform/settings.h"

namespace vexal {

namespace {

// How the restore of one archive ended when the game has its file back; a failure
// (restore_failed) leaves everything as it is until the user acts.
enum class Settled {
  fully,             // the mod's archive returned to its output folder
  mod_not_returned,  // the mod's archive could not be returned (a warning says why)
};

Failure restore_failure(std::string explanation) {
  return {Status::restore_failed, std::move(explanation)};
}

// The restore of an archive that only config.ini records.
Expected<Settled> restore_as_before(FileSystem& fs, Reporter& reporter,
                                    const ArchiveState& archive) {
  // Without a saved copy the restore cannot succeed, and the file in the game's folder
  // may be the game's own archive, put back by a run that died before it cleared the
  // key: moving it out into the mod data folder would leave it where a failed move back
  // or the next build would lose it.
  if (!fs.is_file(archive.saved)) {
    return restore_failure("\"" + archive.saved +
                           "\" is missing: the game's archive was not moved");
  }
  const IoResult mod_returned = move_file(fs, archive.installed, archive.returned, true);
  const std::string not_returned =
      mod_returned ? std::string()
                   : move_failure(fs, mod_returned, archive.installed, archive.returned);
  const IoResult game_back = move_file(fs, archive.saved, archive.installed, true);
  if (game_back) {
    if (!mod_returned) {
      reporter.warn(not_returned);
    }
    return mod_returned ? Settled::fully : Settled::mod_not_returned;
  }
  Failure failure = restore_failure(move_failure(fs, game_back, archive.saved, archive.installed));
  // Only a mod archive that really left may be put back: if it never left, the
  // returned path holds some other file, and replacing the game's folder with it could
  // destroy a game archive that an interrupted earlier restore had already put back.
  if (!mod_returned) {
    return failure;
  }
  if (const IoResult mod_back = move_file(fs, archive.returned, archive.installed, true);
      !mod_back) {
    failure.because(move_failure(fs, mod_back, archive.returned, archive.installed) +
                    "; the mod's " + archive.name + " is in \"" + archive.returned + "\"");
  }
  return failure;
}

// Moves the mod's archive out of the game into its output folder. Where that folder
// cannot take it (deleted, full, or holding another file), the archive is deleted: the
// record proves it is the tool's own, and a build makes it again. Fails when the game's
// folder still holds it.
Expected<Settled> take_mod_out(FileSystem& fs, Reporter& reporter, const ArchiveState& archive) {
  std::string why;
  IoResult moved = IoResult::failed({});
  if (holding_at(fs, archive.returned, *archive.entry, why) == Holding::mod_archive) {
    // A copy left by a move between drives that was cut short.
    moved = fs.remove(archive.returned);
    if (moved) {
      moved = fs.move(archive.installed, archive.returned);
    }
  } else if (!fs.stat(archive.returned)) {
    moved = fs.move(archive.installed, archive.returned);
  }
  if (moved) {
    return Settled::fully;
  }
  const std::string not_returned =
      fs.stat(archive.returned) ? "\"" + archive.returned + "\" holds another file"
                                : move_failure(fs, moved, archive.installed, archive.returned);
  if (const IoResult removed = fs.remove(archive.installed); !removed) {
    return restore_failure(
        removed.describe("cannot move the mod's archive out of the game: " + archive.installed));
  }
  reporter.warn(not_returned + "; the mod's " + archive.name + " was deleted from the game " +
                "instead (build the mod again to get it back)");
  return Settled::mod_not_returned;
}

Expected<Settled> swap_back(FileSystem& fs, Reporter& reporter, const ArchiveState& archive) {
  Expected<Settled> out = take_mod_out(fs, reporter, archive);
  if (!out) {
    return out;
  }
  const IoResult back = fs.move(archive.saved, archive.installed);
  if (back) {
    return out;
  }
  Failure failure = restore_failure(move_failure(fs, back, archive.saved, archive.installed));
  if (*out == Settled::fully && !fs.move(archive.returned, archive.installed)) {
    failure.because("the game lacks " + archive.name + ": its own is in \"" + archive.saved +
                    "\", the mod's in \"" + archive.returned + "\"");
  }
  return failure;
}

// The game keeps the file it holds, which it got from a patch, a repair or by hand; the
// game's archive that the installation saved is kept under a name of its own.
Expected<Settled> keep_both(FileSystem& fs, Reporter& reporter, const ArchiveState& archive) {
  const std::string kept = kept_name(fs, archive.saved);
  if (const IoResult moved = fs.move(archive.saved, kept); !moved) {
    return restore_failure(move_failure(fs, moved, archive.saved, kept));
  }
  reporter.warn("\"" + archive.installed + "\" has changed since the mod was installed (a " +
                "patch or a repair of the game?), so it stays in the game; the game's " +
                archive.name + " that it replaced is kept as \"" + kept + "\"");
  return Settled::fully;
}

// The game's own archive is in place, and a copy of it (the same identity) was left in
// the backup folder by a move between drives that was cut short.
Settled drop_copy(FileSystem& fs, Reporter& reporter, const ArchiveState& archive) {
  if (const IoResult removed = fs.remove(archive.saved); !removed) {
    reporter.warn(removed.describe("cannot remove " + archive.saved) +
                  "; it is a copy of the game's own archive, which is back in the game");
  }
  return Settled::fully;
}

Expected<Settled> restore_recorded(FileSystem& fs, Reporter& reporter,
                                   const ArchiveState& archive) {
  switch (archive.decision) {
    case Decision::swap_back:
      return swap_back(fs, reporter, archive);
    case Decision::put_back: {
      const IoResult back = fs.move(archive.saved, archive.installed);
      if (back) {
        return Settled::fully;
      }
      return restore_failure(move_failure(fs, back, archive.saved, archive.installed));
    }
    case Decision::keep_both:
      return keep_both(fs, reporter, archive);
    case Decision::changed:
      reporter.warn("\"" + archive.installed + "\" has changed since the mod was installed (a " +
                    "patch or a repair of the game?), so it stays in the game");
      return Settled::fully;
    case Decision::drop_copy:
      return drop_copy(fs, reporter, archive);
    case Decision::settled:
    case Decision::as_before:
      return Settled::fully;
    case Decision::game_copy_lost:
    case Decision::missing:
    case Decision::unreadable:
      break;
  }
  return restore_failure(refusal_reason(archive));
}

// One archive: its progress line, its moves, its key and its record entry.
// restore_failed (the walk goes on) or config_not_written (the walk ends).
Outcome restore_one(FileSystem& fs, Reporter& reporter, Settings& settings, InstallState& state,
                    const ArchiveState& archive) {
  const bool shown = archive.key_swapped || archive.decision != Decision::settled;
  if (shown) {
    reporter.begin(Reporter::Step::restoring_archive, archive.name);
  }
  const Expected<Settled> settled = archive.entry ? restore_recorded(fs, reporter, archive)
                                                  : restore_as_before(fs, reporter, archive);
  if (shown || !archive.entry) {
    reporter.end(settled && *settled == Settled::fully);
  }
  if (!settled) {
    return settled.failure();
  }
  if (archive.key_swapped && !settings.write_integer(kStatusSection, archive.key, 0)) {
    return key_not_written(archive.key);
  }
  if (RecordFile* file = archive.entry ? state.record_of(archive.installed) : nullptr) {
    file->record.drop(archive.name);
    if (std::string why; !store_record(fs, *file, why)) {
      reporter.warn(why);
    }
  }
  return {};
}

}  // namespace

std::string refusal_reason(const ArchiveState& archive) {
  const std::string take = "take " + archive.name +
                           " from the game's CD or installation (or let the game's store "
                           "verify its files), then run the tool again";
  if (archive.decision == Decision::game_copy_lost) {
    return "\"" + archive.installed + "\" still holds the mod's " + archive.name +
           ", but the game's own copy is gone from \"" + archive.saved + "\": " + take;
  }
  if (archive.decision == Decision::missing) {
    return "the game lacks " + archive.name + ": neither \"" + archive.installed + "\" nor \"" +
           archive.saved + "\" holds it; " + take;
  }
  return archive.why_unreadable;
}

Expected<bool> check_restore(const InstallState& state) {
  if (const RecordFile* foreign = state.foreign_record()) {
    return restore_failure(foreign_record_problem(*foreign));
  }
  // Installations of earlier versions, which config.ini alone records, need both path keys.
  const bool skip = !state.path_keys_present || state.mod_data.empty() || state.backup.empty();
  if (!skip || !state.path_keys_present || state.pending_key.empty()) {
    return skip;
  }
  return Failure(
      Status::status_paths_missing,
      std::string("config.ini: the key ") + (state.mod_data.empty() ? kModDataKey : kBackupKey) +
          " of [STATUS] is empty, but " + state.pending_key + " records an archive as swapped in");
}

std::string foreign_record_problem(const RecordFile& record) {
  if (record.damaged) {
    return record.problem +
           "; put the game's archives back by hand and delete it, as the user's guide "
           "describes under \"When the restore fails\"";
  }
  return "the mod in the game was installed from the working folder \"" + record.record.owner +
         "\" (see \"" + record.path +
         "\"): run vexal_mod_builder there without arguments to put the game back; if that "
         "folder is gone, follow \"When the restore fails\" in the user's guide";
}

Outcome restore_archives(FileSystem& fs, Reporter& reporter) {
  Expected<std::unique_ptr<Settings>> settings = open_config(fs);
  if (!settings) {
    return std::move(settings).failure();
  }
  InstallState state = read_install_state(fs, **settings, fs.current_directory());
  const Expected<bool> skip_as_before = check_restore(state);
  if (!skip_as_before) {
    return skip_as_before.failure();
  }
  std::optional<Failure> failed;  // of the archives restored so far
  for (const ArchiveState& archive : state.archives) {
    if (!archive.entry && *skip_as_before) {
      continue;
    }
    Outcome restored = restore_one(fs, reporter, **settings, state, archive);
    if (restored) {
      continue;
    }
    if (failed) {
      failed->include(restored.failure()).status = restored.status();
    } else {
      failed = std::move(restored).failure();
    }
    if (failed->status == Status::config_not_written) {
      return *std::move(failed);
    }
  }
  if (failed) {
    return *std::move(failed);
  }
  return {};
}

}  // namespace vexal
