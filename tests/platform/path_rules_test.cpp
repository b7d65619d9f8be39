#include "platform/path_rules.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

TEST(PathRulesTest, AbsolutePathsAndTheLastSeparator) {
  EXPECT_TRUE(is_absolute_path("C:\\GAME"));
  EXPECT_TRUE(is_absolute_path("mods\\x:y"));  // a colon anywhere
  EXPECT_FALSE(is_absolute_path("mods\\demo.def"));
  EXPECT_FALSE(is_absolute_path("\\mods"));
  EXPECT_FALSE(is_absolute_path(""));
  EXPECT_EQ(is_absolute_path("/home/game"), !kWindows);
  EXPECT_EQ(last_separator("a\\b/c"), kWindows ? 1u : 3u);
  EXPECT_EQ(last_separator("a/b\\c"), 3u);
  EXPECT_EQ(last_separator("abc"), std::string_view::npos);
  EXPECT_EQ(file_name_part("C:\\mods/demo.def"), kWindows ? "mods/demo.def" : "demo.def");
  EXPECT_EQ(file_name_part("demo.def"), "demo.def");
  EXPECT_EQ(file_name_part("C:\\mods\\"), "");
}

TEST(PathRulesTest, JoinPutsOneSeparatorBetweenFolderAndName) {
  EXPECT_EQ(join_path("C:\\GAME", "backup"), "C:\\GAME\\backup");
  EXPECT_EQ(join_path("C:\\", "backup"), "C:\\backup");
  EXPECT_EQ(join_path("/home/", "a"), kWindows ? "/home/\\a" : "/home/a");
  EXPECT_EQ(join_path("", "a"), "\\a");
}

}  // namespace
}  // namespace vexal
