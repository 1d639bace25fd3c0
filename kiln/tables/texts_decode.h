#pragma once

#include <string>

#include "kiln/pdb/record_info.h"

namespace kiln {

// TX, TG: the strings with their numbers as the table writes them.
bool describeTexts(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info, std::string& error);

// The text table that compiles to exactly this record under code.
bool textsSource(const std::string& code, const uint8_t* data, size_t length, std::string& text, std::string& why);

}  // namespace kiln
