#include "kiln/world/maps_decode.h"

#include <cstdio>

#include "kiln/pdb/record_check.h"
#include "kiln/world/maps.h"
#include "kiln/world/maps_format.h"

namespace kiln {

using namespace maps_format;

namespace {

struct MapParts {
  unsigned width = 0, height = 0, specCnt = 0, codeLength = 0;
  size_t specials = 0, code = 0, layers = 0, end = 0;  // offsets in the record
};

bool mapParts(const uint8_t* data, size_t length, MapParts& m, std::string& error) {
  if (!hasBytes(length, kMapHeaderSize, error)) return false;
  m.width = data[kWidth];
  m.height = data[kHeight];
  m.specCnt = data[kSpecCnt];
  m.codeLength = readBE16(data + kCodeLengthAt);
  m.specials = kMapHeaderSize;
  m.code = m.specials + kMapSpecialSize * m.specCnt;
  m.layers = m.code + (m.specCnt ? m.codeLength : 0);
  m.end = m.layers + 2 * size_t(m.width) * m.height;
  return checkRecordLength(data, length, m.end, error);
}

// Made in place: a map of 128 x 128 has two layers of 16,384 cells.
Node layer(const uint8_t* cells, unsigned width, unsigned height) {
  Node rows = Node::list();
  rows.items.resize(height, Node::list());
  for (unsigned y = 0; y < height; ++y) {
    std::vector<Node>& row = rows.items[y].items;
    row.resize(width, Node::num(0));
    for (unsigned x = 0; x < width; ++x) row[x].number = cells[y * width + x];
  }
  return rows;
}

}  // namespace

std::string mapName(const uint8_t* data, size_t length) {
  if (length < kNameAt + kNameSize) return "";
  return fieldText(data + kNameAt, kNameSize);
}

bool describeMap(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info, std::string& error) {
  MapParts m;
  if (!mapParts(data, length, m, error)) return false;
  Node header = Node::object();
  for (int i = kWidth; i <= kPad; ++i) header.add(kByteFields[i], Node::num(data[i]));
  header.add("specialCodeLength", Node::num(m.codeLength));
  std::string name = mapName(data, length);
  header.add("name", Node::str(name));
  Node specials = Node::list();
  for (unsigned i = 0; i < m.specCnt; ++i) {
    const uint8_t* s = data + m.specials + kMapSpecialSize * i;
    specials.push(Node::list()
                      .push(Node::num(s[0]))
                      .push(Node::num(s[1]))
                      .push(Node::num(readBE16(s + 2)))
                      .push(Node::num(readBE16(s + 4))));
  }
  std::string hex;
  for (size_t i = m.code; i < m.layers; ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X", data[i]);
    hex += b;
  }
  size_t cells = size_t(m.width) * m.height;
  info.summary = code + " map '" + name + "' " + std::to_string(m.width) + "x" + std::to_string(m.height) + ", " +
                 std::to_string(m.specCnt) + " specials";
  info.fields = Node::object()
                    .add("header", std::move(header))
                    .add("specials", std::move(specials))
                    .add("specialCode", Node::str(hex))
                    .add("layer1", layer(data + m.layers, m.width, m.height))
                    .add("layer2", layer(data + m.layers + cells, m.width, m.height));
  return true;
}

bool mapSource(const uint8_t* data, size_t length, std::vector<uint8_t>& file, std::string& why) {
  MapParts m;
  if (!mapParts(data, length, m, why) || !exactLength(length, m.end, why)) return false;
  for (size_t i = kSlotsAt; i < kMapHeaderSize; ++i)
    if (data[i] != 0) {
      why = "the header's last 16 bytes are not zero";
      return false;
    }
  if (m.codeLength > kMaxSpecialCode || (m.specCnt && m.codeLength == 0) || (m.height && !m.width)) {
    why = "specials without special code, a code of 32768 bytes or more, or rows of no cells";
    return false;
  }
  file = {uint8_t(kMapVersion), 0, 0, 0};
  file.insert(file.end(), data, data + kNameAt);
  file[kVersionSize + kCodeLengthAt] = uint8_t(m.codeLength);  // little-endian in the file
  file[kVersionSize + kCodeLengthAt + 1] = uint8_t(m.codeLength >> 8);
  file.insert(file.end(), data + kNameAt, data + kNameAt + kNameSize);
  for (unsigned i = 0; i < m.specCnt; ++i) {
    const uint8_t* s = data + m.specials + kMapSpecialSize * i;
    file.insert(file.end(), {s[0], s[1], s[3], s[2], s[5], s[4]});
  }
  file.insert(file.end(), data + m.code, data + m.end);
  return true;
}

}  // namespace kiln
