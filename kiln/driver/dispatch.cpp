#include "kiln/driver/dispatch.h"

#include <cstdio>
#include <cstring>

#include "common/exit.h"
#include "kiln/graphics/bitmap_list.h"
#include "kiln/graphics/font.h"
#include "kiln/graphics/palette.h"

#include "kiln/tables/ac_table.h"
#include "kiln/tables/classes.h"
#include "kiln/tables/heroes.h"
#include "kiln/tables/monster_table.h"
#include "kiln/tables/monsters.h"
#include "kiln/tables/objects.h"
#include "kiln/tables/spells.h"
#include "kiln/tables/texts.h"

#include "kiln/world/maps.h"
#include "kiln/world/walls.h"

namespace kiln {

namespace {

using LineCompiler = int (*)(const std::string&, const char*, Database&);

// The usual call: path, code and the open database.
template <LineCompiler compile>
void line(RunState& run, const std::string& path, const char* code) {
  compile(path, code, *run.openDatabase);
}

// The compilers that need more get the parts of the run they use.
void paletteLine(RunState& run, const std::string& path, const char* code) {
  compilePalette(run.graphics, run.options.paletteListing, path, code, *run.openDatabase);
  run.graphics.havePalette = true;
}

void wallsLine(RunState& run, const std::string& path, const char* code) {
  compileWalls(run.paths(), run.world, path, code, *run.openDatabase);
}

void mapsLine(RunState& run, const std::string& path, const char* code) {
  compileMaps(run.paths(), run.world, path, code, *run.openDatabase);
}

void acLine(RunState& run, const std::string& path, const char* code) {
  compileAcTable(run.tables, path, code, *run.openDatabase);
}

// A brush or tile line: the run's one bit depth first, then the list, with
// the palette once a PA line has made one.
template <int depth>
void bitmapLine(RunState& run, const std::string& path, const char* code) {
  applyDepthRule(run, depth);
  compileBitmapList(run.paths(), run.graphics, path, code, *run.openDatabase, depth,
                    run.graphics.havePalette ? &run.graphics.activePalette : nullptr);
}

template <int kind>
void textLine(RunState& run, const std::string& path, const char* code) {
  compileTexts(run.paths(), run.options.writeTextHeader, path, code, *run.openDatabase, kind);
}

// One row per data-type code (RW, RT and RE are string records, handled by
// the driver itself). Codes are compared exactly.
const DispatchEntry kDispatchTable[] = {
    // graphics
    {"B2", bitmapLine<2>},
    {"B4", bitmapLine<4>},
    {"B8", bitmapLine<8>},
    {"T2", bitmapLine<2>},
    {"T4", bitmapLine<4>},
    {"T8", bitmapLine<8>},
    {"PA", paletteLine},
    {"FN", line<compileFont>},
    // world
    {"WA", wallsLine},
    {"MP", mapsLine},
    // tables
    {"TX", textLine<kTextKindTX>},
    {"TG", textLine<kTextKindTG>},
    {"OB", line<compileObjects>},
    {"HE", line<compileHeroes>},
    {"SP", line<compileSpells>},
    {"CL", line<compileClasses>},
    {"MO", line<compileMonsters>},
    {"MT", line<compileMonsterTable>},
    {"AC", acLine},
};

}  // namespace

Compiler findCompiler(const std::string& code) {
  for (const DispatchEntry& e : kDispatchTable)
    if (code == e.code) return e.compile;
  return nullptr;
}

void applyDepthRule(RunState& run, int depth) {
  int& current = run.graphics.graphicsDepth;
  if (current != 0 && current != depth) {
    std::fprintf(stderr, "Mismatched bit depth graphics. <%d != %d>\n", current, depth);
    kit::fail(1);
  }
  current = depth;
}

}  // namespace kiln
