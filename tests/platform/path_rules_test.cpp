#include "platform/path_rules.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

TEST(PathRulesTest, AbsolutePaths) {
  EXPECT_TRUE(is_absolute_path("C:\\GAME"));
  EXPECT_TRUE(is_absolute_path("mods\\x:y"));  // a colon anywhere
  EXPECT_FALSE(is_absolute_path("mods\\demo.def"));
  EXPECT_FALSE(is_absolute_path("\\mods"));
  EXPECT_FALSE(is_absolute_path(""));
}

#if defined(_WIN32)
TEST(PathRulesTest, OnlyBackslashSeparatesOnWindows) {
  EXPECT_FALSE(is_absolute_path("/home/game"));
  EXPECT_FALSE(is_path_separator('/'));
  EXPECT_EQ(last_separator("a\\b/c"), 1u);
  EXPECT_EQ(file_name_part("C:\\mods/demo.def"), "mods/demo.def");
  EXPECT_EQ(file_name_part("C:\\mods\\"), "");
}
#else
TEST(PathRulesTest, BothSeparatorsEndTheFolderPart) {
  EXPECT_TRUE(is_absolute_path("/home/game"));
  EXPECT_EQ(last_separator("a\\b/c"), 3u);
  EXPECT_EQ(last_separator("a/b\\c"), 3u);
  EXPECT_EQ(last_separator("abc"), std::string_view::npos);
  EXPECT_EQ(file_name_part("C:\\mods/demo.def"), "demo.def");
  EXPECT_EQ(file_name_part("demo.def"), "demo.def");
  EXPECT_EQ(file_name_part("C:\\mods\\"), "");
}
#endif

}  // namespace
}  // namespace vexal
