#include "driver/error.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace vexal {
namespace {

std::string captured(void (*print)()) {
  ::testing::internal::CaptureStdout();
  print();
  return ::testing::internal::GetCapturedStdout();
}

TEST(ErrorReportTest, MessagesOfCodesWithoutARowAreUnknown) {
  EXPECT_EQ(error_message(316), "can't open *.DEF file!");
  EXPECT_EQ(error_message(315), "invalid variable value");
  for (const int code : {0, 1, 310, 600, -1}) {
    EXPECT_EQ(error_message(code), "unknown error!") << code;
  }
}

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

TEST(ErrorReportTest, UsageAlignsItsParenthesesInColumn46) {
  const std::string usage = captured(print_usage);
  std::istringstream lines(usage);
  std::string line;
  int count = 0;
  while (std::getline(lines, line) && !line.empty()) {
    EXPECT_EQ(line.find('('), 45u) << line;
    ++count;
  }
  EXPECT_EQ(count, 4);
  EXPECT_TRUE(usage.ends_with(")\n\n"));
}

TEST(ErrorReportTest, SavingAndSwappingShowOnlyTheFileName) {
  ::testing::internal::CaptureStdout();
  report_saving_archive("C:\\mods\\demo\\out\\BASICS.FS");
  report_save_result(0);
  report_swapping_archive("WORDS.FS");
  report_swap_result(401);
  report_loading_archive("data\\BASICS.FS");
  report_load_result(0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Saving archive \"BASICS.FS\" ... done\n"
            "Swapping archive \"WORDS.FS\" ... failed\n"
            "Loading archive \"data\\BASICS.FS\" ... done\n");
}

}  // namespace
}  // namespace vexal
