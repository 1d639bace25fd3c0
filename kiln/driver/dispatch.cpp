#include "kiln/driver/dispatch.h"

#include <cstdio>
#include <cstring>

#include "common/exit.h"
#include "kiln/graphics/bitmap_list.h"
#include "kiln/graphics/font.h"
#include "kiln/graphics/palette.h"
#include "kiln/text/where.h"

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

// The usual call: path, code and the database.
template <LineCompiler compile>
void line(RunState&, const std::string& path, const char* code, Database& db) {
  compile(path, code, db);
}

// The compilers that need more get the parts of the run they use.
// The palette's faults do not name its file; the driver adds where it is.
void paletteLine(RunState& run, const std::string& path, const char* code, Database& db) {
  try {
    compilePalette(run.graphics, run.options.paletteListing, path, code, db);
  } catch (const kit::Exit&) {
    printAtFile(path);
    throw;
  }
  run.graphics.havePalette = true;
}

void wallsLine(RunState& run, const std::string& path, const char* code, Database& db) {
  compileWalls(run.paths(), run.world, path, code, db);
}

void mapsLine(RunState& run, const std::string& path, const char* code, Database& db) {
  compileMaps(run.paths(), run.world, path, code, db);
}

void acLine(RunState& run, const std::string& path, const char* code, Database& db) {
  compileAcTable(run.tables, path, code, db);
}

// A brush or tile line: the run's one bit depth first, then the list, with
// the palette once a PA line has made one.
template <int depth>
void bitmapLine(RunState& run, const std::string& path, const char* code, Database& db) {
  applyDepthRule(run, depth);
  if (depth == 8 && !run.graphics.havePalette) {
    std::fprintf(stderr, "ERROR: you must define a palette before brushes\n");
    printAt(run.configPath, run.configLine);
    kit::fail(1);
  }
  compileBitmapList(run.paths(), run.graphics, path, code, db, depth,
                    run.graphics.havePalette ? &run.graphics.activePalette : nullptr);
}

template <int kind>
void textLine(RunState& run, const std::string& path, const char* code, Database& db) {
  compileTexts(run.paths(), run.options.writeTextHeader, path, code, db, kind);
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

void compileLine(RunState& run, const std::string& path, const char* code, Database& db) {
  findCompiler(code)(run, path, code, db);
}

void applyDepthRule(RunState& run, int depth) {
  int& current = run.graphics.graphicsDepth;
  if (current != 0 && current != depth) {
    std::fprintf(stderr, "Mismatched bit depth graphics. <%d != %d>\n", current, depth);
    printAt(run.configPath, run.configLine);
    kit::fail(1);
  }
  current = depth;
}

}  // namespace kiln
