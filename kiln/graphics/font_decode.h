#pragma once
// Reads the font record (FN) back, and draws it again as kiln's font text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kiln/pdb/record_info.h"

namespace kiln {

// The glyph words of a font record, in order. False when the record is not a
// whole number of words followed by zero padding.
bool decodeFont(const uint8_t* data, size_t length, std::vector<uint32_t>& words, std::string& error);

// "FN 96 glyphs in 100 words"; fields: words, each its plane ("single",
// "first", "second") and its five rows drawn with "#" and "-".
bool describeFont(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                  std::string& error);

// One glyph row drawn with "#" for a set pixel and "-" for an unset one.
std::string glyphRow(uint32_t word, int row);

// The font text that kiln compiles into this record. False with a reason when
// the plane marks cannot come from a drawing.
bool fontSource(const uint8_t* data, size_t length, std::string& text, std::string& why);

}  // namespace kiln
