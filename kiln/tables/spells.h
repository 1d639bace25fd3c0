#pragma once

#include <string>

#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr size_t kSpellEntrySize = 72;
constexpr size_t kMaxSpells = 255;  // the count is one byte

// Compiles a spell list into one record under code: a count byte, a reserved
// byte and a 72-byte entry per spell. An empty list still adds the record.
int compileSpells(const std::string& path, const char* code, Database& db);

}  // namespace kiln
