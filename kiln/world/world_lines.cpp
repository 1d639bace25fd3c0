#include "kiln/world/world_lines.h"

#include <climits>
#include <cstdint>

#include "common/exit.h"

namespace kiln {

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
}  // namespace

bool readLine(FILE* file, std::string& line) {
  line.clear();
  int c;
  while ((c = std::getc(file)) != EOF) {
    line += char(c);
    if (c == '\n') break;
  }
  return !line.empty();
}

bool isBlankLine(const std::string& line) {
  for (char c : line)
    if (!isSpace(c)) return false;
  return true;
}

bool scanNumber(const char*& p, long long& value) {
  const char* s = p;
  while (isSpace(*s)) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  if (*s < '0' || *s > '9') return false;
  unsigned long long magnitude = 0;
  bool saturated = false;
  for (; *s >= '0' && *s <= '9'; ++s) {
    if (magnitude > (ULLONG_MAX - 9) / 10) saturated = true;
    if (!saturated) magnitude = magnitude * 10 + unsigned(*s - '0');
  }
  if (saturated || magnitude > (unsigned long long)LLONG_MAX)
    value = negative ? LLONG_MIN : LLONG_MAX;
  else
    value = negative ? -(long long)magnitude : (long long)magnitude;
  p = s;
  return true;
}

int atoiRule(const char* text) {
  long long value = 0;
  if (!scanNumber(text, value)) return 0;
  return int(int32_t(uint32_t(uint64_t(value))));
}

bool nextListEntry(const BuildPaths& paths, ListReader& list, long long& number, std::string& name) {
  std::string line;
  while (readLine(list.file, line)) {
    ++list.line;
    // A line of only blanks is no entry, whatever the list's own rule says.
    if (list.skip(line) || isBlankLine(line)) continue;
    paths.applySlashRule(line);
    const char* p = line.c_str();
    if (!scanNumber(p, number)) {
      std::fprintf(stderr, "ERROR: line %d of %s %s has no %s\n", list.line, list.kind, list.path.c_str(),
                   list.numberName);
      kit::fail(1);
    }
    while (isSpace(*p)) ++p;
    const char* end = p;
    while (*end && !isSpace(*end)) ++end;
    if (end == p) {
      std::fprintf(stderr, "ERROR: line %d of %s %s has no file name\n", list.line, list.kind,
                   list.path.c_str());
      kit::fail(1);
    }
    name.assign(p, end);
    return true;
  }
  return false;
}

}  // namespace kiln
