// Putting the game's own archives back: the restore that starts every run and undoes
// the previous installation, archive by archive, as the installation state decides.
#pragma once

#include "base/expected.h"
#include "base/reporter.h"
#include "base/status.h"
#include "install/install_state.h"
#include "platform/file_system.h"

namespace vexal {

// Restores every archive that STATUS or this working folder's record lists, with a
// progress line each. config_missing, restore_failed (also when another working folder
// owns the installation: then nothing moves; else the walk goes on and the failure
// explains every archive that failed), status_paths_missing, or config_not_written (which
// ends the walk at once).
Outcome restore_archives(FileSystem& fs, Reporter& reporter);

// What stops a restore before anything moves: a record of another working folder, or one
// that cannot be trusted (restore_failed); an empty path key while config.ini alone
// records a swap (status_paths_missing). Otherwise whether what config.ini alone records
// is passed over (a path key is missing or empty).
Expected<bool> check_restore(const InstallState& state);

// That another working folder owns the installation, or that its record cannot be
// trusted, and what the user does about it.
std::string foreign_record_problem(const RecordFile& record);

// Why the restore leaves an archive as it is and fails (game_copy_lost, missing,
// unreadable), and what the user does about it.
std::string refusal_reason(const ArchiveState& archive);

}  // namespace vexal
