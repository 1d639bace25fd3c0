#pragma once

#include <string>

namespace kit {

// The console stand-in for the platform's file and folder dialogs: reads one
// line from standard input, without its line end, after showing title and
// ": " on standard error when standard input is a terminal. False when
// nothing was chosen (end of input or an empty line).
bool readChoiceLine(const char* title, std::string& line);

// The full path of the file that the typed name chooses, as the open-file
// dialog would give it: relative to folder when one is given (else to the
// current directory), with the default extension added to a name that has
// none, made absolute. Empty when the current directory cannot be found.
std::string chosenFilePath(const std::string& typed, const char* defaultExtension,
                           const std::string* folder);

// The folder of a chosen file as the dialog hands it back: the path up to
// its last separator, without the separator ("/" for a file in the root).
std::string chosenFileFolder(const std::string& path);

}  // namespace kit
