#include "kiln/pdb/string_record_decode.h"

#include <cstring>

#include "kiln/pdb/record_check.h"

namespace kiln {

namespace {

constexpr size_t kMaxAuText = 71;       // the database line's AU field
constexpr size_t kMaxStringText = 253;  // the string record's text token

std::string version(int major, int minor) { return std::to_string(major) + "." + std::to_string(minor); }

// The text of an AU record: up to its zero byte.
bool authorText(const uint8_t* data, size_t length, std::string& text, std::string& error) {
  const void* zero = std::memchr(data, 0, length);
  if (!zero) {
    error = "AU text has no terminating zero byte";
    return false;
  }
  size_t n = size_t(static_cast<const uint8_t*>(zero) - data);
  if (!checkRecordLength(data, length, n + 1, error)) return false;
  text.assign(reinterpret_cast<const char*>(data), n);
  return true;
}

}  // namespace

bool configText(const std::string& text, const char* separators, std::string& why) {
  for (char c : text) {
    if (c == '\n' || c == '\r' || c == '\0') {
      why = "text holds a line end or a zero byte";
      return false;
    }
    if (c == '\\') {
      why = "text holds a \"\\\", which the configuration reads as a path separator";
      return false;
    }
    if (std::strchr(separators, c)) {
      why = std::string("text holds a field separator \"") + c + "\"";
      return false;
    }
  }
  return true;
}

bool describeAuthor(const std::string&, const uint8_t* data, size_t length, RecordInfo& info, std::string& error) {
  std::string text;
  if (!authorText(data, length, text, error)) return false;
  info.summary = "AU \"" + text + "\"";
  info.fields = Node::object().add("text", Node::str(text));
  return true;
}

bool describeString(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                    std::string& error) {
  if (!hasBytes(length, 2, error)) return false;
  // The text runs to the end of the data; the padding is zero bytes, which a
  // text never holds.
  size_t end = length;
  while (end > 2 && data[end - 1] == 0) --end;
  std::string text(reinterpret_cast<const char*>(data + 2), end - 2);
  std::string v = version(data[0], data[1]);
  info.summary = code + " " + (text.empty() ? "Engine" : "\"" + text + "\"") + " v" + v;
  info.fields = Node::object().add("text", Node::str(text)).add("version", Node::str(v));
  return true;
}

bool authorSource(const uint8_t* data, size_t length, std::string& text, std::string& why) {
  if (!authorText(data, length, text, why) || !exactLength(length, text.size() + 1, why)) return false;
  if (text.empty()) {
    why = "AU text is empty, and a database line has no empty field";
    return false;
  }
  if (text.size() > kMaxAuText) {
    why = "AU text is longer than 71 characters";
    return false;
  }
  return configText(text, ":", why);
}

bool stringSource(const std::string& code, const uint8_t* data, size_t length, std::string& line, std::string& why) {
  if (!hasBytes(length, 2, why)) return false;
  size_t end = length;
  while (end > 2 && data[end - 1] == 0) --end;
  std::string text(reinterpret_cast<const char*>(data + 2), end - 2);
  if (!exactLength(length, text.size() + 2, why)) return false;
  if (code == "RE") {
    if (!text.empty()) {
      why = "RE record holds a text, and an RE line gives none";
      return false;
    }
    line = code + " " + version(data[0], data[1]);
    return true;
  }
  if (text.empty()) {
    why = code + " record holds no text, and an " + code + " line needs one";
    return false;
  }
  if (text.size() > kMaxStringText) {
    why = "text is longer than 253 characters";
    return false;
  }
  if (!configText(text, " ", why)) return false;
  line = code + " " + text + " " + version(data[0], data[1]);
  return true;
}

}  // namespace kiln
