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

using test::ModFixture;

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

TEST(WildcardMatch, MatchesWholeNamesAgainstWholeMasks) {
  test::for_each_seed(4100, 3000, [](std::mt19937& random, unsigned) {
    const std::string mask = test::random_text(random, "*?aAb", 0, 5);
    const std::string name = test::random_text(random, "aAb", 0, 5);
    ASSERT_EQ(matches_entry_mask(mask, name), mask_takes(mask, name)) << mask << " " << name;
  });
}

// What the adds of a block link, told by a model: an add without a mask into an empty
// output takes every entry as it is; otherwise each entry the mask takes is appended
// when the output has no entry of its name (without regard to case), or re-points the
// first such entry when the command's mode replaces (ALL, or the block's replace = 1).
class LinkModel {
 public:
  using Sources = std::vector<std::vector<std::string>>;  // entry names by source
  explicit LinkModel(const Sources& sources) : sources_(sources) {}

  void replace_mode(bool replace) { block_replace_ = replace; }
  void add(std::size_t source, AddMode mode, const std::optional<std::string>& mask) {
    const bool replace = mode == AddMode::block ? block_replace_ : mode == AddMode::all;
    for (std::size_t e = 0; e < sources_[source].size(); ++e) {
      const std::string& name = sources_[source][e];
      if (!mask && links.empty() && e == 0) {
        for (std::size_t all = 0; all < sources_[source].size(); ++all) {
          links.push_back({source, all});
        }
        return;
      }
      if (mask && !mask_takes(*mask, name)) {
        continue;
      }
      const auto same = std::ranges::find_if(links, [&](const auto& link) {
        return upper_case(sources_[link.first][link.second]) == upper_case(name);
      });
      if (same == links.end()) {
        links.push_back({source, e});
      } else if (replace) {
        *same = {source, e};
      }
    }
  }

  std::vector<std::pair<std::size_t, std::size_t>> links;  // source and entry

 private:
  const Sources& sources_;
  bool block_replace_ = false;
};

class StatementTest : public ModFixture {};

// Random adds (NEW, ALL or the block's mode, masks or none) and replace statements into
// a flat or a two-level output link what the model links.
TEST_F(StatementTest, AddsLinkAsTheModelLinks) {
  const Block troop = Block::archive(*match_catalogue("TROOP.FSU").slot);
  test::for_each_seed(4200, 300, [&](std::mt19937& random, unsigned round) {
    const bool two_level = round % 2 == 1;
    archives = {};
    reset_slot_table(slots);
    const Block block = two_level ? troop : kBasics;
    slots[block.slot] = &archives.add_output(two_level ? "TROOP.FSU" : "BASICS.FS", two_level);
    LinkModel::Sources names(3);
    for (std::size_t s = 0; s < names.size(); ++s) {
      std::vector<test::FlatEntryBytes> entries;
      std::vector<test::GroupBytes> groups;
      for (std::size_t n = test::pick(random, 5); n > 0; --n) {
        const std::string name = test::random_text(random, "aAbB", 1, 2);
        entries.push_back({name, "x"});
        groups.push_back({name, {{"I01", "i"}}});
        names[s].push_back(two_level ? name + std::string(5 - name.size(), '_') : name);
      }
      fs.add_file("C:\\mod\\s" + std::to_string(s) + (two_level ? ".fsu" : ".fs"),
                  two_level ? test::build_two_level(groups) : test::build_flat(entries));
    }
    LinkModel model(names);
    std::string script;
    for (std::size_t step = test::pick(random, 8); step > 0; --step) {
      std::string statement;
      if (test::pick(random, 5) == 0) {
        const bool replace = test::pick(random, 2) == 1;
        model.replace_mode(replace);
        statement = "replace = " + std::to_string(replace);
      } else {
        const std::size_t source = test::pick(random, names.size());
        const auto mode = static_cast<AddMode>(test::pick(random, 3));
        std::optional<std::string> mask;
        if (test::pick(random, 2) == 0) {
          mask = test::random_text(random, "aAbB_*?", 1, 4);
        }
        model.add(source, mode, mask);
        statement = std::string("add(") +
                    (mode == AddMode::block ? ""
                     : mode == AddMode::all ? "All, "
                                            : "new, ") +
                    "s" + std::to_string(source) + (two_level ? ".fsu" : ".fs") +
                    (mask ? ", " + *mask : "") + ")";
      }
      script += statement + "; ";
      ASSERT_TRUE(run_statement(context, statement, block)) << script;
    }
    std::vector<std::pair<std::size_t, std::size_t>> linked;
    for (const Link& link : output(block).links) {
      const std::string& path = archives.source(link.source).path;
      linked.push_back({static_cast<std::size_t>(path[1] - '0'), link.entry});
    }
    EXPECT_EQ(linked, model.links) << script;
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

TEST(VariableStore, ValuesLongerThanSixtyFourKibibytesSurvive) {
  VariableStore vars;
  ASSERT_TRUE(vars.define("LONG", std::string(100000, 'x'), VariableLevel::path));
  ASSERT_TRUE(vars.define("TWICE", "%LONG%%LONG%", VariableLevel::src));
  const Expected<std::string> out = vars.expand("%TWICE%!", VariableLevel::archive);
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, std::string(200000, 'x') + "!");
}

}  // namespace
}  // namespace vexal
