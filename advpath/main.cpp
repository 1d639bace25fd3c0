// advpath: stores the adventures folder in the kit's settings, where kiln
// finds it, and points both last-load folders at it.

#include <cstdio>
#include <string>
#include <vector>

#include "advpath/choose_folder.h"
#include "common/exit.h"
#include "common/settings.h"

namespace {

// Large enough for any path the platform can hand back.
constexpr size_t kSettingCapacity = 32768;

int run() {
  // Only an existing setting is changed: its presence shows the kit was set up.
  std::vector<char> stored(kSettingCapacity);
  if (kit::readSetting("AdventuresPath", stored.data(), stored.size()) != 0) {
    std::fprintf(stderr, "Can't find AdventuresPath in registry\nare you sure you installed DEZARED correctly?\n");
    kit::fail(1);
  }

  std::string path;
  if (!advpath::chooseFolder("Choose a new Adventures path", path) || path.empty()) {
    std::fprintf(stderr, "No directory selected\n");
    throw kit::Exit{1, false};
  }

  kit::writeSetting("AdventuresPath", path.data(), path.size());
  kit::writeSetting("ChartsmithLastLoadPath", path.data(), path.size());
  kit::writeSetting("KilnLastLoadPath", path.data(), path.size());
  return 0;
}

}  // namespace

int main() {
  try {
    return run();
  } catch (const kit::Exit& e) {
    if (e.pause) kit::exitWithPause(e.status);
    return e.status;
  }
}
