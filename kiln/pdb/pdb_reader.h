#pragma once
// Reads a Palm database back: the inverse of the writer. Every offset and size
// is checked against the file; nothing is read past the buffer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kiln {

struct PdbHeader {
  std::string name;  // up to the first zero byte of the 32-byte field
  uint16_t attributes = 0;
  uint16_t version = 0;  // major * 256 + minor
  uint32_t created = 0, modified = 0, backedUp = 0;  // seconds since 1904-01-01
  uint32_t modificationNumber = 0, appInfo = 0, sortInfo = 0;
  uint32_t type = 0, creator = 0, uniqueIdSeed = 0, nextRecordList = 0;
  uint16_t recordCount = 0;
};

struct PdbRecord {
  int index = 0;          // from 0
  uint32_t offset = 0;    // from the start of the file
  uint32_t size = 0;      // stored size: up to the next record (or the end of the file)
  uint8_t attributes = 0;  // of the record list entry
  uint32_t uniqueId = 0;   // 24 bits
  std::string code;       // the first two bytes, as characters ("" when the record is shorter)
  const uint8_t* data = nullptr;  // the payload after the code, inside PdbFile::bytes
  size_t length = 0;              // payload bytes, padding included
};

// Records point into bytes, so a PdbFile moves but is never copied.
struct PdbFile {
  std::string path;
  std::vector<uint8_t> bytes;
  PdbHeader header;
  std::vector<PdbRecord> records;

  PdbFile() = default;
  PdbFile(PdbFile&&) = default;
  PdbFile& operator=(PdbFile&&) = default;
  PdbFile(const PdbFile&) = delete;
  PdbFile& operator=(const PdbFile&) = delete;
};

// Reads and checks path. On failure returns false with a one-line reason in
// error (the caller names the file); a file whose header is sound but whose
// record list is partly bad keeps the records that are sound.
bool readPdb(const std::string& path, PdbFile& file, std::string& error);

// The same over bytes already in memory (fuzzing, tests).
bool parsePdb(std::vector<uint8_t> bytes, PdbFile& file, std::string& error);

}  // namespace kiln
