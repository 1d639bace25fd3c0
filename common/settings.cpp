#include "common/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kit {

int lookupSetting(const char* name, char* buffer, size_t capacity) {
  const char* env = std::getenv(name);
  if (!env) return readSetting(name, buffer, capacity);
  size_t length = std::strlen(env);
  if (length >= capacity) {
    if (capacity > 0) buffer[0] = '\0';
    return ERANGE;
  }
  std::memcpy(buffer, env, length + 1);
  return 0;
}

void printSetupHint() {
  std::fprintf(stderr, "  set it with: advpath -init FOLDER (or the AdventuresPath environment variable)\n");
}

}  // namespace kit
