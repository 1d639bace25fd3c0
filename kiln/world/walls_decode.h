#pragma once

#include <string>

#include "kiln/pdb/record_info.h"

namespace kiln {

// WA: one wall: its flags, attributes 10 to 13, and each view's brushes.
bool describeWall(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info, std::string& error);

// A wall file that compiles to exactly this record, under the given name
// (the record does not keep the wall's name; wallattr.bin does).
bool wallSource(const uint8_t* data, size_t length, const std::string& name, std::string& text, std::string& why);

}  // namespace kiln
