// --json of every subcommand that has it: the document parsed and compared field by
// field, with the exit status of the text form.
#include <nlohmann/json.hpp>

#include <map>

#include "support/archive_builder.h"
#include "support/cli_runner.h"

namespace vexal::test {
namespace {

using Json = nlohmann::json;

struct Field {
  std::vector<std::string> args;
  int status;
  std::string pointer;   // into the document
  std::string expected;  // JSON text
};

const std::vector<Field> kFields = {
    {{"list", "T.FSU", "--json"}, 0, "/schema", "1"},
    {{"list", "T.FSU", "--json"}, 0, "/command", R"("list")"},
    {{"list", "T.FSU", "--json"}, 0, "/two_level", "true"},
    {{"list", "T.FSU", "--json"},
     0,
     "/entries/0",
     R"({"name":"PIKE_","size":3,"items":[{"name":"A01","size":1},{"name":"B01","size":2}]})"},
    {{"list", "T.FSU", "--json"}, 0, "/total", R"({"entries":1,"items":2,"bytes":3})"},
    {{"list", "NOPE.FS", "--json"}, 3, "/error", R"("can't open archive file!")"},
    {{"diff", "game\\data\\BASICS.FS", "NEW.FS", "--json"}, 1, "/same", "false"},
    {{"diff", "game\\data\\BASICS.FS", "NEW.FS", "--json"},
     1,
     "/differences",
     R"([{"change":"changed","name":"A.DAT","old_size":3,"new_size":4},
         {"change":"removed","name":"B.DAT","old_size":2},
         {"change":"added","name":"C.DAT","new_size":1}])"},
    {{"verify", "T.FSU", "NOPE.FS", "--json"},
     1,
     "/archives/0",
     R"({"path":"T.FSU","ok":true,"problems":[]})"},
    {{"verify", "T.FSU", "NOPE.FS", "--json"}, 1, "/archives/1/ok", "false"},
    {{"plan", "mod\\mod.def", "--json"}, 0, "/adds/1/repointed", R"(["A.DAT"])"},
    {{"plan", "mod\\mod.def", "--json"}, 0, "/adds/1/added", R"(["Z.DAT"])"},
    {{"plan", "mod\\mod.def", "--json"}, 0, "/outputs/0/entries", "3"},
    {{"plan", "mod\\mod.def", "--json"},
     0,
     "/result",
     R"({"code":0,"line":null,"message":"All done."})"},
    {{"check", "mod\\mod.def", "--json"}, 1, "/findings/0/line", "2"},
    {{"plan", "mod\\mod.def", "--strict", "--json"}, 1, "/command", R"("plan")"},
    {{"plan", "mod\\bad.def", "--json"},
     302,
     "/result",
     R"({"code":302,"line":1,"message":"unknown class!"})"},
    {{"status", "--json"}, 0, "/installed_mod", "null"},
    {{"status", "--json"}, 0, "/needs_attention", "[]"},
};

class JsonTest : public CliTest {
 protected:
  void SetUp() override {
    write_config();
    dir_.write_file("game/data/BASICS.FS", build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}}));
    dir_.write_file("NEW.FS", build_flat({{"A.DAT", "aaab"}, {"C.DAT", "c"}}));
    dir_.write_file("T.FSU", build_two_level({{"PIKE", {{"A01", "p"}, {"B01", "qq"}}}}));
    dir_.write_file("mod/files/A.DAT", "x");
    dir_.write_file("mod/files/Z.DAT", "z");
    dir_.write_file("mod/mod.def",
                    "class PATH { MAKE = out; }\n"
                    "class BASICS.FS { add(%VEXAL%\\data\\BASICS.FS); add(ALL, files) }\n");
    dir_.write_file("mod/bad.def", "class words.fs {}\n");
  }

  // Each command runs once.
  const RunResult& run(const std::vector<std::string>& args) {
    auto found = results_.find(args);
    if (found == results_.end()) {
      found = results_.emplace(args, StartedRun(root(), args, Program::fs_tool).finish()).first;
    }
    return found->second;
  }

  std::map<std::vector<std::string>, RunResult> results_;
};

TEST_F(JsonTest, EveryFieldOfEveryDocument) {
  for (const Field& field : kFields) {
    const RunResult& result = run(field.args);
    SCOPED_TRACE(field.args[0] + " " + field.args[1] + " " + field.pointer + "\n" + result.output +
                 result.errors);
    const int status = windows_paths() ? field.status : field.status & 0xFF;
    EXPECT_EQ(result.status, status);
    const Json document = Json::parse(result.output, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << "not one JSON document";
    EXPECT_EQ(document.value("/schema"_json_pointer, 0), 1);
    const Json::json_pointer pointer(field.pointer);
    ASSERT_TRUE(document.contains(pointer));
    EXPECT_EQ(document.at(pointer), Json::parse(field.expected));
  }
}

}  // namespace
}  // namespace vexal::test
