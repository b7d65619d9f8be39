// The definition that builds the combined archives: a PATH block with its own MAKE and,
// for every archive, adds that take each entry from where its winner takes it, every
// source named by a path that a build finds from the definition's folder. What no add
// can say (a group merged from several mods' items, an entry whose name no mask picks
// alone) is written as a folder source beside the definition.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "base/expected.h"
#include "install/config.h"
#include "toolkit/combined_archive.h"

namespace vexal::fs_tool {

// A file of a folder source, by its path below the definition's folder.
struct SourceFile {
  std::string path;
  std::span<const std::byte> bytes;
};

struct CombinedDefinition {
  std::string text;
  std::vector<SourceFile> files;
};

// What the definition is written for.
struct DefinitionPlace {
  std::string folder;  // where it is written: the full path
  ConfigPaths config;  // the PATH values, as VEXAL and VEXALCD stand for them
  GameFolders game;
  // The names of every entry of each source, in the source's order (the game's
  // archives included).
  std::map<std::string, std::vector<std::string>> source_entries;
};

inline constexpr std::string_view kSourcesFolder = "sources";

// Composes the definition of the combined archives. Fails with archive_not_created,
// naming each source path or name that cannot be written in a definition.
Expected<CombinedDefinition> compose_definition(const DefinitionPlace& place,
                                                const std::vector<std::string>& mods,
                                                const std::vector<CombinedArchive>& archives);

}  // namespace vexal::fs_tool
