#pragma once

#include <string>

namespace advpath {

// Lets the user choose a folder. Returns 1 with the folder's absolute path in
// path, or 0 with path empty when nothing was chosen or the choice is not an
// existing folder.
int chooseFolder(const char* title, std::string& path);

}  // namespace advpath
