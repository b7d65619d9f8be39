#include "support/cli_fixture.h"

#include <fstream>
#include <sstream>

namespace vexal::test {

CliTest::~CliTest() {
  std::error_code ignored;
  // A test may leave config.ini read-only; the folder is removed after this.
  std::filesystem::permissions(at("config.ini"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add, ignored);
}

std::optional<std::string> CliTest::read_file(const std::string& relative) const {
  std::ifstream in(at(relative), std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool CliTest::exists(const std::string& relative) const {
  return std::filesystem::exists(at(relative));
}

void CliTest::write_config(const std::string& extra, const std::string& allowcdmod) const {
  write_file("config.ini", "[PATH]\nvexal=" + tool_path(at("game")) + "\nvexalcd=" +
                               tool_path(at("cd")) + "\nallowcdmod=" + allowcdmod + "\n" + extra);
}

std::string after_banner(const std::string& output) {
  const std::size_t end = output.find('\n');
  return end == std::string::npos ? std::string()
                                  : without_carriage_returns(output.substr(end + 1));
}

std::string without_carriage_returns(std::string text) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      text[kept++] = text[i];
    }
  }
  text.resize(kept);
  return text;
}

}  // namespace vexal::test
