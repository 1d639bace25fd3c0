#pragma once

#include <string>

#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr int kClassRows = 25;
constexpr int kClassColumns = 32;  // one per character class a hero may have

// CL: a grid of 25 rows by 32 one-byte values, one text line a row (a label,
// then 32 numbers), stored as one 800-byte record. Rows and columns the table
// does not give are 0; rows after the 25th are checked but not stored.
int compileClasses(const std::string& path, const char* code, Database& db);

}  // namespace kiln
