#pragma once

#include <string>

#include "kiln/pdb/record_info.h"

namespace kiln {

// HE: every character with the list's column names and keywords.
bool describeHeroes(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                    std::string& error);

// The character list that compiles to exactly this record.
bool heroesSource(const uint8_t* data, size_t length, std::string& text, std::string& why);

}  // namespace kiln
