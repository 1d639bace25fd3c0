#pragma once
// The records the driver writes itself: AU (the database line's AU text and
// its zero byte) and the string records RW, RT, RE ([major][minor][text]).

#include <string>

#include "kiln/pdb/record_info.h"

namespace kiln {

bool describeAuthor(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                    std::string& error);
bool describeString(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                    std::string& error);

// The AU text of a database line that gives this AU record.
bool authorSource(const uint8_t* data, size_t length, std::string& text, std::string& why);
// The configuration data line ("RW text 1.0", "RE 2.5") that gives this record.
bool stringSource(const std::string& code, const uint8_t* data, size_t length, std::string& line,
                  std::string& why);

// A text that can stand in a field of a configuration line built with -fs
// (no field separator, no line end, no "\" that -fs would turn into "/").
bool configText(const std::string& text, const char* separators, std::string& why);

}  // namespace kiln
