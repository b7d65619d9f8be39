#include "moddef/statement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "moddef/mod_fixture.h"
#include "platform/ascii.h"
#include "support/archive_builder.h"
#include "support/case_file.h"
#include "support/seeded.h"

namespace vexal {
namespace {

const Block kBasics = Block::archive(0);

// "*" any run of characters, "?" one, anything else itself: the mask of an add, by its
// definition rather than by the scan the code makes.
bool mask_takes(std::string_view mask, std::string_view name) {
  if (mask.empty()) {
    return name.empty();
  }
  if (mask[0] == '*') {
    return mask_takes(mask.substr(1), name) || (!name.empty() && mask_takes(mask, name.substr(1)));
  }
  return !name.empty() && (mask[0] == '?' || mask[0] == name[0]) &&
         mask_takes(mask.substr(1), name.substr(1));
}

class StatementTest : public test::ModFixture {};

// Random adds (NEW, ALL or the block's mode, masks or none) and replace statements into
// a flat or a two-level output link what a model links: an add without a mask into an
// empty output takes every entry as it is; otherwise each entry the mask takes is
// appended when the output has no entry of its name (without regard to case), or
// re-points the first such entry when the command's mode replaces (ALL, or the block's
// replace = 1).
TEST_F(StatementTest, AddsLinkAsTheModelLinks) {
  const Block troop = Block::archive(*match_catalogue("TROOP.FSU").slot);
  test::for_each_seed(4200, 300, [&](std::mt19937& random, unsigned round) {
    const auto pick = [&](std::size_t n) { return test::pick(random, n); };
    const bool two_level = round % 2 == 1;
    archives = {};
    reset_slot_table(slots);
    const Block block = two_level ? troop : kBasics;
    slots[block.slot] = &archives.add_output(two_level ? "TROOP.FSU" : "BASICS.FS", two_level);
    std::vector<std::vector<std::string>> names(3);  // entry names by source
    for (std::size_t s = 0; s < names.size(); ++s) {
      std::vector<test::FlatEntryBytes> entries;
      std::vector<test::GroupBytes> groups;
      // Mostly names that meet again; also many, and long ones of bytes whose bit 5 is the
      // letter case only for letters, for the output's name index.
      const bool odd = pick(4) == 0;
      for (std::size_t n = pick(odd ? 60 : 5); n > 0; --n) {
        const std::string name = test::random_text(random, odd ? "aZ@`[{\xE1\xC1" : "aAbB", 1,
                                                   odd ? (two_level ? 5 : 12) : 2);
        entries.push_back({name, "x"});
        groups.push_back({name, {{"I01", "i"}}});
        names[s].push_back(two_level ? name + std::string(5 - name.size(), '_') : name);
      }
      fs.add_file("C:\\mod\\s" + std::to_string(s) + (two_level ? ".fsu" : ".fs"),
                  two_level ? test::build_two_level(groups) : test::build_flat(entries));
    }
    std::vector<std::pair<std::size_t, std::size_t>> model;  // source and entry linked
    bool block_replace = false;
    std::string script;
    for (std::size_t step = pick(8); step > 0; --step) {
      std::string statement;
      if (pick(5) == 0) {
        block_replace = pick(2) == 1;
        statement = "replace = " + std::to_string(block_replace);
      } else {
        const std::size_t source = pick(names.size());
        const auto mode = static_cast<AddMode>(pick(3));
        const std::optional<std::string> mask =
            pick(2) ? std::nullopt : std::optional(test::random_text(random, "aAbB_*?", 1, 4));
        statement = "add(" +
                    std::string(mode == AddMode::block ? ""
                                : mode == AddMode::all ? "All, "
                                                       : "new, ") +
                    "s" + std::to_string(source) + (two_level ? ".fsu" : ".fs") +
                    (mask ? ", " + *mask : "") + ")";
        const bool replace = mode == AddMode::block ? block_replace : mode == AddMode::all;
        const std::vector<std::string>& entries = names[source];
        for (std::size_t e = 0; e < entries.size(); ++e) {
          if (!mask && model.empty()) {
            for (std::size_t all = 0; all < entries.size(); ++all) {
              model.push_back({source, all});
            }
            break;
          }
          const auto same = std::ranges::find_if(model, [&](const auto& link) {
            return upper_case(names[link.first][link.second]) == upper_case(entries[e]);
          });
          if (mask && !mask_takes(*mask, entries[e])) {
            continue;
          }
          if (same == model.end()) {
            model.push_back({source, e});
          } else if (replace) {
            *same = {source, e};
          }
        }
      }
      script += statement + "; ";
      ASSERT_TRUE(run_statement(context, statement, block)) << script;
    }
    std::vector<std::pair<std::size_t, std::size_t>> linked;
    for (const Link& link : output(block).links) {
      const std::string& path = archives.source(link.source).path;
      linked.push_back({static_cast<std::size_t>(path[1] - '0'), link.entry});
    }
    EXPECT_EQ(linked, model) << script;
  });
}

TEST_F(StatementTest, RunsOrRejectsEachStatement) {
  slots[kBasics.slot] = &archives.add_output("BASICS.FS", false);
  for (const test::DataCase& c : test::load_cases("tests/moddef/cases.txt", "statement")) {
    SCOPED_TRACE(c.where);
    vars = {};
    for (const auto& [name, value, level] :
         {std::tuple{"VEXAL", "C:\\GAME", VariableLevel::settings},
          std::tuple{"A", "aa", VariableLevel::settings},
          std::tuple{"MAKE", "out", VariableLevel::path},
          std::tuple{"ORIG", "%VEXAL%\\data\\", VariableLevel::src}}) {
      ASSERT_TRUE(vars.define(name, value, level));
    }
    const std::string after = c.field(3, "replace=1");
    const std::string name = after.substr(0, after.find('='));
    output(kBasics).replace = c.fields.size() < 4 || after.back() != '1';
    const std::string& block = c.field(0);
    const Block in = block == "PATH"  ? Block{BlockClass::path}
                     : block == "SRC" ? Block{BlockClass::src}
                                      : Block::archive(*match_catalogue(block).slot);
    EXPECT_EQ(code_of(run_statement(context, c.field(1), in).status()), c.number(2));
    EXPECT_EQ(
        name + "=" + (name == "replace" ? std::to_string(output(kBasics).replace) : value_of(name)),
        after);
  }
  EXPECT_EQ(archives.source_count(), 0u) << "no source was loaded";
}

}  // namespace
}  // namespace vexal
