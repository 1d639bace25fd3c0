#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kiln/pdb/record_info.h"

namespace kiln {

// MP: one map: its header, specials, special code and both layers.
bool describeMap(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info, std::string& error);

// The map's name as stored (up to its first zero byte).
std::string mapName(const uint8_t* data, size_t length);

// The binary map file that compiles to exactly this record.
bool mapSource(const uint8_t* data, size_t length, std::vector<uint8_t>& file, std::string& why);

}  // namespace kiln
