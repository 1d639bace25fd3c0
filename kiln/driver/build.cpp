#include "kiln/driver/build.h"

#include <cstdio>
#include <string>
#include <vector>

#include "common/exit.h"
#include "kiln/driver/config.h"
#include "kiln/driver/dispatch.h"
#include "kiln/graphics/histogram.h"
#include "kiln/pdb/pdb.h"
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

[[noreturn]] void malformed(const char* what, const std::string& line) {
  std::fprintf(stderr, "ERROR: %s: <%s>\n", what, line.c_str());
  kit::fail(1);
}

void checkLength(const std::string& value, size_t limit, const char* field) {
  if (value.size() > limit) {
    std::fprintf(stderr, "ERROR: %s longer than %zu characters: <%s>\n", field, limit, value.c_str());
    kit::fail(1);
  }
}

void finishOpenDatabase(RunState& run) {
  if (!run.openDatabase) return;
  std::printf("\n  ***Finished pdb: ");
  finishPDB(*run.openDatabase);
  run.openDatabase.reset();
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
    if (fields.size() < 2) malformed("NAME line without an adventure name", line);
    const std::string& name = fields[1];
    checkLength(name, kMaxAdventureName, "Adventure name");
    run.buildDirectory = run.adventuresPath + run.separator() + name;
    run.haveBuildDirectory = true;
    std::printf("Building adventure \"%s\"\n", name.c_str());
    std::printf("Build directory = %s\n", run.buildDirectory.c_str());
    return;
  }

  if (!run.haveBuildDirectory) {
    std::fprintf(stderr, "ERROR: NAME must be first in .cfg file");
    kit::fail(1);
  }
  // The type is judged first: a mistyped NAME line is an unknown type, not a
  // short database line.
  if (type != "TADV" && type != "TILE" && type != "WALL") {
    std::fprintf(stderr, "ERROR: Unknown pdb type <%s>\n", type.c_str());
    kit::fail(1);
  }
  if (fields.size() < 5)
    malformed("Database line needs five fields (type:file name:database name:AU text:version)", line);
  const std::string& fileName = fields[1];
  const std::string& dbName = fields[2];
  const std::string& auText = fields[3];
  const std::string& version = fields[4];
  if (dbName.size() < 4 || dbName.size() > 32) {
    std::fprintf(stderr, "ERROR: Invalid name <%s>: Must be 4 to 32 in length including the ID\n", dbName.c_str());
    kit::fail(1);
  }
  if (type == "TADV") {
    size_t dot = dbName.find('.');
    if (dot == std::string::npos) {
      std::fprintf(stderr, "ERROR: Missing game code in name <%s>\n", dbName.c_str());
      kit::fail(1);
    }
    std::string gameCode = dbName.substr(dot + 1);
    if (gameCode.size() != 4) {
      std::fprintf(stderr, "ERROR: Invalid game code <%s>: Must be 4 characters\n", gameCode.c_str());
      kit::fail(1);
    }
  }
  checkLength(fileName, kMaxFileName, "Database file name");
  checkLength(auText, kMaxAuText, "AU text");
  checkLength(version, kMaxVersion, "Version");
  int major = 0, minor = 0;
  parseVersion(version, minor, major);

  run.databaseSelected = typeSelected(run.options, type);
  if (!run.databaseSelected) return;

  finishOpenDatabase(run);
  std::printf("%s", kSeparatorLine);
  std::printf("Creating %s.pdb: \"%s\" <%s> <%s> %s v%d.%d\n", fileName.c_str(), dbName.c_str(), kCreator,
              type.c_str(), auText.c_str(), major, minor);
  run.openDatabase = createPDB(dbName, listedFilePath(run, fileName), fourCharCode(type),
                               fourCharCode(kCreator), uint16_t(major * 256 + minor));
  addPDBEntry(*run.openDatabase, "AU", reinterpret_cast<const uint8_t*>(auText.c_str()), auText.size() + 1);
}

void dataLine(RunState& run, const std::string& line) {
  if (!run.databaseSelected) return;
  if (!run.openDatabase) malformed("Data line before the first database line", line);

  std::vector<std::string> tokens = splitFields(line, ' ');
  const std::string& code = tokens[0];

  if (code == "RW" || code == "RT" || code == "RE") {
    bool hasText = code != "RE";
    size_t needed = hasText ? 3 : 2;
    if (tokens.size() < needed) malformed(hasText ? "String line needs a text and a version" : "String line needs a version", line);
    std::string text = hasText ? tokens[1] : std::string();
    const std::string& version = tokens[needed - 1];
    checkLength(text, kMaxStringText, "String text");
    checkLength(version, kMaxVersionToken, "Version");
    int major = 0, minor = 0;
    parseVersion(version, minor, major);
    std::printf("  - Datatype <%s> : %s v%d.%d\n", code.c_str(), text.empty() ? "Engine" : text.c_str(), major, minor);
    addStringRecord(text, code.c_str(), minor, major, *run.openDatabase);
    return;
  }

  if (tokens.size() < 2) malformed("Data line needs a file name", line);
  std::string path = inputPath(run, tokens[1]);
  std::printf("  - Datatype <%s> from <%s>\n", code.c_str(), path.c_str());
  Compiler compile = findCompiler(code);
  if (!compile) {
    std::fprintf(stderr, "ERROR: Unknown data type <%s>\n", code.c_str());
    kit::fail(6);
  }
  compile(run, path, code.c_str());
}

}  // namespace

void buildAdventure(RunState& run, FILE* config) {
  std::string line;
  while (readConfigLine(run, config, line)) {
    char first = line[0];
    if (first == '!')
      databaseLine(run, line);
    else if (first >= 'A' && first <= 'Z')
      dataLine(run, line);
  }
  finishOpenDatabase(run);
  if (run.options.makeHistogram && run.graphics.havePalette) writeHistogram(run.graphics, run.graphics.activePalette);
  std::printf("%s", kSeparatorLine);
  std::printf("Done.\n");
}

}  // namespace kiln
