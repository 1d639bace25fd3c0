// One data-type code's compiler, reached through the dispatch table as the
// driver reaches it, on a file holding the input. KIT_FUZZ_CODE names the
// code; KIT_FUZZ_LINES > 1 compiles the file that many times in one run, for
// the compilers whose state runs on across lines.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "kiln/driver/dispatch.h"

#ifndef KIT_FUZZ_LINES
#define KIT_FUZZ_LINES 1
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kiln::Compiler compile = kiln::findCompiler(KIT_FUZZ_CODE);
  if (!compile) kiln::fuzz::propertyFailed("no compiler for " KIT_FUZZ_CODE);
  std::string path = kiln::fuzz::writeInput("fuzz.txt", data, size);
  kiln::fuzz::runOnce([&](kiln::RunState& run) {
    kiln::fuzz::prepareGraphics(run);
    for (int i = 0; i < KIT_FUZZ_LINES; ++i) compile(run, path, KIT_FUZZ_CODE, *run.openDatabase);
  });
  return 0;
}
