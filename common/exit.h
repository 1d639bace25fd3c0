#pragma once

namespace kit {

// A fault prints its message where it is found and throws this; only main()
// ends the process, so compilers can be run in-process (tests, fuzzing) and
// every open output is cleaned up on the way out.
struct Exit {
  int status;
  bool pause;  // end through exitWithPause (true) or a plain exit (false)
};

// Throws Exit{status, true}; the message has already been printed.
[[noreturn]] inline void fail(int status) { throw Exit{status, true}; }

// Ends the process: unless TMIIDEV exists, prints "Press ENTER to exit." and
// waits for one character first. Only main() calls it.
[[noreturn]] void exitWithPause(int status);

}  // namespace kit
