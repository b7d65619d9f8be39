// A working folder with config.ini and a game on the fake file system, shared by the
// tests of the installation state.
#pragma once

#include <string>
#include <vector>

#include "fs/archive_list.h"
#include "fs/catalogue.h"
#include "platform/settings.h"
#include "support/fake_file_system.h"
#include "support/status_print.h"

namespace vexal::test {

inline constexpr const char* kCwd = "C:\\tools\\mb";
inline constexpr const char* kConfig = "C:\\tools\\mb\\config.ini";
inline constexpr const char* kGameData = "C:\\GAME\\data\\";
inline constexpr const char* kCdData = "E:\\CD\\data\\";
inline constexpr const char* kBackup = "C:\\tools\\mb\\backup\\";
inline constexpr const char* kOutput = "C:\\mods\\knights\\out\\";

inline const std::string kPathLines = "[PATH]\nvexal=C:\\GAME\nvexalcd=E:\\CD\nallowcdmod=1\n";

struct InstallWorld {
  FakeFileSystem fs{kCwd};

  explicit InstallWorld(const std::string& config = kPathLines) {
    fs.add_file(kConfig, config);
    fs.add_directory("C:\\GAME\\data");
    fs.add_directory("E:\\CD\\data");
    fs.add_directory("C:\\mods\\knights\\out");
  }

  // "<missing>" when STATUS has no such key.
  std::string status(const std::string& key) {
    return open_settings(fs, kConfig)->read_string("STATUS", key, "<missing>");
  }
  std::vector<std::string> status_keys() { return open_settings(fs, kConfig)->key_names("STATUS"); }
  std::string file(const std::string& path) { return fs.contents(path).value_or("<none>"); }
};

// An archive list holding one built output per name, placed in the slot table the way
// the class scanner and the save loop leave it.
struct BuiltMod {
  ArchiveList list;
  SlotTable slots{};

  BuiltMod() { reset_slot_table(slots); }
  void add(const std::string& catalogue_name, const std::string& folder = kOutput) {
    const CatalogueMatch match = match_catalogue(catalogue_name);
    int slot = -1;
    EXPECT_EQ(list.append(slot), Status::ok);
    ArchiveRecord& record = *list.get(slot);
    record.name = folder + catalogue_name;
    record.cd_archive = match.cd_archive;
    slots[slot_of_class(match.class_code)] = slot;
  }
};

}  // namespace vexal::test
