// advpath: stores the adventures folder in the kit's settings, where kiln
// finds it, and points both last-load folders at it.
//
//   advpath                 changes the stored folder (it must exist already)
//   advpath -init [FOLDER]  first-time setup: creates the setting

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "advpath/choose_folder.h"
#include "common/exit.h"
#include "common/settings.h"

namespace {

// Large enough for any path the platform can hand back.
constexpr size_t kSettingCapacity = 32768;
const char kTitle[] = "Choose a new Adventures path";

std::string chosenFolder() {
  std::string path;
  if (!advpath::chooseFolder(kTitle, path) || path.empty()) {
    std::fprintf(stderr, "No directory selected\n");
    throw kit::Exit{1, false};
  }
  return path;
}

void store(const std::string& path) {
  kit::writeSetting("AdventuresPath", path.data(), path.size());
  kit::writeSetting("ChartsmithLastLoadPath", path.data(), path.size());
  kit::writeSetting("KilnLastLoadPath", path.data(), path.size());
}

// The folder given on the command line, created when it does not exist yet,
// as an absolute path without a trailing separator.
std::string givenFolder(const char* text) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path folder = fs::absolute(fs::path(text), ec).lexically_normal();
  if (!ec && !fs::is_directory(folder, ec)) fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder)) {
    std::fprintf(stderr, "ERROR: could not make the folder %s: %s\n", text,
                 ec ? ec.message().c_str() : "it is not a folder");
    throw kit::Exit{1, false};
  }
  std::string path = folder.string();
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\') && folder.root_path() != fs::path(path))
    path.pop_back();
  return path;
}

// First-time setup: what the installer does on Windows.
int init(const char* folder) {
  std::string path = folder ? givenFolder(folder) : chosenFolder();
  store(path);
  std::vector<char> stored(kSettingCapacity);
  if (kit::readSetting("AdventuresPath", stored.data(), stored.size()) != 0 || path != stored.data()) {
    std::fprintf(stderr, "ERROR: could not store AdventuresPath in the kit's settings\n");
    throw kit::Exit{1, false};
  }
  std::printf("AdventuresPath set to %s\n", path.c_str());
  return 0;
}

int run(int argc, char** argv) {
  if (argc > 1 && !std::strcmp(argv[1], "-init")) return init(argc > 2 ? argv[2] : nullptr);

  // Only an existing setting is changed: its presence shows the kit was set up.
  std::vector<char> stored(kSettingCapacity);
  if (kit::readSetting("AdventuresPath", stored.data(), stored.size()) != 0) {
    std::fprintf(stderr, "Can't find AdventuresPath in registry\nare you sure you installed DEZARED correctly?\n");
    kit::printSetupHint();
    kit::fail(1);
  }
  store(chosenFolder());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const kit::Exit& e) {
    if (e.pause) kit::exitWithPause(e.status);
    return e.status;
  }
}
