#pragma once
// Where a build reads and writes: what the compilers need of the run's
// options and its NAME line, and nothing else of the driver.

#include <string>

namespace kiln {

struct BuildPaths {
  std::string adventuresPath;  // wallattr.bin is written here
  std::string buildDirectory;  // input files and databases
  bool forwardSlashes = false;  // -fs

  char separator() const { return forwardSlashes ? '/' : '\\'; }

  // With -fs every "\" of a configuration or list line becomes "/".
  void applySlashRule(std::string& line) const {
    if (!forwardSlashes) return;
    for (char& c : line)
      if (c == '\\') c = '/';
  }

  // A file named in a list (bitmaps, walls, maps) or a database file: the
  // build directory, the separator, then the name. Unlike a data line's input
  // path, the separator is added even after a directory that ends in "\".
  std::string listedFilePath(const std::string& name) const { return buildDirectory + separator() + name; }
};

}  // namespace kiln
