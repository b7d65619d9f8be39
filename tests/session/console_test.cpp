#include "session/console.h"

#include <gtest/gtest.h>

#include <string>

namespace vexal {
namespace {

TEST(ErrorReportTest, LineFormOnlyForLinesFromZeroOn) {
  ::testing::internal::CaptureStdout();
  print_error_at_line(316, -1);
  print_error_at_line(316, 0);
  print_error_at_line(310, 7);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Error - can't open *.DEF file!\n"
            "Error (line 0) - can't open *.DEF file!\n"
            "Error (line 7) - unknown error!\n");
}

}  // namespace
}  // namespace vexal
