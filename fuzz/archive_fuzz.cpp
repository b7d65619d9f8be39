// The archive file reader on arbitrary bytes, in the layout the first byte picks.
// Whatever it accepts must also survive being linked into an output, saved, and read
// back: an archive that loads is one a mod can rebuild.
#include "fs/archive_io.h"
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
  int source = -1;
  require(list.fs_new_archive(source) == 0, "new source record");
  list.fs_get_archive(source)->name = path;
  const int code = fs_load_archive_file(list, fs, source, path);
  if (code != 0) {
    require(code == 403 || code == 3, "a rejected archive gives 403 or 3");
    require(list.size() == 0, "a failed load empties the list");
    return 0;
  }
  const ArchiveRecord& loaded = *list.fs_get_archive(source);
  require(loaded.two_level == two_level, "layout follows the extension");
  for (const Entry& entry : loaded.entries) {
    require(
        entry.offset <= loaded.bytes().size() && entry.size <= loaded.bytes().size() - entry.offset,
        "every entry lies inside the data");
  }

  int output = -1;
  require(list.fs_new_archive(output) == 0, "new output record");
  const std::string saved = two_level ? "C:\\out\\TROOP.FSU" : "C:\\out\\BASICS.FS";
  list.fs_get_archive(output)->name = saved;
  list.fs_get_archive(output)->two_level = two_level;
  require(list.fs_link_archive(output, source) == 0, "linking a loaded archive");
  const std::size_t linked = list.fs_get_archive(output)->entries.size();
  fs.add_directory("C:\\out");
  require(fs_save_archive(list, fs, output) == 0, "saving what was loaded");

  int reread = -1;
  require(list.fs_new_archive(reread) == 0, "new record for the saved file");
  list.fs_get_archive(reread)->name = saved;
  require(fs_load_archive_file(list, fs, reread, saved) == 0, "reading back a saved archive");
  require(list.fs_get_archive(reread)->entries.size() == linked, "saved entries read back");
  return 0;
}
