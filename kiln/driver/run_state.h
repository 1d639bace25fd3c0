#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "kiln/build_paths.h"
#include "kiln/graphics/graphics_state.h"
#include "kiln/pdb/pdb.h"
#include "kiln/tables/tables_state.h"
#include "kiln/world/world_state.h"

namespace kiln {

struct Options {
  bool makeAdventureDb = true;  // TADV databases
  bool makeTileDb = true;       // TILE databases
  bool makeWallDb = true;       // WALL databases
  bool writeTextHeader = false;  // -text
  bool makeHistogram = false;    // -hist
  bool forwardSlashes = false;   // -fs
  FILE* paletteListing = nullptr;  // -palette: palette.txt, owned by the run
};

// Everything one build knows, owned by main (or by a test) and passed down.
// There are no mutable globals: two builds can run in one process.
struct RunState {
  Options options;
  std::string adventuresPath;
  std::string configPath;  // as given; named in the configuration's messages
  int configLine = 0;      // number of the configuration line last read (from 1)
  std::string buildDirectory;
  bool haveBuildDirectory = false;
  std::unique_ptr<Database> openDatabase;
  DatabaseCommits commits;  // the databases finished and not yet in place
  bool databaseSelected = true;
  GraphicsState graphics;
  WorldState world;
  TablesState tables;

  RunState() = default;
  RunState(const RunState&) = delete;
  RunState& operator=(const RunState&) = delete;
  ~RunState() {
    if (options.paletteListing) std::fclose(options.paletteListing);
  }

  char separator() const { return options.forwardSlashes ? '/' : '\\'; }

  // What the compilers get of the run: its paths and the -fs rule.
  BuildPaths paths() const { return {adventuresPath, buildDirectory, options.forwardSlashes}; }
};

// With -fs every "\" of a configuration or list line becomes "/".
inline void applySlashRule(const RunState& run, std::string& line) {
  if (!run.options.forwardSlashes) return;
  for (char& c : line)
    if (c == '\\') c = '/';
}

// A file named by a configuration data line: the build directory, the
// separator (unless the directory already ends in "\"), then the name.
inline std::string inputPath(const RunState& run, const std::string& name) {
  std::string path = run.buildDirectory;
  if (path.empty() || path.back() != '\\') path += run.separator();
  path += name;
  return path;
}

// A file named in a list (bitmaps, walls, maps) or a database file: the build
// directory, the separator, then the name. Unlike a data line's input path,
// the separator is added even after a directory that ends in "\".
inline std::string listedFilePath(const RunState& run, const std::string& name) {
  return run.buildDirectory + run.separator() + name;
}

}  // namespace kiln
