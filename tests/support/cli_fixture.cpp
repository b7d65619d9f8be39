#include "support/cli_fixture.h"

namespace vexal::test {

CliTest::~CliTest() {
  std::error_code ignored;
  // A test may leave config.ini read-only; the folder is removed after this.
  std::filesystem::permissions(at("config.ini"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add, ignored);
}

void CliTest::write_config(const std::string& extra, const std::string& allowcdmod) const {
  write_file("config.ini", "[PATH]\nvexal=" + tool_path(at("game")) + "\nvexalcd=" +
                               tool_path(at("cd")) + "\nallowcdmod=" + allowcdmod + "\n" + extra);
}

std::string after_banner(const std::string& output) {
  const std::string banner =
      "Vexal MOD builder by Martin Kral, martin.kral@example.org, V1.2, 2013-06-02.\n";
  EXPECT_TRUE(output.starts_with(banner)) << output;
  return output.starts_with(banner) ? output.substr(banner.size()) : output;
}

}  // namespace vexal::test
