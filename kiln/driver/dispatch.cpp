#include "kiln/driver/dispatch.h"

#include <cstdio>
#include <cstring>

#include "common/exit.h"
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

// One row per data-type code (RW, RT and RE are string records, handled by
// the driver itself). Codes are compared exactly.
const DispatchEntry kDispatchTable[] = {
    // graphics
    {"PA",
     [](RunState& run, const std::string& path, const char* code) {
       compilePalette(run, path, code, *run.openDatabase);
       run.graphics.havePalette = true;
     }},
    {"FN", [](RunState& run, const std::string& path, const char* code) {
       compileFont(run, path, code, *run.openDatabase);
     }},

    // world
    {"WA", [](RunState& run, const std::string& path, const char* code) { compileWalls(run, path, code, *run.openDatabase); }},
    {"MP", [](RunState& run, const std::string& path, const char* code) { compileMaps(run, path, code, *run.openDatabase); }},

    // tables
    {"TX", [](RunState& run, const std::string& path, const char* code) {
       compileTexts(run, path, code, *run.openDatabase, kTextKindTX);
     }},
    {"TG", [](RunState& run, const std::string& path, const char* code) {
       compileTexts(run, path, code, *run.openDatabase, kTextKindTG);
     }},
    {"OB", [](RunState& run, const std::string& path, const char* code) {
       compileObjects(run, path, code, *run.openDatabase);
     }},
    {"HE", [](RunState& run, const std::string& path, const char* code) {
       compileHeroes(run, path, code, *run.openDatabase);
     }},
    {"SP", [](RunState& run, const std::string& path, const char* code) {
       compileSpells(run, path, code, *run.openDatabase);
     }},
    {"CL", [](RunState& run, const std::string& path, const char* code) {
       compileClasses(run, path, code, *run.openDatabase);
     }},
    {"MO", [](RunState& run, const std::string& path, const char* code) {
       compileMonsters(run, path, code, *run.openDatabase);
     }},
    {"MT", [](RunState& run, const std::string& path, const char* code) {
       compileMonsterTable(run, path, code, *run.openDatabase);
     }},
    {"AC", [](RunState& run, const std::string& path, const char* code) {
       compileAcTable(run, path, code, *run.openDatabase);
     }},
    {nullptr, nullptr},
};

}  // namespace

Compiler findCompiler(const std::string& code) {
  for (const DispatchEntry& e : kDispatchTable)
    if (e.code && code == e.code) return e.compile;
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
