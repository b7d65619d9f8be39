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
  SilentReporter reporter;
  int source = -1;
  require(list.append(source) == Status::ok, "new source record");
  list.get(source)->name = path;
  const Status code = read_archive_file(list, fs, reporter, source, path);
  if (code != Status::ok) {
    require(code == Status::archive_not_opened || code == Status::out_of_memory,
            "a rejected archive gives 403 or 3");
    require(list.size() == 0, "a failed load empties the list");
    return 0;
  }
  const ArchiveRecord& loaded = *list.get(source);
  require(loaded.two_level == two_level, "layout follows the extension");
  for (const Entry& entry : loaded.entries) {
    require(
        entry.offset <= loaded.bytes().size() && entry.size <= loaded.bytes().size() - entry.offset,
        "every entry lies inside the data");
  }

  int output = -1;
  require(list.append(output) == Status::ok, "new output record");
  const std::string saved = two_level ? "C:\\out\\TROOP.FSU" : "C:\\out\\BASICS.FS";
  list.get(output)->name = saved;
  list.get(output)->two_level = two_level;
  require(list.link_archive(output, source) == Status::ok, "linking a loaded archive");
  const std::size_t linked = list.get(output)->entries.size();
  fs.add_directory("C:\\out");
  require(save_archive(list, fs, reporter, output) == Status::ok, "saving what was loaded");

  int reread = -1;
  require(list.append(reread) == Status::ok, "new record for the saved file");
  list.get(reread)->name = saved;
  require(read_archive_file(list, fs, reporter, reread, saved) == Status::ok,
          "reading back a saved archive");
  require(list.get(reread)->entries.size() == linked, "saved entries read back");
  return 0;
}
