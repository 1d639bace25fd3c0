#include "kiln/pdb/pdb_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/files.h"
#include "kiln/pdb/pdb.h"

namespace kiln {

namespace {

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

std::string format(const char* fmt, unsigned long long a, unsigned long long b = 0, unsigned long long c = 0) {
  char text[200];
  std::snprintf(text, sizeof text, fmt, a, b, c);
  return text;
}

}  // namespace

bool parsePdb(std::vector<uint8_t> bytes, PdbFile& file, std::string& error) {
  file.bytes = std::move(bytes);
  file.header = PdbHeader{};
  file.records.clear();
  error.clear();
  const std::vector<uint8_t>& b = file.bytes;
  if (b.size() < kHeaderSize) {
    error = format("file of %llu bytes is shorter than a database header (78 bytes)", b.size());
    return false;
  }
  PdbHeader& h = file.header;
  const uint8_t* p = b.data();
  h.name.assign(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), 32));
  h.attributes = be16(p + 32);
  h.version = be16(p + 34);
  h.created = be32(p + 36);
  h.modified = be32(p + 40);
  h.backedUp = be32(p + 44);
  h.modificationNumber = be32(p + 48);
  h.appInfo = be32(p + 52);
  h.sortInfo = be32(p + 56);
  h.type = be32(p + 60);
  h.creator = be32(p + 64);
  h.uniqueIdSeed = be32(p + 68);
  h.nextRecordList = be32(p + 72);
  h.recordCount = be16(p + 76);

  size_t count = h.recordCount;
  size_t listEnd = kHeaderSize + 8 * count;
  size_t listed = count;
  if (listEnd > b.size()) {
    // Keep the entries that are there; their records may still be sound.
    listed = (b.size() - kHeaderSize) / 8;
    listEnd = kHeaderSize + 8 * listed;
    error = format("record list of %llu entries runs past the end of the file (%llu bytes)", count, b.size());
  }
  size_t previous = listEnd;
  for (size_t i = 0; i < listed; ++i) {
    const uint8_t* entry = p + kHeaderSize + 8 * i;
    size_t offset = be32(entry);
    if (offset < listEnd || offset > b.size()) {
      if (error.empty())
        error = format("record %llu: offset %llu lies outside the record data (%llu to the end of the file)", i,
                     offset, listEnd);
      listed = i;
      break;
    }
    if (offset < previous) {
      if (error.empty())
        error = format("record %llu: offset %llu comes before the previous record's (%llu)", i, offset, previous);
      listed = i;
      break;
    }
    previous = offset;
    PdbRecord r;
    r.index = int(i);
    r.offset = uint32_t(offset);
    r.attributes = entry[4];
    r.uniqueId = uint32_t(entry[5]) << 16 | uint32_t(entry[6]) << 8 | entry[7];
    file.records.push_back(r);
  }
  // A record runs up to the next one, the last to the end of the file (after
  // a bad entry, the last sound record takes the rest of the file: its
  // decoder finds out whether that fits its format).
  for (size_t i = 0; i < file.records.size(); ++i) {
    PdbRecord& r = file.records[i];
    size_t end = i + 1 < file.records.size() ? file.records[i + 1].offset : b.size();
    r.size = uint32_t(end - r.offset);
    if (r.size >= 2) {
      r.code.assign(reinterpret_cast<const char*>(p + r.offset), 2);
      r.data = p + r.offset + 2;
      r.length = r.size - 2;
    } else {
      r.data = p + r.offset;
      r.length = 0;
    }
  }
  return listed == count && error.empty();
}

bool readPdb(const std::string& path, PdbFile& file, std::string& error) {
  std::vector<uint8_t> bytes;
  file.path = path;
  if (!kit::readWholeFile(path, bytes)) {
    error = std::string("cannot be read: ") + std::strerror(errno);
    file.bytes.clear();
    file.records.clear();
    return false;
  }
  return parsePdb(std::move(bytes), file, error);
}

}  // namespace kiln
