#include "kiln/graphics/bitmap_list.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "common/exit.h"
#include "common/files.h"
#include "kiln/graphics/bitmap.h"
#include "kiln/text/where.h"

namespace kiln {

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// A comment, an empty or one-character line, or only blanks (a blank line
// with a carriage return, or trailing spaces): not an entry.
bool skipped(const std::string& line) {
  if (line.empty() || line[0] == '#' || line.size() == 1) return true;
  for (char c : line)
    if (!isBlank(c)) return false;
  return true;
}

// Reads a number as "%d" does: optional blanks, a sign, digits.
bool readNumber(const char*& p, long& value) {
  char* end = nullptr;
  value = std::strtol(p, &end, 10);
  if (end == p) return false;
  p = end;
  return true;
}

}  // namespace

std::optional<std::string> readBitmapListEntry(const BuildPaths& paths, BitmapList& list, int& compressFlag) {
  compressFlag = 1;
  std::string line;
  do {
    if (list.next >= list.text.size()) return std::nullopt;
    size_t end = list.next;
    while (end < list.text.size() && list.text[end] != '\n') ++end;
    line.assign(list.text.begin() + list.next, list.text.begin() + end);
    list.next = end + 1;
    ++list.lineNumber;
  } while (skipped(line));
  paths.applySlashRule(line);

  const char* p = line.c_str();
  long number = 0;
  bool haveNumber = readNumber(p, number);
  while (*p && isBlank(*p)) ++p;
  std::string name;
  while (*p && !isBlank(*p)) name += *p++;
  if (!haveNumber || name.empty()) {
    std::fprintf(stderr, "ERROR: %s line %d: a bitmap list entry needs a number and a file name\n",
                 list.path.c_str(), list.lineNumber);
    kit::fail(1);
  }
  long flag = 0;
  if (readNumber(p, flag)) compressFlag = int(flag);

  // The first entry may start anywhere; the rest must count on by one, so a
  // missing or doubled line cannot shift every later brush unnoticed.
  // Numbers too large for a long are read as LONG_MAX, which nothing can follow.
  if (list.entries > 0 && (list.lastNumber == LONG_MAX || number != list.lastNumber + 1)) {
    std::fprintf(stderr, "ERROR: brush out of sequence %d %s\n", int(number), name.c_str());
    printAt(list.path, list.lineNumber);
    kit::fail(1);
  }
  list.lastNumber = number;
  ++list.entries;
  return paths.listedFilePath(name);
}

int compileBitmapList(const BuildPaths& paths, GraphicsState& graphics, const std::string& listPath, const char* code, Database& db, int depth,
                      const Palette* palette) {
  BitmapTotals totals;
  if (depth == 8 && !palette) {
    std::fprintf(stderr, "ERROR: you must define a palette before brushes\n");
    kit::fail(1);
  }
  BitmapList list;
  list.path = listPath;
  if (!kit::readWholeFile(listPath, list.text)) {
    std::perror("ERROR: Could not open brush file");
    printAtFile(listPath);
    kit::fail(1);
  }
  int compressFlag = 1;
  while (std::optional<std::string> entry = readBitmapListEntry(paths, list, compressFlag)) {
    try {
      convertBitmap(graphics, *entry, db, compressFlag, code, depth, palette, totals);
    } catch (const kit::Exit&) {
      // Which line of the list named the image that failed.
      printAt(list.path, list.lineNumber);
      throw;
    }
  }
  std::printf("    Total size: %d    Uncompressed size %d.\n", int(totals.totalStoredSize),
              int(totals.totalUncompressedSize));
  return 0;
}

}  // namespace kiln
