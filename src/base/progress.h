// What the lower layers tell the user while they work: one progress line for each
// archive that is loaded, saved, swapped into the game or restored. The layers that do
// the work only say what happens; the driver decides how it reads on the console, and
// tests can record it.
#pragma once

#include <string_view>

namespace vexal {

class Progress {
 public:
  enum class Step {
    loading_archive,
    loading_folder,
    saving_archive,
    swapping_archive,
    restoring_archive
  };

  virtual ~Progress() = default;
  // Opens the line of a step, naming what it works on: a source as written in the
  // definition, an archive that is saved, swapped or restored by its file name.
  virtual void begin(Step step, std::string_view subject) = 0;
  // Completes the line that begin opened.
  virtual void end(bool succeeded) = 0;
};

// Tells nothing, for callers that show no progress.
class SilentProgress final : public Progress {
 public:
  void begin(Step /*step*/, std::string_view /*subject*/) override {}
  void end(bool /*succeeded*/) override {}
};

}  // namespace vexal
