// What the lower layers tell the user while they work. They only say what happens; the
// driver decides how it reads on the console, and tests can record it.
//
// - Progress lines: one for each archive that is loaded, saved, swapped into the game or
//   restored, opened by begin and completed by end.
// - Warnings: something the run passes over that the user may not expect (a file that
//   cannot be an entry); the run goes on.
// Why something failed is no news of this kind: it travels inside the Failure that is
// returned, up to the program that prints it.
#pragma once

#include <string_view>

namespace vexal {

class Reporter {
 public:
  enum class Step {
    loading_archive,
    loading_folder,
    saving_archive,
    swapping_archive,
    restoring_archive
  };

  virtual ~Reporter() = default;
  // Opens the line of a step, naming what it works on: a source as written in the
  // definition, an archive that is saved, swapped or restored by its file name.
  virtual void begin(Step step, std::string_view subject) = 0;
  // Completes the line that begin opened.
  virtual void end(bool succeeded) = 0;
  virtual void warn(std::string_view text) = 0;
};

// Tells nothing, for callers that show no progress.
class SilentReporter final : public Reporter {
 public:
  void begin(Step /*step*/, std::string_view /*subject*/) override {}
  void end(bool /*succeeded*/) override {}
  void warn(std::string_view /*text*/) override {}
};

}  // namespace vexal
