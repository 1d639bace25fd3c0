#include "kiln/driver/config.h"

#include <cstdio>

#include "common/exit.h"

namespace kiln {

bool readConfigLine(const RunState& run, FILE* config, std::string& line, int* lineNumber) {
  for (;;) {
    line.clear();
    int c;
    while ((c = std::getc(config)) != EOF) {
      line.push_back(char(c));
      if (c == '\n') break;
    }
    if (line.empty()) return false;
    if (lineNumber) ++*lineNumber;
    char first = line[0];
    if (first == '\n' || first == '\r' || first == '#' || first == ' ') continue;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    applySlashRule(run, line);
    return true;
  }
}

int parseVersion(const std::string& text, int& minor, int& major) {
  int* number = &major;
  bool bad = false;
  for (char c : text) {
    if (c == '.' && number == &major) {
      number = &minor;
    } else if (c >= '0' && c <= '9') {
      // Stop growing once past the limit: a long run of digits must not overflow.
      if (*number <= 255) *number = *number * 10 + (c - '0');
    } else {
      bad = true;
      break;
    }
  }
  if (bad || major > 255 || minor > 255) {
    std::fprintf(stderr, "Bad version <%s>\n", text.c_str());
    kit::fail(1);
  }
  return 1;
}

uint32_t fourCharCode(const std::string& text) {
  uint32_t code = 0;
  for (size_t i = 0; i < 4; ++i) code = code << 8 | (i < text.size() ? uint8_t(text[i]) : 0);
  return code;
}

std::vector<std::string> splitFields(const std::string& text, char separator) {
  std::vector<std::string> fields;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == separator) ++i;
    size_t start = i;
    while (i < text.size() && text[i] != separator) ++i;
    if (i > start) fields.push_back(text.substr(start, i - start));
  }
  return fields;
}

}  // namespace kiln
