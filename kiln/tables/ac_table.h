#pragma once

#include <string>

#include "kiln/pdb/pdb.h"
#include "kiln/tables/tables_state.h"
#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr int kAcColumns = 32;
constexpr int kMaxAcRows = 255;  // the row count is one byte

// AC: rows of a label and 32 numbers, stored as one record: the row count, a
// zero byte, then the rows of 32 bytes. The rows run on across the AC lines of
// a build: each line's record holds the rows of every AC line before it too.
int compileAcTable(TablesState& tables, const std::string& path, const char* code, Database& db);

}  // namespace kiln
