#include "kiln/world/maps.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "common/exit.h"
#include "common/files.h"
#include "kiln/pdb/bytes.h"
#include "kiln/pdb/pdb.h"
#include "kiln/text/where.h"
#include "kiln/world/maps_format.h"
#include "kiln/world/world_lines.h"

namespace kiln {

namespace {

using FileHandle = std::unique_ptr<FILE, int (*)(FILE*)>;

using namespace maps_format;

bool skipListLine(const std::string& line) {
  return line[0] == '\n' || line[0] == '#' || (line.size() > 1 && line[1] == '\n');
}

[[noreturn]] void mapError(const char* what, const std::string& path) {
  std::fprintf(stderr, "ERROR: error %s map file %s.\n", what, path.c_str());
  kit::fail(1);
}

// Reads exactly size bytes into a buffer of its own; the buffer is only as
// large as the field, whatever the file claims beyond it.
std::vector<uint8_t> readBlock(FILE* file, size_t size, const char* mallocWhat, const char* readWhat,
                               const std::string& path) {
  std::vector<uint8_t> block;
  try {
    block.resize(size);
  } catch (const std::bad_alloc&) {
    mapError(mallocWhat, path);
  }
  if (size && std::fread(block.data(), 1, size, file) != size) mapError(readWhat, path);
  return block;
}

}  // namespace

int compileMap(const std::string& path, Database& db, const char* code) {
  uint8_t header[kMapHeaderSize] = {};
  FileHandle file(kit::openInputFile(path), std::fclose);
  if (!file) {
    std::string text = "ERROR: Can not open " + path;
    std::perror(text.c_str());
    kit::fail(1);
  }
  uint8_t raw[4];
  if (std::fread(raw, 1, 4, file.get()) != 4) mapError("reading version from", path);
  int32_t version = int32_t(uint32_t(raw[0]) | uint32_t(raw[1]) << 8 | uint32_t(raw[2]) << 16 | uint32_t(raw[3]) << 24);
  if (version != kMapVersion) {
    std::fprintf(stderr, "ERROR: invalid map version in file %s:\n       Found %ld expecting %ld\n", path.c_str(),
                 long(version), long(kMapVersion));
    kit::fail(1);
  }

  for (int i = kWidth; i <= kPad; ++i) {
    if (std::fread(header + i, 1, 1, file.get()) != 1) {
      std::fprintf(stderr, "ERROR: error reading %s from map file %s.\n", kByteFields[i], path.c_str());
      kit::fail(1);
    }
  }
  if (std::fread(raw, 1, 2, file.get()) != 2) mapError("reading special code length from", path);
  unsigned codeLength = unsigned(raw[0]) | unsigned(raw[1]) << 8;
  if (codeLength > kMaxSpecialCode) {
    std::fprintf(stderr, "ERROR: special code length %u of map file %s is too long (at most %u bytes).\n",
                 codeLength, path.c_str(), kMaxSpecialCode);
    kit::fail(1);
  }
  if (std::fread(header + kNameAt, 1, kNameSize, file.get()) != kNameSize) mapError("reading name from", path);

  unsigned width = header[kWidth], height = header[kHeight], specCnt = header[kSpecCnt];
  std::vector<uint8_t> specials, specialCode;
  if (specCnt != 0) {
    specials = readBlock(file.get(), kMapSpecialSize * specCnt, "mallocing specials for",
                         "reading specials from", path);
    specialCode = readBlock(file.get(), codeLength, "mallocing specialCode for", "reading spec code from", path);
    // A special code of no bytes cannot be read whole: specials without code
    // have always stopped the build.
    if (codeLength == 0) mapError("reading spec code from", path);
  }
  // Both layers are height rows of width bytes; a row of no bytes cannot be read.
  if (height != 0 && width == 0) mapError("reading data from", path);
  size_t cells = size_t(width) * height;
  std::vector<uint8_t> layer1 = readBlock(file.get(), cells, "mallocing data for", "reading data from", path);
  std::vector<uint8_t> layer2 = readBlock(file.get(), cells, "mallocing data for", "reading data from", path);
  file.reset();

  setBE16(header + kCodeLengthAt, codeLength);
  for (size_t at = 0; at < specials.size(); at += kMapSpecialSize) {
    std::swap(specials[at + 2], specials[at + 3]);
    std::swap(specials[at + 4], specials[at + 5]);
  }

  std::vector<uint8_t> record;
  try {
    record.reserve(kMapHeaderSize + specials.size() + specialCode.size() + 2 * cells);
  } catch (const std::bad_alloc&) {
    mapError("mallocing contiguous memroy for", path);
  }
  record.insert(record.end(), header, header + kMapHeaderSize);
  record.insert(record.end(), specials.begin(), specials.end());
  record.insert(record.end(), specialCode.begin(), specialCode.end());
  record.insert(record.end(), layer1.begin(), layer1.end());
  record.insert(record.end(), layer2.begin(), layer2.end());
  addPDBEntry(db, code, record);
  return 0;
}

int compileMaps(const BuildPaths& paths, WorldState& world, const std::string& path, const char* code, Database& db) {
  FileHandle listFile(kit::openInputFile(path), std::fclose);
  if (!listFile) {
    std::perror("ERROR: Could not open map file");
    printAtFile(path);
    kit::fail(1);
  }
  ListReader list;
  list.file = listFile.get();
  list.path = path;
  list.kind = "maps list";
  list.numberName = "map number";
  list.skip = skipListLine;

  long long number;
  std::string name;
  while (nextListEntry(paths, list, number, name)) {
    if (number != world.mapSequence) {
      std::fprintf(stderr, "ERROR: map out of sequence %lld %s\n", number, name.c_str());
      printAt(list.path, list.line);
      kit::fail(1);
    }
    ++world.mapSequence;
    compileMap(paths.listedFilePath(name), db, code);
  }
  return 0;
}

}  // namespace kiln
