#include "kiln/text/where.h"
#include "kiln/graphics/font.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "common/exit.h"
#include "common/files.h"
#include "kiln/pdb/bytes.h"

namespace kiln {

namespace {
struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// One line without its line feed; false at the end of the file. A line of
// any length is one line.
bool readLine(FILE* file, std::string& line) {
  line.clear();
  int c;
  while ((c = std::getc(file)) != EOF) {
    if (c == '\n') return true;
    line += char(c);
  }
  return !line.empty();
}

// The six pixels of a row line in their place in the glyph word; blank, "-"
// and carriage return are unset, and a short row is blank to its end.
uint32_t rowBits(const std::string& line, int row) {
  uint32_t bits = 0;
  for (size_t c = 0; c < size_t(kGlyphColumns) && c < line.size(); ++c) {
    char ch = line[c];
    if (ch != ' ' && ch != '-' && ch != '\r') bits |= glyphBit(row, int(c));
  }
  return bits;
}
}  // namespace

int compileFont(const std::string& path, const char* code, Database& db) {
  std::unique_ptr<FILE, FileCloser> file(kit::openInputFile(path));
  if (!file) {
    std::perror(("ERROR: Can not open " + path).c_str());
    kit::fail(1);
  }

  std::vector<uint8_t> words;
  int lineNumber = 0;
  uint32_t accumulator = 0;
  bool mark = false;  // the last separator was "@"
  std::string line;
  while (readLine(file.get(), line)) {
    ++lineNumber;
    if (lineNumber % 6 != 0) {
      accumulator |= rowBits(line, lineNumber % 6);
      continue;
    }
    unsigned char first = line.empty() ? '\n' : (unsigned char)line[0];
    if (first != ' ' && first != '\n' && first != '\r' && first != kSecondPlaneFollows) {
      std::fprintf(stderr, "Line %d: Expected blank or @, but found '%c'(%d)\n", lineNumber, first, first);
      printAt(path, lineNumber);
      kit::fail(1);
    }
    bool previous = mark;
    mark = first == kSecondPlaneFollows;
    if (previous && mark) {
      std::fprintf(stderr, "Line %d: only two bit planes supported\n", lineNumber);
      printAt(path, lineNumber);
      kit::fail(1);
    }
    if (mark) accumulator |= kGlyphFirstOfTwo;
    if (previous) accumulator |= kGlyphSecondPlane;
    if (words.size() / 4 >= kMaxGlyphWords) {
      std::fprintf(stderr, "ERROR: %s holds more than %zu glyph words (line %d)\n", path.c_str(), kMaxGlyphWords,
                   lineNumber);
      kit::fail(1);
    }
    appendBE32(words, accumulator);
    accumulator = 0;
  }
  // A last glyph marked as a first plane keeps its mark even when no second
  // plane follows: the word is stored as drawn.
  addPDBEntry(db, code, words);
  return 0;
}

}  // namespace kiln
