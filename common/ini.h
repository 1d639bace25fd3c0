#pragma once

#include <string>

namespace kit {

// The text side of the POSIX settings file: INI lines, "[Section]" headers and
// "name=value" entries. Kept apart from the file handling so that the rules
// can be tested on strings.
//
// A value is everything after the first '=' up to the line end (a CR before
// the LF belongs to the line end), taken as it stands. Names are compared
// exactly, with blanks around them ignored. The first entry of that name in
// any section of that name counts.

// True (value set) when the text holds the entry.
bool iniFind(const std::string& text, const std::string& section, const std::string& name,
             std::string& value);

// The text with the entry set: an existing entry gets the new value in place;
// otherwise the entry is added after the last entry of the first section of
// that name, or in a new section at the end. Every other line stays as it was.
// The value must not hold a line end (the caller refuses those).
std::string iniSet(const std::string& text, const std::string& section, const std::string& name,
                   const std::string& value);

}  // namespace kit
