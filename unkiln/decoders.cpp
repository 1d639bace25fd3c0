#include "unkiln/decoders.h"

#include <cstdio>

#include "kiln/graphics/bitmap_decode.h"
#include "kiln/graphics/font_decode.h"
#include "kiln/graphics/palette_decode.h"
#include "kiln/pdb/string_record_decode.h"
#include "kiln/tables/number_tables_decode.h"
#include "kiln/tables/objects_decode.h"
#include "kiln/tables/heroes_decode.h"
#include "kiln/tables/monsters_decode.h"
#include "kiln/tables/spells_decode.h"
#include "kiln/tables/texts_decode.h"
#include "kiln/world/maps_decode.h"
#include "kiln/world/walls_decode.h"

namespace unkiln {

using kiln::Node;
using kiln::RecordInfo;

namespace {

// One row per record code kiln writes. Codes are compared exactly.
const DecoderEntry kDecoderTable[] = {
    // written by the driver
    {"AU", kiln::describeAuthor},
    {"RW", kiln::describeString},
    {"RT", kiln::describeString},
    {"RE", kiln::describeString},
    // graphics
    {"B2", kiln::describeBitmap},
    {"B4", kiln::describeBitmap},
    {"B8", kiln::describeBitmap},
    {"T2", kiln::describeBitmap},
    {"T4", kiln::describeBitmap},
    {"T8", kiln::describeBitmap},
    {"PA", kiln::describePalette},
    {"P0", kiln::describeShadeTable},
    {"P1", kiln::describeShadeTable},
    {"P2", kiln::describeShadeTable},
    {"P3", kiln::describeShadeTable},
    {"P4", kiln::describeShadeTable},
    {"FN", kiln::describeFont},
    // world
    {"WA", kiln::describeWall},
    {"MP", kiln::describeMap},
    // tables
    {"TX", kiln::describeTexts},
    {"TG", kiln::describeTexts},
    {"OB", kiln::describeObjects},
    {"HE", kiln::describeHeroes},
    {"SP", kiln::describeSpells},
    {"CL", kiln::describeClasses},
    {"MO", kiln::describeMonsters},
    {"MT", kiln::describeMonsterTable},
    {"AC", kiln::describeAcTable},
};

std::string hex(const uint8_t* data, size_t length) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(byte, sizeof byte, "%02X", data[i]);
    out += byte;
  }
  return out;
}

}  // namespace

Describe findDecoder(const std::string& code) {
  for (const DecoderEntry& e : kDecoderTable)
    if (code == e.code) return e.describe;
  return nullptr;
}

std::string codeText(const std::string& code) {
  bool printable = code.size() == 2;
  for (char c : code) printable = printable && c > 0x20 && c < 0x7F;
  if (printable) return code;
  return "0x" + hex(reinterpret_cast<const uint8_t*>(code.data()), code.size());
}

bool describeRecord(const kiln::PdbRecord& record, RecordInfo& info, std::string& error, bool slices) {
  info = RecordInfo{};
  info.slices = slices;
  if (record.code.size() < 2) {
    error = "record of " + std::to_string(record.size) + " bytes is too short for a code";
    return false;
  }
  Describe describe = findDecoder(record.code);
  if (!describe) {
    error = "unknown code " + codeText(record.code) + " (" + hex(reinterpret_cast<const uint8_t*>(record.code.data()), 2) +
            " in hex)";
    info.summary = codeText(record.code) + " unknown code, " + std::to_string(record.length) + " bytes";
    info.fields = Node::object().add("bytes", Node::str(hex(record.data, record.length)));
    return false;
  }
  return describe(record.code, record.data, record.length, info, error);
}

}  // namespace unkiln
