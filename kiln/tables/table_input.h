#pragma once
// What the number-table compilers (classes, monsters, monster table, AC table)
// share: an input table that is closed on every way out, and atoi's rules for
// a column.

#include <cstdint>
#include <cstdio>
#include <string>

#include "kiln/text/tokenizer.h"

namespace kiln {

// An open table and the tokens of its line last read. The file is closed when
// the compiler returns or a fault unwinds through it.
struct TableInput {
  TokenReader reader;

  TableInput() = default;
  TableInput(const TableInput&) = delete;
  TableInput& operator=(const TableInput&) = delete;
  ~TableInput() {
    if (reader.file) std::fclose(reader.file);
  }
};

// Opens path for reading. A file that cannot be opened is reported through
// perror with openMessage and ends the build with status 1.
void openTable(TableInput& in, const std::string& path, const std::string& openMessage);

// A column's number by atoi's rules: leading white space, an optional sign,
// decimal digits; anything else (an empty or missing token too) is 0. Digits
// beyond the int range wrap around (modulo 2^32) instead of being undefined,
// so the low bits a field keeps are always well defined.
int columnNumber(const std::string& token);

// Copies at most width characters of text into a name field of width bytes;
// the rest of the field keeps its zero bytes, and a name that fills the field
// has no terminator.
inline void copyName(uint8_t* field, size_t width, const std::string& text) {
  for (size_t i = 0; i < width && i < text.size(); ++i) field[i] = uint8_t(text[i]);
}

}  // namespace kiln
