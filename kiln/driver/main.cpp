#include <cstdio>
#include <cstdlib>
#include <new>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "common/exit.h"
#include "kiln/driver/run_state.h"
#include "kiln/driver/startup.h"

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // glibc raises its mmap threshold each time a large block is freed, after
  // which blocks of that size come from the heap and stay resident when freed.
  // The record data of a finished database, and the old block left behind by
  // each growth of the next one's, would then add up for the rest of the run.
  // A fixed threshold hands every block of 1 MB or more back at once.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
  // Progress goes to stdout and faults to stderr; with both sent to one file
  // or pipe a fully buffered stdout would put every fault before the lines
  // that led up to it.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  kit::Exit end{0, true};
  {
    // The run (and with it any unfinished output) is gone before the process
    // ends, so a failed build leaves no temporary files behind.
    kiln::RunState run;
    try {
      kiln::runKiln(run, argc, argv);
    } catch (const kit::Exit& e) {
      end = e;
    } catch (const std::bad_alloc&) {
      std::fflush(stdout);
      std::fprintf(stderr, "ERROR: out of memory\n");
      end = kit::Exit{1, false};
    }
  }
  if (end.pause) kit::exitWithPause(end.status);
  std::fflush(stdout);
  return end.status;
}
