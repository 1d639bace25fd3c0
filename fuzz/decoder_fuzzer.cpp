// Every record decoder, and the source that extract writes from it, on any
// bytes: the first byte picks the code from unkiln's decoder table, the rest
// is the record's data. The data is copied into a buffer of its own size, so
// a read past it is a finding.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kiln/graphics/bitmap_decode.h"
#include "kiln/graphics/font_decode.h"
#include "kiln/graphics/palette_decode.h"
#include "kiln/pdb/string_record_decode.h"
#include "kiln/tables/heroes_decode.h"
#include "kiln/tables/monsters_decode.h"
#include "kiln/tables/number_tables_decode.h"
#include "kiln/tables/objects_decode.h"
#include "kiln/tables/spells_decode.h"
#include "kiln/tables/texts_decode.h"
#include "kiln/world/maps_decode.h"
#include "kiln/world/walls_decode.h"
#include "unkiln/decoders.h"

namespace {

const char* const kCodes[] = {"AU", "RW", "RT", "RE", "B2", "B4", "B8", "T2", "T4", "T8", "PA", "P0", "P1",
                              "P2", "P3", "P4", "FN", "WA", "MP", "TX", "TG", "OB", "HE", "SP", "CL", "MO",
                              "MT", "AC"};

void sources(const std::string& code, const uint8_t* d, size_t n) {
  std::string text, why;
  std::vector<uint8_t> bytes;
  if (code == "AU") kiln::authorSource(d, n, text, why);
  else if (code == "RW" || code == "RT" || code == "RE") kiln::stringSource(code, d, n, text, why);
  else if (code == "TX" || code == "TG") kiln::textsSource(code, d, n, text, why);
  else if (code == "OB") kiln::objectsSource(d, n, text, why);
  else if (code == "HE") kiln::heroesSource(d, n, text, why);
  else if (code == "SP") kiln::spellsSource(d, n, text, why);
  else if (code == "CL") kiln::classesSource(d, n, text, why);
  else if (code == "MO") kiln::monstersSource(d, n, text, why);
  else if (code == "MT") kiln::monsterTableSource(d, n, text, why);
  else if (code == "AC") {
    std::vector<uint8_t> rows(32 * (n % 3), 0);
    kiln::acTableSource(d, n, rows, text, why);
  } else if (code == "WA") kiln::wallSource(d, n, "w", text, why);
  else if (code == "MP") kiln::mapSource(d, n, bytes, why);
  else if (code == "FN") kiln::fontSource(d, n, text, why);
  else if (code == "PA") {
    kiln::Palette palette{};
    std::array<kiln::ShadeTable, 5> shades{};
    if (kiln::decodePalette(d, n, palette, why)) kiln::paletteSource(palette, shades, bytes, why);
  } else if (code[0] == 'B' || code[0] == 'T') {
    kiln::DecodedBitmap bitmap;
    kiln::Palette palette{};
    int flag = 0;
    if (kiln::decodeBitmap(d, n, bitmap, why)) kiln::bitmapSource(bitmap, &palette, bytes, flag, why);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string code = kCodes[data[0] % (sizeof kCodes / sizeof kCodes[0])];
  size_t n = size - 1;
  std::unique_ptr<uint8_t[]> copy(new uint8_t[n ? n : 1]);
  if (n) std::memcpy(copy.get(), data + 1, n);
  kiln::PdbRecord record;
  record.code = code;
  record.data = copy.get();
  record.length = n;
  record.size = uint32_t(n + 2);
  kiln::RecordInfo info;
  std::string error;
  unkiln::describeRecord(record, info, error);
  sources(code, copy.get(), n);
  return 0;
}
