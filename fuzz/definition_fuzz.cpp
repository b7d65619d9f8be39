// A whole build-and-install run on an arbitrary definition file: the class scanner,
// every statement it runs, the variables, the loading and linking of sources that
// "add" names, the saving of the outputs and their installation. The game, the CD and
// the mod folder hold a few small sources of both layouts, so that an "add" of a known
// name really loads and links, and an install really swaps files.
#include "base/status.h"
#include "driver/run.h"
#include "fuzz_support.h"
#include "support/archive_builder.h"
#include "support/fake_file_system.h"

namespace {

using vexal::test::build_flat;
using vexal::test::build_two_level;

// The sources are built once; every run gets a fresh file system holding them.
struct Sources {
  std::string basics = build_flat({{"A.DAT", "aaa"}, {"B.DAT", "bb"}, {"C.DAT", "c"}});
  std::string words = build_flat({{"WORDS.TXT", "hello"}, {"NAMES.TXT", ""}});
  std::string troop =
      build_two_level({{"HERO_", {{"ab1", "1111"}, {"ab2", "22"}}}, {"MAGE_", {{"xy1", "mage"}}}});
  std::string video = build_flat({{"INTRO.VID", "vvvv"}});
  std::string pack = build_flat({{"A.DAT", "packed"}, {"Z.DAT", "zz"}});
};

void add_sources(vexal::test::FakeFileSystem& fs, const Sources& sources) {
  fs.add_file("C:\\work\\config.ini", "[PATH]\nvexal=C:\\GAME\nvexalcd=D:\\CD\\\nallowcdmod=1\n");
  fs.add_file("C:\\GAME\\data\\BASICS.FS", sources.basics);
  fs.add_file("C:\\GAME\\data\\WORDS.FS", sources.words);
  fs.add_file("C:\\GAME\\data\\TROOP.FSU", sources.troop);
  fs.add_file("D:\\CD\\data\\VIDEO.FS", sources.video);
  fs.add_file("C:\\work\\mod\\pack.fs", sources.pack);
  fs.add_file("C:\\work\\mod\\gfx\\A.DAT", "new a");
  fs.add_file("C:\\work\\mod\\gfx\\b.dat", "new b");
  fs.add_file("C:\\work\\mod\\gfx\\NEW.DAT", "added");
  fs.add_file("C:\\work\\mod\\units\\HERO_\\ab1", "hero");
  fs.add_file("C:\\work\\mod\\units\\NEWGR\\zz9", "group");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Sources sources;
  vexal::test::FakeFileSystem fs("C:\\work");
  add_sources(fs, sources);
  fs.add_file("C:\\work\\mod\\mod.def", vexal::fuzz::as_text(data, size));
  const int code = vexal::run_tool({"mod\\mod.def", "-mod"}, fs);
  // Every failure is one of the tool's codes; 310 is the one without a message.
  vexal::fuzz::require(code == 0 || code == 310 || vexal::message_of(code) != "unknown error!",
                       "the exit status is a known code");
  return 0;
}
