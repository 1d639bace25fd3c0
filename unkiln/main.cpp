// unkiln: reads the databases kiln builds back.

#include <cstdio>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "common/exit.h"
#include "unkiln/commands.h"

namespace unkiln {

namespace {

const char kUsage[] =
    "usage: unkiln list FILE.pdb...\n"
    "         the header and one line per record\n"
    "       unkiln show FILE.pdb [-r N] [-c CODE] [--json]\n"
    "         every field of every record (or of record N, or of the records of CODE)\n"
    "       unkiln extract FILE.pdb... -o DIR\n"
    "         the adventure's sources in kiln's input formats, with DIR/pdbs.cfg\n"
    "       unkiln preview FILE.pdb... -o DIR [--scale N] [--palette PAL.pdb]\n"
    "         every picture as a PNG file (enlarged N times, 1 to 16) and DIR/index.html\n"
    "Record indexes count from 0.\n";

struct Command {
  const char* name;
  int (*run)(const Args& args);
};

const Command kCommands[] = {
    {"list", runList},
    {"show", runShow},
    {"extract", runExtract},
    {"preview", runPreview},
};

}  // namespace

int usageError(const std::string& text) {
  std::fprintf(stderr, "ERROR: %s\n%s", text.c_str(), kUsage);
  return 1;
}

int run(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "-?") || !std::strcmp(argv[1], "--help")) {
    std::fputs(kUsage, stderr);
    return 0;
  }
  Args args(argv + 2, argv + argc);
  for (const Command& c : kCommands)
    if (!std::strcmp(argv[1], c.name)) return c.run(args);
  return usageError(std::string("unknown command <") + argv[1] + ">");
}

}  // namespace unkiln

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // Describing a table builds and frees a tree of every field, hundreds of
  // thousands of small blocks, and a preview frees a picture's buffers after
  // each file. By default glibc hands the freed top of the heap back to the
  // system and faults it in again for the next record, which doubled the
  // time of a preview of the benchmark's maps. The heap now grows in steps
  // of 16 MB and keeps what it has (the run is short).
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
#endif
  try {
    int status = unkiln::run(argc, argv);
    std::fflush(stdout);
    return status;
  } catch (const kit::Exit& e) {
    std::fflush(stdout);
    return e.status;
  }
}
