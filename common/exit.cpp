#include "common/exit.h"

#include <cstdio>
#include <cstdlib>

namespace kit {

void exitWithPause(int status) {
  if (!std::getenv("TMIIDEV")) {
    std::printf("Press ENTER to exit.");
    std::fflush(stdout);
    std::getchar();
  }
  std::exit(status);
}

}  // namespace kit
