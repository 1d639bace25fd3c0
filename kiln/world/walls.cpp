#include "kiln/world/walls.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "common/exit.h"
#include "common/files.h"
#include "common/output_file.h"
#include "kiln/pdb/bytes.h"
#include "kiln/pdb/pdb.h"
#include "kiln/text/where.h"
#include "kiln/world/walls_format.h"
#include "kiln/world/world_lines.h"

namespace kiln {

namespace {

using namespace walls_format;
using FileHandle = std::unique_ptr<FILE, int (*)(FILE*)>;

constexpr int kAttributeFields = 13;
constexpr size_t kMaxNameLength = kWallNameField - 1;

bool skipListLine(const std::string& line) {
  char c = line[0];
  return c == '\n' || c == '\r' || c == '#' || c == ' ';
}

// The next line of a wall file that means something; false at the end.
// lineNumber counts every line read, for the messages.
bool nextWallLine(FILE* file, std::string& line, int& lineNumber) {
  while (readLine(file, line)) {
    ++lineNumber;
    char c = line[0];
    if (c == '#' || c == '\n' || c == '\r') continue;
    // A stray blank or tab line would otherwise read as a view of no brushes.
    if (isBlankLine(line)) continue;
    return true;
  }
  return false;
}

// Splits the attribute line at blanks, tabs and line ends. A carriage return
// separates too, so a line of twelve fields is not made thirteen by its CR.
bool isFieldSeparator(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isFieldSeparator(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !isFieldSeparator(line[i])) ++i;
    if (i > start) fields.emplace_back(line, start, i - start);
  }
  return fields;
}

}  // namespace

int compileWall(const std::string& path, Database& db, std::vector<uint8_t>& wallAttributes, const char* code) {
  FileHandle file(kit::openInputFile(path), std::fclose);
  if (!file) {
    std::perror("ERROR: opening wall file");
    printAtFile(path);
    kit::fail(1);
  }
  std::string line;
  int lineNumber = 0;
  if (!nextWallLine(file.get(), line, lineNumber)) {
    std::fprintf(stderr, "ERROR: unexpected end of file - %s\n", path.c_str());
    kit::fail(1);
  }
  size_t quote = line.find('"');
  if (quote == std::string::npos) {
    std::fprintf(stderr, "ERROR: wall file %s has no name line (the name in double quotes)\n", path.c_str());
    kit::fail(1);
  }
  size_t nameEnd = line.find_first_of(std::string("\"\n\r\0", 4), quote + 1);
  if (nameEnd == std::string::npos) nameEnd = line.size();
  std::string name = line.substr(quote + 1, std::min(nameEnd - quote - 1, kMaxNameLength));

  if (!nextWallLine(file.get(), line, lineNumber)) {
    std::fprintf(stderr, "ERROR: unexpected end of file - %s\n", path.c_str());
    kit::fail(1);
  }
  std::vector<std::string> fields = splitFields(line);
  if (fields.size() < size_t(kAttributeFields)) {
    std::fprintf(stderr, "ERROR: not enough attribute fields - %s\n", path.c_str());
    printAt(path, lineNumber);
    kit::fail(1);
  }
  int attr[kAttributeFields + 1] = {};  // 1-based, as the fields are numbered
  for (int n = 1; n <= kAttributeFields; ++n)
    if (n != 9) attr[n] = atoiRule(fields[n - 1].c_str());
  uint8_t field9 = uint8_t(fields[8][0]);

  uint8_t flags = wallFlags(attr);
  uint8_t flags2 = uint8_t((attr[4] ? 0x01 : 0) | ((attr[8] & 0xFF) ? 0x02 : 0));

  uint8_t entry[kWallAttrEntrySize] = {};
  entry[0] = flags;
  entry[1] = flags2;
  entry[2] = field9;
  setBE16(entry + 3, uint32_t(attr[10]));
  std::memcpy(entry + 5, name.data(), name.size());  // the rest of the field stays zero
  wallAttributes.insert(wallAttributes.end(), entry, entry + kWallAttrEntrySize);

  std::vector<uint8_t> record(kWallHeaderSize, 0);
  record[kFlags] = flags;
  for (int n = kFirstWordAttribute; n <= kLastWordAttribute; ++n)
    setBE16(record.data() + kAttribute10 + 2 * (n - kFirstWordAttribute), uint32_t(attr[n]));

  int brushes = 0;
  int views = 0;
  while (nextWallLine(file.get(), line, lineNumber)) {
    int count = atoiRule(line.c_str());
    int countLine = lineNumber;
    if (views < kWallViews) record[kViewStarts + views] = uint8_t(brushes);
    ++views;
    if (count < 0) {
      std::fprintf(stderr, "ERROR: view %d of wall file %s has a negative brush count %d\n", views,
                   path.c_str(), count);
      printAt(path, lineNumber);
      kit::fail(1);
    }
    for (int i = 0; i < count; ++i) {
      if (!nextWallLine(file.get(), line, lineNumber)) {
        std::fprintf(stderr, "ERROR: unexpected end of file\n");
        // Where the count asked for more brush lines than the file holds.
        printAt(path, countLine);
        kit::fail(1);
      }
      long long values[kBrushValues];
      const char* p = line.c_str();
      for (long long& v : values) {
        if (!scanNumber(p, v)) {
          std::fprintf(stderr, "ERROR: brush line with fewer than nine numbers in wall file %s\n",
                       path.c_str());
          printAt(path, lineNumber);
          kit::fail(1);
        }
      }
      if (brushes == kMaxWallBrushes) {
        std::fprintf(stderr, "ERROR: wall file %s has more than %d brush entries\n", path.c_str(),
                     kMaxWallBrushes);
        kit::fail(1);
      }
      record.resize(record.size() + kBrushEntrySize);
      fillBrushEntry(record.data() + record.size() - kBrushEntrySize, values);
      ++brushes;
    }
  }
  file.reset();
  if (views != kWallViews) {
    std::fprintf(stderr, "ERROR: wall has %d views, should have 10\n", views);
    printAtFile(path);
    kit::fail(1);
  }
  record[kBrushCount] = uint8_t(brushes);
  addPDBEntry(db, code, record);
  return 0;
}

int compileWalls(const BuildPaths& paths, WorldState& world, const std::string& path, const char* code, Database& db) {
  // Each WA line writes wallattr.bin anew with the walls of its own list. It is
  // created before the list is read, where a failure has always been reported,
  // and put in place whole once the list is done.
  std::string attrPath = paths.adventuresPath + paths.separator() + "wallattr.bin";
  kit::AtomicFile attrFile;
  if (!attrFile.open(attrPath)) {
    std::perror("ERROR: Could not open wall attrib file");
    printAtFile(attrPath);
    kit::fail(1);
  }
  FileHandle listFile(kit::openInputFile(path), std::fclose);
  if (!listFile) {
    std::perror("ERROR: Could not open walls file");
    printAtFile(path);
    kit::fail(1);
  }
  ListReader list;
  list.file = listFile.get();
  list.path = path;
  list.kind = "walls list";
  list.numberName = "wall number";
  list.skip = skipListLine;

  std::vector<uint8_t> attributes;
  long long number;
  std::string name;
  while (nextListEntry(paths, list, number, name)) {
    if (number != world.wallSequence) {
      std::fprintf(stderr, "ERROR: wall out of sequence %lld %s\n", number, name.c_str());
      printAt(list.path, list.line);
      kit::fail(1);
    }
    ++world.wallSequence;
    compileWall(paths.listedFilePath(name), db, attributes, code);
  }
  if (!attrFile.write(attributes.data(), attributes.size()) || !attrFile.commit()) {
    kit::reportWriteFailure(attrPath);
    kit::fail(1);
  }
  return 0;
}

}  // namespace kiln
