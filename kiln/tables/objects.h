#pragma once

#include <string>

#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr size_t kObjectEntrySize = 46;
constexpr size_t kMaxObjects = 65535;  // the count is a 16-bit field

// Compiles an object table into one record under code: a 16-bit count and a
// 46-byte entry per object. A table without objects adds no record.
int compileObjects(const std::string& path, const char* code, Database& db);

}  // namespace kiln
