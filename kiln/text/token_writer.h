#pragma once
// The inverse of the tokenizer: writes a value as a token that reads back as
// exactly that value.

#include <string>

#include "kiln/text/tokenizer.h"

namespace kiln {

// A double-quoted token: "\" before a double quote or a backslash, "\n" for
// a line feed. False (with the reason) when no token can hold the text: a
// carriage return or a zero byte ends a line or a token whatever comes
// before it, and a token holds at most 999 characters.
inline bool quotedToken(const std::string& text, std::string& token, std::string& why) {
  if (text.size() > kMaxTokenLength) {
    why = "text of " + std::to_string(text.size()) + " characters is longer than a token (999)";
    return false;
  }
  token = "\"";
  for (char c : text) {
    if (c == '\r' || c == '\0') {
      why = c == '\r' ? "text holds a carriage return, which ends a line" : "text holds a zero byte";
      return false;
    }
    if (c == '"' || c == '\\') token += '\\';
    if (c == '\n') {
      token += "\\n";
      continue;
    }
    token += c;
  }
  token += '"';
  return true;
}

}  // namespace kiln
