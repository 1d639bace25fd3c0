#pragma once
// A decoded record's fields, printed as indented text or as JSON.

#include <cstdio>
#include <string>

#include "kiln/pdb/record_info.h"

namespace unkiln {

// "key: value" lines, nested objects indented by two more blanks, lists of
// plain values on one line.
void printText(FILE* out, const kiln::Node& node, int indent);

// One JSON value. Text is taken as Latin-1: bytes from 0x80 are written as
// \u00XX, so the document is always valid UTF-8.
void printJson(FILE* out, const kiln::Node& node);
std::string jsonString(const std::string& text);

// A text as the listing shows it: control characters and quotes escaped.
std::string quoted(const std::string& text);

}  // namespace unkiln
