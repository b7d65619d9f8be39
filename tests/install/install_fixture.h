// A working folder with config.ini and a game on the fake file system, shared by the
// tests of the installation state.
#pragma once

#include <gtest/gtest.h>

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

// A game with every archive of the catalogue in its folder ("game NAME"), and a mod built
// of the given ones ("mod NAME" in the output folder), in the archive list and slot table
// the way the class scanner and the save loop leave them.
struct ModWorld : InstallWorld {
  ArchiveList list;
  SlotTable slots{};

  explicit ModWorld(std::initializer_list<const char*> built,
                    const std::string& config = kPathLines)
      : InstallWorld(config) {
    reset_slot_table(slots);
    for (const CatalogueEntry& entry : kCatalogue) {
      const std::string folder = entry.cd_archive ? kCdData : kGameData;
      fs.add_file(folder + std::string(entry.name), "game " + std::string(entry.name));
    }
    for (const char* name : built) {
      fs.add_file(kOutput + std::string(name), std::string("mod ") + name);
      const CatalogueMatch match = match_catalogue(name);
      int slot = -1;
      EXPECT_EQ(list.append(slot), Status::ok);
      list.get(slot)->name = kOutput + std::string(name);
      list.get(slot)->cd_archive = match.cd_archive;
      slots[slot_of_class(match.class_code)] = slot;
    }
  }
};

}  // namespace vexal::test
