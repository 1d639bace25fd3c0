#include "common/files.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace kit {

FILE* openInputFile(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR) {
    errno = EISDIR;
    return nullptr;
  }
  return std::fopen(path.c_str(), "rb");
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  FILE* f = openInputFile(path);
  if (!f) return false;
  bytes.clear();
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  bool ok = !std::ferror(f);
  int saved = errno;
  std::fclose(f);
  errno = saved;
  return ok;
}

bool fileHolds(const std::string& path, const void* bytes, size_t size) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  // Unbuffered, the bytes are read straight into the room for them; one byte
  // more than expected tells a longer file.
  std::setvbuf(f, nullptr, _IONBF, 0);
  std::vector<uint8_t> old(size + 1);
  const size_t n = std::fread(old.data(), 1, old.size(), f);
  const bool same = n == size && !std::ferror(f) && (size == 0 || std::memcmp(old.data(), bytes, size) == 0);
  std::fclose(f);
  return same;
}

}  // namespace kit
