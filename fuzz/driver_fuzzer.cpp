// The build driver on any configuration text, with the sample adventure's
// files in the build directory so that data lines reach the compilers.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kiln/driver/build.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kiln;
  fuzz::Scratch& scratch = fuzz::scratch();
  // A ".." in a name would reach outside the scratch folder; nothing else can.
  if (memmem(data, size, "..", 2)) return 0;
  std::vector<uint8_t> text(data, data + size);
  FILE* config = size ? fmemopen(text.data(), size, "rb") : std::fopen("/dev/null", "rb");
  if (!config) fuzz::propertyFailed("fmemopen failed");
  {
    RunState run;
    run.options.forwardSlashes = true;
    run.options.writeTextHeader = true;
    run.adventuresPath = scratch.root;
    try {
      buildAdventure(run, config);
    } catch (const kit::Exit&) {
    }
  }
  std::fclose(config);
  scratch.sweep(true);
  return 0;
}
