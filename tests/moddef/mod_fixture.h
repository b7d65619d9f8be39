// A complete definition-language context over an in-memory file system, for the tests
// of the variable store, the statements and the class scanner.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "archive/archive_list.h"
#include "archive/catalogue.h"
#include "moddef/block.h"
#include "moddef/mod_context.h"
#include "moddef/variables.h"
#include "support/fake_file_system.h"
#include "support/status_print.h"

namespace vexal::test {

class ModFixture : public ::testing::Test {
 protected:
  ModFixture() { reset_slot_table(slots); }

  OutputArchive& output(Block block) { return *slots[block.slot]; }

  std::string value_of(std::string_view name) const {
    return vars.lookup(name, VariableLevel::archive).value_or("<undefined>");
  }

  FakeFileSystem fs{"C:\\work"};
  RecordingReporter reporter;
  VariableStore vars;
  ArchiveList archives;
  SlotTable slots{};
  ModContext context{fs, vars, archives, slots, reporter, "C:\\mod\\"};
};

}  // namespace vexal::test
