#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "support/archive_builder.h"
#include "support/case_file.h"

namespace vexal {
namespace {

using test::le16;
using test::le32;

class ArchiveFileTest : public test::EngineTest {};

const std::string kFlat = test::build_flat({{"A.PCX", "aaaa"}, {"B.DAT", ""}, {"C.TXT", "ccc"}});
const std::string kTwoLevel =
    test::build_two_level({{"AB", {{"A01", "x"}, {"B02", "yy"}}}, {"TANK", {{"Z99", "zzz"}}}});

TEST_F(ArchiveFileTest, RejectsDamagedFilesNamingTheRecordAtFault) {
  for (const test::DataCase& c : test::load_cases("tests/archive/cases.txt", "damaged")) {
    SCOPED_TRACE(c.where);
    const std::string name = "x." + c.field(0);
    const std::string value = c.field(2);
    const std::string bytes = value.starts_with("u32 ")   ? le32(std::stoull(value.substr(4)))
                              : value.starts_with("u16 ") ? le16(std::stoull(value.substr(4)))
                                                          : value;
    std::string file = name.ends_with(".fsu") ? kTwoLevel : kFlat;
    file.replace(c.number(1), bytes.size(), bytes);
    reporter.explanations.clear();
    EXPECT_EQ(read(name, file), Status::archive_not_opened);
    EXPECT_EQ(reporter.explanations, name + ": " + c.field(3) + "\n");
  }
}

}  // namespace
}  // namespace vexal
