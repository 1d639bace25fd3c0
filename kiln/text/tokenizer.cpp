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

constexpr size_t kBlockSize = 64 * 1024;

[[noreturn]] void tokenTooLong(const TokenReader& reader, int count) {
  std::fprintf(stderr, "ERROR: %s line %d: token %d is longer than %zu characters\n", reader.path.c_str(),
               reader.physicalLine, count, kMaxTokenLength);
  kit::fail(1);
}

// Puts n bytes at the end of the token in slot `count`.
void store(TokenReader& reader, int count, const char* bytes, size_t n) {
  if (count >= kMaxTokens) tooManyTokens(reader);
  std::string& slot = reader.tokenTable[size_t(count)];
  if (slot.size() + n > kMaxTokenLength) tokenTooLong(reader, count);
  slot.append(bytes, n);
  if (size_t(count) + 1 > reader.slotsUsed) reader.slotsUsed = size_t(count) + 1;
}

// Counts a finished token, refusing the 81st.
void endToken(TokenReader& reader, int& count) {
  if (count >= kMaxTokens) tooManyTokens(reader);
  ++count;
}

// Reads the next block; false at the end of the file or when the read fails.
bool refill(TokenReader& reader) {
  if (reader.endOfFile) return false;
  if (reader.buffer.size() < kBlockSize) reader.buffer.resize(kBlockSize);
  reader.bufferAt = 0;
  reader.bufferEnd = std::fread(reader.buffer.data(), 1, reader.buffer.size(), reader.file);
  if (reader.bufferEnd == 0) reader.endOfFile = true;
  return reader.bufferEnd != 0;
}

bool endsLine(char c) { return c == '\n' || c == '\r' || c == '\0'; }

// The length of the run of bytes from p (before end) that the current state
// stores or skips as they come: up to a line end or a zero byte, and in a
// token also a blank, in quotes also a backslash or a double quote.
size_t plainRun(const char* p, const char* end, State state) {
  const char* q = p;
  switch (state) {
    case State::inToken:
      while (q < end && !endsLine(*q) && !isBlank(*q)) ++q;
      break;
    case State::inQuotes:
      while (q < end && !endsLine(*q) && *q != '\\' && *q != '"') ++q;
      break;
    case State::comment:
      while (q < end && !endsLine(*q)) ++q;
      break;
    default:
      break;
  }
  return size_t(q - p);
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
    if (reader.bufferAt == reader.bufferEnd && !refill(reader)) {
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
    const char* here = reader.buffer.data() + reader.bufferAt;
    char ch = *here;
    if (ch == 0) {
      ++reader.bufferAt;
      reader.afterCarriageReturn = false;
      reader.line = reader.physicalLine;
      return 0;
    }
    if (ch == '\n' || ch == '\r') {
      ++reader.bufferAt;
      bool pairedFeed = ch == '\n' && reader.afterCarriageReturn;
      reader.afterCarriageReturn = ch == '\r';
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

    // Ordinary bytes of a token, a quoted token or a comment are taken as a run.
    size_t run = plainRun(here, reader.buffer.data() + reader.bufferEnd, state);
    if (run > 0) {
      if (state != State::comment) {
        store(reader, count, here, run);
        stored = true;
      }
      reader.bufferAt += run;
      linePosition += int(run);
      continue;
    }

    ++reader.bufferAt;
    switch (state) {
      case State::between:
        if (ch == '"') {
          state = State::inQuotes;
        } else if (ch == '#' && linePosition == 0) {
          state = State::comment;
        } else if (!isBlank(ch)) {
          store(reader, count, &ch, 1);
          stored = true;
          state = State::inToken;
        }
        break;
      case State::inToken:  // a blank
        endToken(reader, count);
        state = State::between;
        break;
      case State::inQuotes:
        if (ch == '\\') {
          state = State::escape;
        } else {  // the closing quote
          endToken(reader, count);
          state = State::between;
        }
        break;
      case State::escape: {
        // An escaped character alone does not make the line hold something.
        char escaped = ch == 'n' ? '\n' : ch;
        store(reader, count, &escaped, 1);
        state = State::inQuotes;
        break;
      }
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
