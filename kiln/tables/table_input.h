#pragma once
// What the table compilers share: an input table that is closed on every way
// out, its line-by-line reading, atoi's rules for a column and name fields.

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

// Reads the table's next line into the reader's tokens and its count into
// count; false at the end of the file, which is a count of 0 with the file at
// its end (a 0 before the end is a line of one unquoted token).
inline bool readTableLine(TokenReader& reader, int& count) {
  if (reader.atEnd()) return false;
  count = readTokens(reader);
  return !(count == 0 && reader.atEnd());
}

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
