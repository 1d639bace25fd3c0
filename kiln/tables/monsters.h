#pragma once

#include <string>

#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr int kMonsterEntrySize = 56;
constexpr int kMonsterNameSize = 24;
constexpr int kMaxMonsters = 255;  // the count is one byte

// MO: one line of 26 columns per kind of monster, stored as one record: the
// count, a zero byte, then a 56-byte entry per monster. A line with the wrong
// number of columns, or a smallest group above the largest, stops the build.
int compileMonsters(const std::string& path, const char* code, Database& db);

// Prints "Error: <text>" on standard error; a non-zero exitCode then ends the
// build with that status.
void reportError(const char* text, int exitCode);

}  // namespace kiln
