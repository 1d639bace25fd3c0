#pragma once

#include <string>

#include "kiln/pdb/record_info.h"

namespace kiln {

// MO: every monster with the list's column names.
bool describeMonsters(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                      std::string& error);

// The monster list that compiles to exactly this record.
bool monstersSource(const uint8_t* data, size_t length, std::string& text, std::string& why);

}  // namespace kiln
