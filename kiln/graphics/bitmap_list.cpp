#include "kiln/graphics/bitmap_list.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "common/exit.h"
#include "common/files.h"
#include "kiln/graphics/bitmap.h"
#include "kiln/graphics/read_ahead.h"
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

namespace {

// An entry line as read, before its faults are reported.
struct ListEntry {
  enum class Fault { none, noNumberOrName, outOfSequence } fault = Fault::none;
  long number = 0;
  std::string name;
};

// Reads the list's next entry into entry, printing nothing; false at the end
// of the list. Only an entry without a fault counts in the numbering.
bool nextListEntry(const BuildPaths& paths, BitmapList& list, ListEntry& entry, int& compressFlag) {
  compressFlag = 1;
  entry = ListEntry{};
  std::string line;
  do {
    if (list.next >= list.text.size()) return false;
    size_t end = list.next;
    while (end < list.text.size() && list.text[end] != '\n') ++end;
    line.assign(list.text.begin() + list.next, list.text.begin() + end);
    list.next = end + 1;
    ++list.lineNumber;
  } while (skipped(line));
  paths.applySlashRule(line);

  const char* p = line.c_str();
  bool haveNumber = readNumber(p, entry.number);
  while (*p && isBlank(*p)) ++p;
  while (*p && !isBlank(*p)) entry.name += *p++;
  if (!haveNumber || entry.name.empty()) {
    entry.fault = ListEntry::Fault::noNumberOrName;
    return true;
  }
  long flag = 0;
  if (readNumber(p, flag)) compressFlag = int(flag);

  // The first entry may start anywhere; the rest must count on by one, so a
  // missing or doubled line cannot shift every later brush unnoticed.
  // Numbers too large for a long are read as LONG_MAX, which nothing can follow.
  if (list.entries > 0 && (list.lastNumber == LONG_MAX || entry.number != list.lastNumber + 1)) {
    entry.fault = ListEntry::Fault::outOfSequence;
    return true;
  }
  list.lastNumber = entry.number;
  ++list.entries;
  return true;
}

// The image paths of the list's entries from where the reader is, up to the
// first faulty line (which is reported when the compiler gets there).
std::vector<std::string> upcomingImages(const BuildPaths& paths, const BitmapList& list) {
  BitmapList ahead = list;
  std::vector<std::string> images;
  ListEntry entry;
  int compressFlag = 1;
  while (nextListEntry(paths, ahead, entry, compressFlag) && entry.fault == ListEntry::Fault::none)
    images.push_back(paths.listedFilePath(entry.name));
  return images;
}

}  // namespace

std::optional<std::string> readBitmapListEntry(const BuildPaths& paths, BitmapList& list, int& compressFlag) {
  ListEntry entry;
  if (!nextListEntry(paths, list, entry, compressFlag)) return std::nullopt;
  switch (entry.fault) {
    case ListEntry::Fault::none:
      return paths.listedFilePath(entry.name);
    case ListEntry::Fault::noNumberOrName:
      std::fprintf(stderr, "ERROR: %s line %d: a bitmap list entry needs a number and a file name\n",
                   list.path.c_str(), list.lineNumber);
      break;
    case ListEntry::Fault::outOfSequence:
      std::fprintf(stderr, "ERROR: brush out of sequence %d %s\n", int(entry.number), entry.name.c_str());
      printAt(list.path, list.lineNumber);
      break;
  }
  kit::fail(1);
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
  // The images are read on a second thread while the ones before them are
  // converted.
  ImageReadAhead images(upcomingImages(paths, list));
  int compressFlag = 1;
  while (std::optional<std::string> entry = readBitmapListEntry(paths, list, compressFlag)) {
    try {
      convertBitmap(graphics, *entry, images.take(*entry), db, compressFlag, code, depth, palette, totals);
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
