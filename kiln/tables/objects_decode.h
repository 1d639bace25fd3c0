#pragma once

#include <string>

#include "kiln/pdb/record_info.h"

namespace kiln {

// OB: the count and every object with the table's column names and keywords.
bool describeObjects(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                     std::string& error);

// The object table that compiles to exactly this record.
bool objectsSource(const uint8_t* data, size_t length, std::string& text, std::string& why);

}  // namespace kiln
