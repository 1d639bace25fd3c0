#pragma once
// Line reading and number scanning shared by the walls and maps compilers.

#include <cstdio>
#include <string>

#include "kiln/build_paths.h"

namespace kiln {

// Reads one line, its "\n" included when there is one, however long it is.
// False at the end of the file (or on a read error) with nothing read.
bool readLine(FILE* file, std::string& line);

// True for a line of nothing but blanks, tabs and line ends.
bool isBlankLine(const std::string& line);

// One "%d" as the C library scans it: white space, a sign, at least one
// digit. Advances p past it; false (p unchanged) when there is no number.
// Values beyond the range of long long saturate.
bool scanNumber(const char*& p, long long& value);

// The rules of atoi: white space, a sign, digits, stopping at anything else;
// 0 when there is no number. Keeps the low 32 bits.
int atoiRule(const char* text);


// A walls or maps list being read.
struct ListReader {
  FILE* file = nullptr;
  std::string path;       // named in messages
  const char* kind = "";  // "walls list" or "maps list"
  const char* numberName = "";  // "wall number" or "map number"
  bool (*skip)(const std::string& line) = nullptr;  // the list's own skip rule
  int line = 0;           // number of the line last read (1-based)
};

// Reads the next entry ("%d %s" after the -fs rule); false at the end of the
// list. A line without a number or a file name is refused (status 1).
bool nextListEntry(const BuildPaths& paths, ListReader& list, long long& number, std::string& name);

}  // namespace kiln
