#pragma once
// File names made from what a database holds (its file name, a map's name):
// whatever the bytes, the name stays inside the output folder on every
// system. A hostile database shared by someone else writes nowhere else.

#include <filesystem>
#include <set>
#include <string>

#include "common/output_file.h"

namespace unkiln {

constexpr size_t kMaxSafeName = 48;  // leaves room for a suffix and an extension

// Letters, digits, "-", "_" and inner "." are kept, every other byte becomes
// "_" (separators, colons, drive letters, blanks, control characters, bytes
// from 0x80); leading and trailing dots go ("..", hidden files, names
// Windows cuts); a name Windows reserves (CON, NUL, COM1, LPT1... with any
// extension) gets a "_" in front; an empty result is fallback.
std::string safeName(const std::string& text, const std::string& fallback);

// stem + extension, or stem-2 + extension, stem-3... so that no two names
// differ only in case (Windows would take them for one file). The name is
// added to taken (kept in lower case).
std::string uniqueName(std::set<std::string>& taken, const std::string& stem, const std::string& extension);

// When the output folder dir does not exist yet, makes its parents and
// stages it in outputs (kit::OutputBatch::stageFolder): the files go into
// the new folder under their own names and the folder into place whole at
// the end. True when staged; otherwise the caller makes dir as usual.
bool stageNewFolder(kit::OutputBatch& outputs, const std::filesystem::path& dir);

}  // namespace unkiln
