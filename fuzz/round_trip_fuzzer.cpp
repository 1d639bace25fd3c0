// What the compilers accept comes back: the first byte picks a compiler, the
// rest is its input file. Every record it writes must have a source (the
// one `unkiln extract` writes) that compiles to the same bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kiln/driver/dispatch.h"
#include "kiln/graphics/font_decode.h"
#include "kiln/tables/heroes_decode.h"
#include "kiln/tables/monsters_decode.h"
#include "kiln/tables/number_tables_decode.h"
#include "kiln/tables/objects_decode.h"
#include "kiln/tables/spells_decode.h"
#include "kiln/tables/texts_decode.h"
#include "kiln/world/maps.h"
#include "kiln/world/maps_decode.h"
#include "kiln/world/walls.h"
#include "kiln/world/walls_decode.h"

namespace {

using Records = std::vector<std::vector<uint8_t>>;
const char* const kCodes[] = {"TX", "TG", "OB", "HE", "SP", "CL", "MO", "MT", "AC", "FN", "WA", "MP"};

// Compiles the file at path as code (WA: one wall file, MP: one map file)
// and returns the payloads of the records written; false when it fails.
bool compile(const std::string& code, const std::string& path, Records& records) {
  bool ok = false;
  records.clear();
  kiln::fuzz::runOnce([&](kiln::RunState& run) {
    kiln::Database& db = *run.openDatabase;
    if (code == "WA") {
      std::vector<uint8_t> attributes;
      kiln::compileWall(path, db, attributes, "WA");
    } else if (code == "MP") {
      kiln::compileMap(path, db, "MP");
    } else {
      kiln::findCompiler(code)(run, path, code.c_str(), db);
    }
    for (size_t i = 0; i < db.recordOffsets.size(); ++i) {
      size_t start = db.recordOffsets[i] + 2;
      size_t end = i + 1 < db.recordOffsets.size() ? db.recordOffsets[i + 1] : db.recordData.size();
      records.emplace_back(db.recordData.begin() + start, db.recordData.begin() + end);
    }
    ok = true;
  });
  return ok;
}

bool source(const std::string& code, const std::vector<uint8_t>& r, std::string& text, std::string& why) {
  const uint8_t* d = r.data();
  size_t n = r.size();
  std::vector<uint8_t> rows, bytes;
  if (code == "TX" || code == "TG") return kiln::textsSource(code, d, n, text, why);
  if (code == "OB") return kiln::objectsSource(d, n, text, why);
  if (code == "HE") return kiln::heroesSource(d, n, text, why);
  if (code == "SP") return kiln::spellsSource(d, n, text, why);
  if (code == "CL") return kiln::classesSource(d, n, text, why);
  if (code == "MO") return kiln::monstersSource(d, n, text, why);
  if (code == "MT") return kiln::monsterTableSource(d, n, text, why);
  if (code == "AC") return kiln::acTableSource(d, n, rows, text, why);
  if (code == "FN") return kiln::fontSource(d, n, text, why);
  if (code == "WA") return kiln::wallSource(d, n, "wall", text, why);
  if (!kiln::mapSource(d, n, bytes, why)) return false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string code = kCodes[data[0] % (sizeof kCodes / sizeof kCodes[0])];
  Records first, second;
  if (!compile(code, kiln::fuzz::writeInput("fuzz.txt", data + 1, size - 1), first)) return 0;
  for (const std::vector<uint8_t>& r : first) {
    std::string text, why;
    if (!source(code, r, text, why)) kiln::fuzz::propertyFailed((code + " record without a source: " + why).c_str());
    std::string path =
        kiln::fuzz::writeInput("source.txt", reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!compile(code, path, second)) kiln::fuzz::propertyFailed((code + " source does not compile").c_str());
    if (second.size() != 1 || second[0] != r) kiln::fuzz::propertyFailed((code + " source compiles to other bytes").c_str());
  }
  return 0;
}
