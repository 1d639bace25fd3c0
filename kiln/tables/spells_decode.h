#pragma once

#include <string>

#include "kiln/pdb/record_info.h"

namespace kiln {

// SP: every spell with the list's column names and keywords.
bool describeSpells(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                    std::string& error);

// The spell list that compiles to exactly this record.
bool spellsSource(const uint8_t* data, size_t length, std::string& text, std::string& why);

}  // namespace kiln
