#include "kiln/driver/build.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "common/exit.h"
#include "kiln/driver/config.h"
#include "kiln/driver/dispatch.h"
#include "kiln/graphics/histogram.h"
#include "kiln/pdb/pdb.h"
#include "kiln/text/where.h"
#include "kiln/world/walls.h"

namespace kiln {

namespace {

const char kSeparatorLine[] = "\n====================================================\n";
const char kCreator[] = "Tlm2";

// Field and token limits of the database and string-record lines: what the
// game and the database header have room for.
constexpr size_t kMaxAdventureName = 63;
constexpr size_t kMaxFileName = 63;
constexpr size_t kMaxAuText = 71;
constexpr size_t kMaxVersion = 31;
constexpr size_t kMaxStringText = 253;
constexpr size_t kMaxVersionToken = 75;

// Ends the build after a fault of the configuration line last read, whose
// message has been printed: says where the line is first.
[[noreturn]] void lineFault(const RunState& run, int status) {
  printAt(run.configPath, run.configLine);
  kit::fail(status);
}

[[noreturn]] void malformed(const RunState& run, const char* what, const std::string& line) {
  std::fprintf(stderr, "ERROR: %s: <%s>\n", what, line.c_str());
  lineFault(run, 1);
}

void checkLength(const RunState& run, const std::string& value, size_t limit, const char* field) {
  if (value.size() > limit) {
    std::fprintf(stderr, "ERROR: %s longer than %zu characters: <%s>\n", field, limit, value.c_str());
    lineFault(run, 1);
  }
}

// parseVersion for a configuration line: a bad version also says where.
void lineVersion(const RunState& run, const std::string& text, int& minor, int& major) {
  try {
    parseVersion(text, minor, major);
  } catch (const kit::Exit&) {
    printAt(run.configPath, run.configLine);
    throw;
  }
}

// Whether the configuration's folder is the build directory. Without -fs on
// POSIX the build directory is joined with "\", a plain character there; read
// as "/" it is the folder the author meant, and a configuration lying in it is
// no copy (the file that then cannot be opened is the fault to report).
bool sameFolder(const std::filesystem::path& folder, const std::string& buildDirectory) {
  namespace fs = std::filesystem;
  std::string build = buildDirectory;
#ifndef _WIN32
  for (char& c : build)
    if (c == '\\') c = '/';
#endif
  std::error_code ec;
  if (fs::equivalent(folder, fs::path(build), ec)) return true;
  fs::path absolute = fs::absolute(fs::path(build), ec).lexically_normal();
  return !ec && absolute == folder;
}

// The author copied an adventure and builds the copy's configuration: its
// files are still read from AdventuresPath + NAME. Say so when the copy holds
// a file of the name the line gives.
void warnIfBesideConfig(const RunState& run, const std::string& name) {
  namespace fs = std::filesystem;
  if (run.configPath.empty()) return;  // a build started without a file (tests, harnesses)
  std::error_code ec;
  fs::path configFolder = fs::absolute(fs::path(run.configPath), ec).lexically_normal().parent_path();
  if (ec || configFolder.empty()) return;
  if (sameFolder(configFolder, run.buildDirectory)) return;
  if (!fs::is_regular_file(configFolder / name, ec)) return;
  std::fprintf(stderr, "WARNING: %s is read from the build directory %s, not from %s beside the configuration\n",
               name.c_str(), run.buildDirectory.c_str(), configFolder.string().c_str());
  printAt(run.configPath, run.configLine);
}

void finishOpenDatabase(RunState& run) {
  if (!run.openDatabase) return;
  run.commits.wait();  // a failure of the one before is told on a line of its own
  std::printf("\n  ***Finished pdb: ");
  run.commits.finish(std::move(run.openDatabase));
}

bool typeSelected(const Options& o, const std::string& type) {
  if (type == "TADV") return o.makeAdventureDb;
  if (type == "TILE") return o.makeTileDb;
  return o.makeWallDb;
}

void databaseLine(RunState& run, const std::string& line) {
  std::vector<std::string> fields = splitFields(line.substr(1), ':');
  std::string type = fields.empty() ? std::string() : fields[0];

  if (type == "NAME") {
    if (fields.size() < 2) malformed(run, "NAME line without an adventure name", line);
    const std::string& name = fields[1];
    checkLength(run, name, kMaxAdventureName, "Adventure name");
    run.buildDirectory = run.adventuresPath + run.separator() + name;
    run.haveBuildDirectory = true;
    std::printf("Building adventure \"%s\"\n", name.c_str());
    std::printf("Build directory = %s\n", run.buildDirectory.c_str());
    return;
  }

  if (!run.haveBuildDirectory) {
    // The message has never had a line end; the location needs one.
    std::fprintf(stderr, "ERROR: NAME must be first in .cfg file\n");
    lineFault(run, 1);
  }
  // The type is judged first: a mistyped NAME line is an unknown type, not a
  // short database line.
  if (type != "TADV" && type != "TILE" && type != "WALL") {
    std::fprintf(stderr, "ERROR: Unknown pdb type <%s>\n", type.c_str());
    lineFault(run, 1);
  }
  if (fields.size() < 5)
    malformed(run, "Database line needs five fields (type:file name:database name:AU text:version)", line);
  const std::string& fileName = fields[1];
  const std::string& dbName = fields[2];
  const std::string& auText = fields[3];
  const std::string& version = fields[4];
  if (dbName.size() < 4 || dbName.size() > 32) {
    std::fprintf(stderr, "ERROR: Invalid name <%s>: Must be 4 to 32 in length including the ID\n", dbName.c_str());
    lineFault(run, 1);
  }
  if (type == "TADV") {
    size_t dot = dbName.find('.');
    if (dot == std::string::npos) {
      std::fprintf(stderr, "ERROR: Missing game code in name <%s>\n", dbName.c_str());
      lineFault(run, 1);
    }
    std::string gameCode = dbName.substr(dot + 1);
    if (gameCode.size() != 4) {
      std::fprintf(stderr, "ERROR: Invalid game code <%s>: Must be 4 characters\n", gameCode.c_str());
      lineFault(run, 1);
    }
  }
  checkLength(run, fileName, kMaxFileName, "Database file name");
  checkLength(run, auText, kMaxAuText, "AU text");
  checkLength(run, version, kMaxVersion, "Version");
  int major = 0, minor = 0;
  lineVersion(run, version, minor, major);

  run.databaseSelected = typeSelected(run.options, type);
  if (!run.databaseSelected) return;

  finishOpenDatabase(run);
  std::printf("%s", kSeparatorLine);
  std::printf("Creating %s.pdb: \"%s\" <%s> <%s> %s v%d.%d\n", fileName.c_str(), dbName.c_str(), kCreator,
              type.c_str(), auText.c_str(), major, minor);
  try {
    run.openDatabase = createPDB(dbName, listedFilePath(run, fileName), fourCharCode(type),
                                 fourCharCode(kCreator), uint16_t(major * 256 + minor));
  } catch (const kit::Exit&) {
    // A database that cannot be created (most often a NAME that is not the
    // adventure's folder) is the fault of this line.
    printAt(run.configPath, run.configLine);
    throw;
  }
  addPDBEntry(*run.openDatabase, "AU", reinterpret_cast<const uint8_t*>(auText.c_str()), auText.size() + 1);
}

// A PA line in a database the options skip still makes the active palette,
// so the brushes and tiles of a -wall or -tile build are drawn as in a full
// build; its records go nowhere.
void skippedLine(RunState& run, const std::string& line) {
  std::vector<std::string> tokens = splitFields(line, ' ');
  if (tokens.size() < 2 || tokens[0] != "PA" || !run.haveBuildDirectory) return;
  Database nowhere;
  compileLine(run, inputPath(run, tokens[1]), "PA", nowhere);
}

void dataLine(RunState& run, const std::string& line) {
  if (!run.databaseSelected) return skippedLine(run, line);
  if (!run.openDatabase) malformed(run, "Data line before the first database line", line);

  std::vector<std::string> tokens = splitFields(line, ' ');
  const std::string& code = tokens[0];

  if (code == "RW" || code == "RT" || code == "RE") {
    bool hasText = code != "RE";
    size_t needed = hasText ? 3 : 2;
    if (tokens.size() < needed) malformed(run, hasText ? "String line needs a text and a version" : "String line needs a version", line);
    std::string text = hasText ? tokens[1] : std::string();
    const std::string& version = tokens[needed - 1];
    checkLength(run, text, kMaxStringText, "String text");
    checkLength(run, version, kMaxVersionToken, "Version");
    int major = 0, minor = 0;
    lineVersion(run, version, minor, major);
    std::printf("  - Datatype <%s> : %s v%d.%d\n", code.c_str(), text.empty() ? "Engine" : text.c_str(), major, minor);
    addStringRecord(text, code.c_str(), minor, major, *run.openDatabase);
    return;
  }

  if (tokens.size() < 2) malformed(run, "Data line needs a file name", line);
  std::string path = inputPath(run, tokens[1]);
  std::printf("  - Datatype <%s> from <%s>\n", code.c_str(), path.c_str());
  if (!findCompiler(code)) {
    std::fprintf(stderr, "ERROR: Unknown data type <%s>\n", code.c_str());
    printAt(run.configPath, run.configLine);
    suggestWord(code, kDataTypeCodes);
    kit::fail(6);
  }
  warnIfBesideConfig(run, tokens[1]);
  compileLine(run, path, code.c_str(), *run.openDatabase);
}

// Lines that start with anything but "!" or an upper-case letter are not
// read; a line of only blanks and tabs needs no word about it.
void ignoredLine(const RunState& run, const std::string& line) {
  if (line.find_first_not_of(" \t") == std::string::npos) return;
  std::fprintf(stderr, "WARNING: line ignored: data lines start with an upper-case code, comments with \"#\"\n");
  printAt(run.configPath, run.configLine);
}

}  // namespace

void buildAdventure(RunState& run, FILE* config) {
  std::string line;
  while (readConfigLine(run, config, line, &run.configLine)) {
    char first = line[0];
    if (first == '!')
      databaseLine(run, line);
    else if (first >= 'A' && first <= 'Z')
      dataLine(run, line);
    else
      ignoredLine(run, line);
  }
  finishOpenDatabase(run);
  run.commits.wait();
  if (run.options.makeHistogram && run.graphics.havePalette) writeHistogram(run.graphics, run.graphics.activePalette);
  std::printf("%s", kSeparatorLine);
  std::printf("Done.\n");
}

}  // namespace kiln
