#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kiln {

constexpr int kMaxTokens = 80;            // slots of a line
constexpr size_t kMaxTokenLength = 999;   // characters of a token

// Reads the game tables line by line into blank-separated tokens.
struct TokenReader {
  FILE* file = nullptr;
  std::string path;  // named in the tokenizer's own error messages
  int line = 0;      // number of the line last returned (1-based)
  // The tokens of the line last read; slots beyond the stored ones read as
  // empty through token(). Only the slots used are reset for each line.
  std::vector<std::string> tokenTable;

  // Bookkeeping across calls: the number of the physical line being read,
  // whether the last line end was a carriage return (so that the line feed
  // of a CR LF pair is not counted again), and the slots the last line used.
  int physicalLine = 1;
  bool afterCarriageReturn = false;
  size_t slotsUsed = 0;

  const std::string& token(size_t i) const;
  bool atEnd() const { return std::feof(file) != 0; }
};

// Reads the next line that stores at least one character and returns the
// count of tokens ended by a blank, a tab or a closing quote (a last unquoted
// token is stored but not counted). 0 with atEnd() is the end of the file.
// A line of more than 80 tokens or a token of more than 999 characters is
// refused with an "ERROR: " message naming the file and line (kit::fail(1)),
// and so is a read that fails.
int readTokens(TokenReader& reader);

// Prints "  %d) |%s|\n" per slot up to the first empty one, then "%d tokens read\n".
void dumpTokens(const TokenReader& reader, FILE* out);

}  // namespace kiln
