// config.ini as any bytes: the start-of-run check of the PATH section, then the
// settings service itself. What the tool writes must read back, and must leave the
// values it did not write as they were.
#include "fuzz_support.h"
#include "platform/settings.h"
#include "session/run_steps.h"
#include "support/fake_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vexal;
  using vexal::fuzz::require;
  const std::string path = "C:\\work\\config.ini";
  test::FakeFileSystem fs("C:\\work");
  fs.add_file(path, vexal::fuzz::as_text(data, size));

  VariableStore vars;
  const Status code = read_settings(fs, vars).status();
  require(code == Status::ok || code == Status::config_values_missing ||
              code == Status::variable_already_defined ||
              code == Status::invalid_variable_expression || code == Status::undefined_variable ||
              code == Status::out_of_memory,
          "read_settings gives a documented code");
  require(code != Status::ok || vars.count() == 2, "a good PATH section defines VEXAL and VEXALCD");

  auto settings = open_settings(fs, path);
  require(settings != nullptr, "an existing file opens");
  const std::string vexal = settings->read_string("PATH", "vexal", "");
  std::vector<std::string> status_keys = settings->key_names("STATUS");
  for (const std::string& key : status_keys) {
    settings->read_integer("STATUS", key, -1);
    require(settings->key_exists("STATUS", key), "a listed key exists");
  }

  require(settings->write_string("STATUS", "mod_data", "C:\\mods\\out\\") &&
              settings->write_integer("STATUS", "BASICS_FS", 1) &&
              settings->write_integer("STATUS", "BASICS_FS", 0),
          "a writable file takes every write");

  auto reread = open_settings(fs, path);
  require(reread != nullptr, "the written file opens");
  require(reread->read_string("STATUS", "mod_data", "?") == "C:\\mods\\out\\",
          "a written value reads back");
  require(reread->read_integer("STATUS", "BASICS_FS", -1) == 0, "a written integer reads back");
  require(reread->read_string("PATH", "vexal", "") == vexal, "writing STATUS keeps PATH");
  return 0;
}
