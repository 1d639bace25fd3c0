#pragma once

#include <cstddef>
#include <string>

namespace kit {

// The kit's settings: string values under one key, shared by kiln and advpath.
// On Windows the registry key Software\Brindlewood\DEZARED\Config of
// HKEY_LOCAL_MACHINE; elsewhere the [Config] section of
// $XDG_CONFIG_HOME/Brindlewood/DEZARED.conf (~/.config when unset).

// Copies the value into buffer (capacity bytes, zero-terminated). Returns 0 on
// success, otherwise a non-zero error code: no store, no value, or the value
// and its zero byte do not fit.
int readSetting(const char* name, char* buffer, size_t capacity);

// Stores length bytes of text as the value of name, creating the store when
// needed. Returns 0 on success, otherwise a non-zero error code.
int writeSetting(const char* name, const char* text, size_t length);

// The environment variable of that name when it exists, else readSetting.
int lookupSetting(const char* name, char* buffer, size_t capacity);

// The line after "Can't find AdventuresPath": how to set it.
void printSetupHint();

// Lets the user choose a file to open. folder (may be null) gives the starting
// folder and receives the folder of the chosen file. filter is in caret form
// ("Cfg Files (*.cfg)^*.cfg^"); null means all files. Returns non-zero when a
// file was chosen; chosenPath then holds its full path.
int chooseOpenFile(const char* defaultExtension, std::string* folder, const char* title,
                   const char* filter, std::string& chosenPath);

#ifndef _WIN32
// Where the POSIX store lives (exposed for tests and messages).
std::string settingsFilePath();
#endif

}  // namespace kit
