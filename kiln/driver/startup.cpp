#include "kiln/driver/startup.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/exit.h"
#include "common/files.h"
#include "common/settings.h"
#include "kiln/driver/build.h"
#include "kiln/text/where.h"

namespace kiln {

namespace {

// Settings and paths have no length limit of their own; this is only the
// buffer the settings store reads into.
constexpr size_t kSettingCapacity = 32768;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

std::string configFromDialog() {
  std::vector<char> buffer(kSettingCapacity);
  std::string folder;
  if (kit::readSetting("KilnLastLoadPath", buffer.data(), buffer.size()) == 0) folder = buffer.data();
  std::string chosen;
  if (!kit::chooseOpenFile("cfg", &folder, "Choose an adventure cfg file",
                           "Cfg Files (*.cfg)^*.cfg^All Files (*.*)^*.*^", chosen) ||
      chosen.empty())
    throw kit::Exit{1, false};
  if (!folder.empty()) kit::writeSetting("KilnLastLoadPath", folder.c_str(), folder.size());
  return chosen;
}

std::string readOptions(RunState& run, int argc, char** argv) {
  Options& o = run.options;
  std::string configPath;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!std::strcmp(arg, "-wall")) {
      o.makeAdventureDb = o.makeTileDb = false;
    } else if (!std::strcmp(arg, "-maps")) {
      o.makeWallDb = o.makeTileDb = false;
    } else if (!std::strcmp(arg, "-text")) {
      o.writeTextHeader = true;
    } else if (!std::strcmp(arg, "-tile")) {
      o.makeWallDb = o.makeAdventureDb = false;
    } else if (!std::strcmp(arg, "-hist")) {
      o.makeHistogram = true;
    } else if (!std::strcmp(arg, "-fs")) {
      o.forwardSlashes = true;
    } else if (!std::strcmp(arg, "-palette")) {
      if (o.paletteListing) std::fclose(o.paletteListing);
      o.paletteListing = std::fopen("palette.txt", "w");
    } else if (std::strstr(arg, ".cfg")) {
      configPath = arg;
    } else if (!std::strcmp(arg, "-h") || !std::strcmp(arg, "-?")) {
      printUsage(argv[0]);
      kit::fail(0);
    } else if (arg[0] == '-') {
      // A mistyped option would otherwise build everything without a word.
      std::fprintf(stderr, "WARNING: unknown option %s ignored\n", arg);
    }
  }
  return configPath;
}

bool asksForUsage(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "-?")) return true;
  return false;
}

}  // namespace

void printUsage(const char* programName) {
  std::fprintf(stderr, "Command line usage:\n");
  std::fprintf(stderr, "\t%s [params] <file.cfg>\n\n", programName);
  std::fprintf(stderr, "\tCommand line args:\n");
  std::fprintf(stderr, "\t\t-wall ; Make only TlmWalls.pdb\n");
  std::fprintf(stderr, "\t\t-tile ; Make only TlmTiles.pdb\n");
  std::fprintf(stderr, "\t\t-maps ; Make only TlmMaps.pdb\n");
  std::fprintf(stderr, "\t\t-hist ; Output histogram.txt\n");
  std::fprintf(stderr, "\t\t-fs ; use forward slash instead of backslashes in paths\n\n");
  std::fprintf(stderr, "Or drag and drop a pdbs.cfg file onto this executable\n\n");
}

void runKiln(RunState& run, int argc, char** argv) {
  std::fprintf(stderr, "Talmoric ][ Resource Compiler. V0.99.1\n");

  std::vector<char> buffer(kSettingCapacity);
  if (kit::lookupSetting("AdventuresPath", buffer.data(), buffer.size()) != 0) {
    // The usage needs no adventures folder: the options are read as usual
    // and the -h among them prints it.
    if (asksForUsage(argc, argv)) readOptions(run, argc, argv);
    std::fprintf(stderr, "Can't find AdventuresPath in registry\nare you sure you installed DEZARED correctly?\n");
    kit::printSetupHint();
    kit::fail(1);
  }
  run.adventuresPath = buffer.data();

  std::string configPath = argc <= 1 ? configFromDialog() : readOptions(run, argc, argv);

  run.configPath = configPath;
  std::printf("Processing %s\n", configPath.c_str());
  if (run.options.makeHistogram) run.graphics.colourCounts.fill(0);
  run.graphics.countColours = run.options.makeHistogram;

  std::unique_ptr<FILE, FileCloser> config(kit::openInputFile(configPath));
  if (!config) {
    std::fprintf(stderr, "filename: %s\n", configPath.c_str());
    std::perror("ERROR: Can't open config file");
    kit::fail(3);
  }
  std::printf("Adventures Path = %s\n", run.adventuresPath.c_str());
  buildAdventure(run, config.get());
}

}  // namespace kiln
