// The mod author's checker: while a build is planned it gathers, line by line, what in
// the definition is probably a mistake even though the build goes on. The definition
// language notes its own doubts; the checker adds every warning of the build (files that
// folder loading skips, an add that takes nothing, a group that loses items, a CD block
// skipped) and what only the whole build shows (an archive built without the game's
// own, an output folder outside the mod folder).
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "base/expected.h"
#include "base/reporter.h"
#include "moddef/findings.h"
#include "moddef/mod_context.h"

namespace vexal::fs_tool {

// Passes on what it is told, to the console and to the plan's printer, and keeps a
// finding for each warning and each add that adds nothing.
class Checker final : public Reporter, public AddObserver {
 public:
  Checker(Reporter& console, AddObserver& printer) : console_(console), printer_(printer) {}

  // The context whose findings it keeps and whose line it ties warnings to.
  void watch(ModContext& context);

  void begin(Step step, std::string_view subject) override { console_.begin(step, subject); }
  void end(bool succeeded) override { console_.end(succeeded); }
  void warn(std::string_view text) override;
  void added(const AddOutcome& outcome) override;

  // After the scan: each archive block that took no archive of its own name from the
  // game, and an output folder that MAKE puts outside the mod folder.
  void check_outputs(const SlotTable& slots, std::string_view definition_text,
                     std::string_view make);

  // The findings by line, in the order they were found within a line.
  Findings sorted_findings() const;

 private:
  struct Block {
    int first_add_line = 0;
    bool takes_game_archive = false;
  };

  Reporter& console_;
  AddObserver& printer_;
  ModContext* context_ = nullptr;
  Findings findings_;
  std::map<const OutputArchive*, Block> blocks_;
};

}  // namespace vexal::fs_tool
