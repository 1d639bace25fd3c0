#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "kiln/driver/run_state.h"

namespace kiln {

// The next configuration line to look at, without its line end, or false at
// the end of the file. Skips lines that begin with a line feed, a carriage
// return, "#" or a blank, and applies the -fs rule. Lines have no length limit.
// lineNumber, when given, counts every line read (from 1), skipped ones too.
bool readConfigLine(const RunState& run, FILE* config, std::string& line, int* lineNumber = nullptr);

// Parses major.minor into the two numbers (which the caller has set to 0).
// A character other than digits and one ".", a second ".", or a number above
// 255 prints "Bad version <text>" and ends the run.
int parseVersion(const std::string& text, int& minor, int& major);

// The first four characters, the first in the most significant byte.
uint32_t fourCharCode(const std::string& text);

// Splits at runs of the separator; no field is empty.
std::vector<std::string> splitFields(const std::string& text, char separator);

}  // namespace kiln
