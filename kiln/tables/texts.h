#pragma once

#include <string>

#include "kiln/build_paths.h"
#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr int kTextKindTX = 0;  // numbered from 1, may write the text header
constexpr int kTextKindTG = 1;  // numbered from 0

constexpr size_t kMaxStrings = 10000;

// Compiles a text table into one record under code: the string count, an
// offset table and the strings. With -text, also writes the header of
// "#define" lines (empty for TG), whole or not at all.
int compileTexts(const BuildPaths& paths, bool writeTextHeader, const std::string& path, const char* code,
                 Database& db, int kind);

// Where the text header goes: the build directory, then the source path.
std::string textHeaderPath(const BuildPaths& paths);

}  // namespace kiln
