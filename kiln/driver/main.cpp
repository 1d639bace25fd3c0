#include <cstdio>
#include <cstdlib>
#include <new>

#include "common/exit.h"
#include "kiln/driver/run_state.h"
#include "kiln/driver/startup.h"

int main(int argc, char** argv) {
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
