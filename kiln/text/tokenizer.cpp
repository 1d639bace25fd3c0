#include "kiln/text/tokenizer.h"

#include <cerrno>
#include <cstring>

#include "common/exit.h"

namespace kiln {

namespace {

enum class State { between, inToken, inQuotes, escape, comment };

bool isBlank(int c) { return c == ' ' || c == '\t'; }

const std::string& emptyToken() {
  static const std::string empty;
  return empty;
}

[[noreturn]] void tooManyTokens(const TokenReader& reader) {
  std::fprintf(stderr, "ERROR: %s line %d: more than %d tokens on a line\n", reader.path.c_str(),
               reader.physicalLine, kMaxTokens);
  kit::fail(1);
}

// Puts one byte at the end of the token in slot `count`.
void store(TokenReader& reader, int count, char c) {
  if (count >= kMaxTokens) tooManyTokens(reader);
  std::string& slot = reader.tokenTable[size_t(count)];
  if (slot.size() >= kMaxTokenLength) {
    std::fprintf(stderr, "ERROR: %s line %d: token %d is longer than %zu characters\n",
                 reader.path.c_str(), reader.physicalLine, count, kMaxTokenLength);
    kit::fail(1);
  }
  slot.push_back(c);
  if (size_t(count) + 1 > reader.slotsUsed) reader.slotsUsed = size_t(count) + 1;
}

// Counts a finished token, refusing the 81st.
void endToken(TokenReader& reader, int& count) {
  if (count >= kMaxTokens) tooManyTokens(reader);
  ++count;
}

}  // namespace

const std::string& TokenReader::token(size_t i) const {
  return i < tokenTable.size() ? tokenTable[i] : emptyToken();
}

int readTokens(TokenReader& reader) {
  if (reader.tokenTable.size() < size_t(kMaxTokens)) reader.tokenTable.resize(kMaxTokens);
  // Only the slots the last line wrote need clearing; clear() keeps their
  // capacity, so a long table costs no allocation per line either.
  for (size_t i = 0; i < reader.slotsUsed; ++i) reader.tokenTable[i].clear();
  reader.slotsUsed = 0;

  State state = State::between;
  int count = 0;
  int linePosition = 0;
  bool stored = false;

  for (;;) {
    int c = std::getc(reader.file);
    if (c == 0) {
      reader.afterCarriageReturn = false;
      reader.line = reader.physicalLine;
      return 0;
    }
    if (c == EOF) {
      // A failed read is not the end of the table: callers read on until the
      // end of the file, so it would never come.
      if (std::ferror(reader.file)) {
        std::fprintf(stderr, "ERROR: %s line %d: could not read the file: %s\n", reader.path.c_str(),
                     reader.physicalLine, std::strerror(errno));
        kit::fail(1);
      }
      reader.line = reader.physicalLine;
      return stored ? count : 0;
    }
    if (c == '\n' || c == '\r') {
      bool pairedFeed = c == '\n' && reader.afterCarriageReturn;
      reader.afterCarriageReturn = c == '\r';
      int thisLine = reader.physicalLine;
      if (!pairedFeed) ++reader.physicalLine;
      if (stored) {
        reader.line = thisLine;
        return count;
      }
      // Nothing stored: an empty, blank or comment line, or one of empty
      // quoted tokens only. Forget it and read on.
      for (size_t i = 0; i < reader.slotsUsed; ++i) reader.tokenTable[i].clear();
      reader.slotsUsed = 0;
      count = 0;
      linePosition = 0;
      state = State::between;
      continue;
    }
    reader.afterCarriageReturn = false;

    char ch = char(c);
    switch (state) {
      case State::between:
        if (ch == '"') {
          state = State::inQuotes;
        } else if (ch == '#' && linePosition == 0) {
          state = State::comment;
        } else if (!isBlank(ch)) {
          store(reader, count, ch);
          stored = true;
          state = State::inToken;
        }
        break;
      case State::inToken:
        if (isBlank(ch)) {
          endToken(reader, count);
          state = State::between;
        } else {
          store(reader, count, ch);
          stored = true;
        }
        break;
      case State::inQuotes:
        if (ch == '\\') {
          state = State::escape;
        } else if (ch == '"') {
          endToken(reader, count);
          state = State::between;
        } else {
          store(reader, count, ch);
          stored = true;
        }
        break;
      case State::escape:
        // An escaped character alone does not make the line hold something.
        store(reader, count, ch == 'n' ? '\n' : ch);
        state = State::inQuotes;
        break;
      case State::comment:
        break;
    }
    ++linePosition;
  }
}

void dumpTokens(const TokenReader& reader, FILE* out) {
  int printed = 0;
  for (size_t i = 0; i < reader.tokenTable.size() && !reader.tokenTable[i].empty(); ++i) {
    std::fprintf(out, "  %d) |%s|\n", int(i), reader.tokenTable[i].c_str());
    ++printed;
  }
  std::fprintf(out, "%d tokens read\n", printed);
}

}  // namespace kiln
