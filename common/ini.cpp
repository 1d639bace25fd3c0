#include "common/ini.h"

#include <cstddef>
#include <string_view>

namespace kit {

namespace {

struct Line {
  size_t begin;       // first byte of the line
  size_t contentEnd;  // end of its text, before any CR LF
  size_t end;         // just after its LF (or the end of the text)
};

// Returns false at the end of the text; otherwise fills line and moves pos on.
bool nextLine(const std::string& text, size_t& pos, Line& line) {
  if (pos >= text.size()) return false;
  size_t lf = text.find('\n', pos);
  line.begin = pos;
  line.end = lf == std::string::npos ? text.size() : lf + 1;
  line.contentEnd = lf == std::string::npos ? text.size() : lf;
  if (line.contentEnd > line.begin && text[line.contentEnd - 1] == '\r') line.contentEnd--;
  pos = line.end;
  return true;
}

std::string_view trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) b++;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) e--;
  return s.substr(b, e - b);
}

// True when the line is a section header; name receives the section's name.
bool sectionHeader(std::string_view content, std::string_view& name) {
  std::string_view t = trim(content);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  name = trim(t.substr(1, t.size() - 2));
  return true;
}

// Where one scan of the text found things.
struct Scan {
  bool sectionFound = false;
  size_t insertAt = 0;  // just after the header or last entry of the first such section
  bool found = false;
  size_t valueBegin = 0, valueEnd = 0;
};

Scan scan(const std::string& text, const std::string& section, const std::string& name) {
  Scan s;
  bool inSection = false, inFirstSection = false;
  size_t pos = 0;
  Line line;
  while (nextLine(text, pos, line)) {
    std::string_view content(text.data() + line.begin, line.contentEnd - line.begin);
    std::string_view header;
    if (sectionHeader(content, header)) {
      inSection = header == section;
      inFirstSection = inSection && !s.sectionFound;
      if (inFirstSection) {
        s.sectionFound = true;
        s.insertAt = line.end;
      }
      continue;
    }
    if (!inSection) continue;
    if (inFirstSection && !trim(content).empty()) s.insertAt = line.end;
    size_t eq = content.find('=');
    if (eq == std::string_view::npos || trim(content.substr(0, eq)) != name) continue;
    s.found = true;
    s.valueBegin = line.begin + eq + 1;
    s.valueEnd = line.contentEnd;
    return s;
  }
  return s;
}

// The line end the file already uses, so that an added line matches the rest.
std::string lineEnd(const std::string& text) {
  size_t lf = text.find('\n');
  return lf != std::string::npos && lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

bool iniFind(const std::string& text, const std::string& section, const std::string& name,
             std::string& value) {
  Scan s = scan(text, section, name);
  if (!s.found) return false;
  value.assign(text, s.valueBegin, s.valueEnd - s.valueBegin);
  return true;
}

std::string iniSet(const std::string& text, const std::string& section, const std::string& name,
                   const std::string& value) {
  Scan s = scan(text, section, name);
  std::string out = text;
  if (s.found) {
    out.replace(s.valueBegin, s.valueEnd - s.valueBegin, value);
    return out;
  }
  std::string eol = lineEnd(text);
  std::string entry = name + "=" + value + eol;
  if (s.sectionFound) {
    // The section's last line may be the file's last line, without a line end.
    if (s.insertAt > 0 && out[s.insertAt - 1] != '\n') {
      out.insert(s.insertAt, eol);
      s.insertAt += eol.size();
    }
    out.insert(s.insertAt, entry);
    return out;
  }
  if (!out.empty() && out.back() != '\n') out += eol;
  out += "[" + section + "]" + eol + entry;
  return out;
}

}  // namespace kit
