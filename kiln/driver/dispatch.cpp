#include "kiln/driver/dispatch.h"

#include <cstdio>
#include <cstring>

#include "common/exit.h"
#include "kiln/graphics/bitmap_list.h"

namespace kiln {

namespace {

// A brush or tile line: the run's one bit depth first, then the list.
void bitmapLine(RunState& run, const std::string& path, const char* code, int depth) {
  applyDepthRule(run, depth);
  compileBitmapList(run, path, code, *run.openDatabase, depth,
                    run.graphics.havePalette ? &run.graphics.activePalette : nullptr);
}

// One row per data-type code (RW, RT and RE are string records, handled by
// the driver itself). Codes are compared exactly.
const DispatchEntry kDispatchTable[] = {
    // graphics
    {"B2", [](RunState& run, const std::string& path, const char* code) { bitmapLine(run, path, code, 2); }},
    {"B4", [](RunState& run, const std::string& path, const char* code) { bitmapLine(run, path, code, 4); }},
    {"B8", [](RunState& run, const std::string& path, const char* code) { bitmapLine(run, path, code, 8); }},
    {"T2", [](RunState& run, const std::string& path, const char* code) { bitmapLine(run, path, code, 2); }},
    {"T4", [](RunState& run, const std::string& path, const char* code) { bitmapLine(run, path, code, 4); }},
    {"T8", [](RunState& run, const std::string& path, const char* code) { bitmapLine(run, path, code, 8); }},

    // world

    // tables

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
