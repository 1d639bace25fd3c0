#pragma once

#include <string>

#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr size_t kHeroEntrySize = 108;
constexpr size_t kMaxHeroes = 256;      // the closing endoflist entry included
constexpr int kMaxHeroItems = 10;       // whole 6-byte item slots in an entry

// Compiles a character list into one record under code: a 108-byte entry per
// character, the closing endoflist entry included.
int compileHeroes(const std::string& path, const char* code, Database& db);

}  // namespace kiln
