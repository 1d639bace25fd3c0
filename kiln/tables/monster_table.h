#pragma once

#include <string>

#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr int kMaxMonsterTableEntries = 128;

// MT: lines of a label and two numbers, stored as one record: the entry count,
// a zero byte, then each entry's two numbers as big-endian 16-bit values.
int compileMonsterTable(const std::string& path, const char* code, Database& db);

}  // namespace kiln
