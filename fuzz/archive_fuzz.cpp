// The archive file reader on arbitrary bytes, in the layout the first byte picks.
// Whatever it accepts must also survive being linked into an output, saved, and read
// back: an archive that loads is one a mod can rebuild.
#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "fuzz_support.h"
#include "support/fake_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vexal;
  using vexal::fuzz::require;
  if (size == 0) {
    return 0;
  }
  const bool two_level = (data[0] & 1) != 0;
  const std::string path = two_level ? "C:\\game\\data\\TROOP.FSU" : "C:\\game\\data\\BASICS.FS";
  vexal::test::FakeFileSystem fs;
  fs.add_file(path, vexal::fuzz::as_text(data + 1, size - 1));

  ArchiveList list;
  SourceArchive& loaded = list.add_source(path);
  const Status code = read_archive_file(fs, loaded, path).status();
  if (code != Status::ok) {
    require(code == Status::archive_not_opened || code == Status::out_of_memory,
            "a rejected archive gives 403 or 3");
    return 0;
  }
  require(loaded.two_level == two_level, "layout follows the extension");
  for (const Entry& entry : loaded.entries) {
    if (two_level) {
      require(group_items(loaded, entry).has_value(), "every group has its items");
    } else {
      require(entry.position <= loaded.bytes().size() &&
                  entry.size <= loaded.bytes().size() - entry.position,
              "every entry lies inside the data");
    }
  }
  for (const Item& item : loaded.items) {
    require(item.where <= loaded.bytes().size() && item.size <= loaded.bytes().size() - item.where,
            "every item lies inside the data");
  }

  const std::string saved = two_level ? "C:\\out\\TROOP.FSU" : "C:\\out\\BASICS.FS";
  OutputArchive& output = list.add_output("OUT", two_level);
  output.file_path = saved;
  require(list.link_archive(output, loaded).has_value(), "linking a loaded archive");
  fs.add_directory("C:\\out");
  require(save_archive(list, fs, output).has_value(), "saving what was loaded");

  SourceArchive& reread = list.add_source(saved);
  require(read_archive_file(fs, reread, saved).has_value(), "reading back a saved archive");
  require(reread.entries.size() == output.links.size(), "saved entries read back");
  return 0;
}
